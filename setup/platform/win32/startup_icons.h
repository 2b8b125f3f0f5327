#pragma once
// The two 32 x 32 pictures of the preparation window, drawn at run time so the program carries
// no image files. The background is the dialog colour, since a picture static has no
// transparency.
#include "setup/platform/win32/unique_handles.h"

namespace zev::win32 {

inline constexpr int kStartupIconSize = 32;

// An open cardboard box with a disc coming out of it: Windows XP and later.
UniqueBitmap CreateSetupBoxIcon();
// A monitor with a floppy disk in the 16-colour palette: older systems.
UniqueBitmap CreateClassicSetupIcon();

}  // namespace zev::win32
