#pragma once

#include "adapter/HidPlatform.h"
#include "shared/Handles.h"

namespace vr {

// Puts the process that owns `window` (the program's own) into the high priority class while a
// transfer is received. Every failure is ignored: the class then stays as it was.
void SetHighPriority(PriorityPlatform& platform, WindowHandle window);

// Puts the program's own process back into the normal priority class.
void SetNormalPriority(PriorityPlatform& platform, WindowHandle window);

}  // namespace vr
