#include "message_pump.h"

namespace vl::pagehost {

void PumpMessages(DWORD ms, const PumpHooks& hooks)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (hooks.translate && hooks.translate(message)) continue;
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (hooks.stop && hooks.stop()) return;
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= ms) return;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, ms - elapsed, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

} // namespace vl::pagehost
