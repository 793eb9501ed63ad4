#include "shared/Version.h"

namespace vr {

std::string VersionText() {
    return VR_VERSION_TEXT;
}

}  // namespace vr
