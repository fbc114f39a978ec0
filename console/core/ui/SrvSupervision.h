#pragma once

// The seam between the main window and the supervision of the two services. The main window
// drives it from timSrvChkSend and from its unload; the supervision itself plugs in through
// SetSrvSupervisionFactory from its own source file. Without one installed both calls do nothing.

#include <functional>
#include <memory>

#include "ServiceSupervision.h"

class mdifVantr;

using SrvSupervisionFactory = std::function<std::unique_ptr<SrvSupervision>(mdifVantr &main)>;
void SetSrvSupervisionFactory(SrvSupervisionFactory factory);
std::unique_ptr<SrvSupervision> CreateSrvSupervision(mdifVantr &main);
