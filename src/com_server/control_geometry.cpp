#include "com_server/control_geometry.h"

#include "support/win_handles.h"

namespace vl {

namespace {
constexpr LONG kHimetricPerInch = 2540;
} // namespace

SIZEL PixelsToHimetric(LONG width, LONG height)
{
    UniqueScreenDc screen(::GetDC(nullptr));
    return {::MulDiv(width, kHimetricPerInch, ::GetDeviceCaps(screen.get(), LOGPIXELSX)),
            ::MulDiv(height, kHimetricPerInch, ::GetDeviceCaps(screen.get(), LOGPIXELSY))};
}

SIZE HimetricToPixels(const SIZEL& size)
{
    UniqueScreenDc screen(::GetDC(nullptr));
    return {::MulDiv(size.cx, ::GetDeviceCaps(screen.get(), LOGPIXELSX), kHimetricPerInch),
            ::MulDiv(size.cy, ::GetDeviceCaps(screen.get(), LOGPIXELSY), kHimetricPerInch)};
}

RECT WindowSize(HWND window)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return {0, 0, rect.right - rect.left, rect.bottom - rect.top};
}

} // namespace vl
