#include "SrvSupervision.h"

namespace {
SrvSupervisionFactory &Factory()
{
    static SrvSupervisionFactory factory;
    return factory;
}
} // namespace

void SetSrvSupervisionFactory(SrvSupervisionFactory factory)
{
    Factory() = std::move(factory);
}

std::unique_ptr<SrvSupervision> CreateSrvSupervision(mdifVantr &main)
{
    return Factory() ? Factory()(main) : nullptr;
}
