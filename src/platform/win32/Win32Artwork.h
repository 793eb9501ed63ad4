#pragma once

#include <windows.h>

#include "platform/artwork/Artwork.h"

namespace vr::win32 {

// An icon of the picture's size, its transparency taken from the picture's alpha.
HICON CreateIconFromImage(const artwork::Image& image);
// A bitmap of the picture laid over `background`, for a static control.
HBITMAP CreateBitmapFromImage(const artwork::Image& image, COLORREF background);

}  // namespace vr::win32
