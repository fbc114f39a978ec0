#include "SrvSupervision.h"

#include "SrvSupervisor.h"
#include "mdifVantr.h"

namespace {
// Every console program supervises its services; tests install their own stand-ins over it.
SrvSupervisionFactory &Factory()
{
    static SrvSupervisionFactory factory = [](mdifVantr &main) { return std::make_unique<SrvSupervisor>(main); };
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
