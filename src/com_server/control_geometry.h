// Sizes of the control in the two units it deals in: pixels on the screen and the
// HIMETRIC units (hundredths of a millimetre) of OLE's extents.
#pragma once

#include <windows.h>

namespace vl {

SIZEL PixelsToHimetric(LONG width, LONG height);
SIZE HimetricToPixels(const SIZEL& size);
// The window's size, as a rectangle at the origin.
RECT WindowSize(HWND window);

} // namespace vl
