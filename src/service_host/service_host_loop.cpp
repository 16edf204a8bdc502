#include "service_host/service_host_loop.h"

#include <memory>
#include <optional>
#include <utility>

#include "service_host/inbound_messages.h"
#include "service_host/portable/browser_caller.h"
#include "service_host/portable/service_dispatcher.h"
#include "service_host/portable/service_message.h"
#include "service_host/standard_input_reader.h"
#include "service_host/standard_output_writer.h"
#include "support/development_mode.h"
#include "support/portable/exception_boundary.h"

namespace vl {
namespace {

// The page's messages served in a row while more wait, as the response pump handles a
// bounded number of the kernel's in a row.
constexpr int kPageMessagesPerTurn = 16;

// Runs the window messages that have arrived; false after WM_QUIT.
bool RunWindowMessages()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return false;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return true;
}

int Serve(HANDLE input, HANDLE output, PageServiceFactory factory)
{
    auto inbound = std::make_shared<InboundMessages>();
    // Shared with the reading thread, which answers "busy" itself and may outlive this call.
    const auto writer = std::make_shared<StandardOutputWriter>(output);
    if (!inbound->Valid() || !StartStandardInputReader(input, inbound, writer)) return 1;
    // The page's service core logs a refused development mode at its first call, into the
    // step log it opens then.
    ServiceDispatcher dispatcher(
        std::move(factory), [writer](const std::string& json) { writer->Write(json); },
        ReadDevelopmentMode() == DevelopmentModeDecision::On);

    const HANDLE ready = inbound->Ready();
    bool serving = true;
    while (serving && !writer->Broken()) {
        const DWORD woken = ::MsgWaitForMultipleObjectsEx(1, &ready, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0) {
            // The window messages (the kernel's events among them) get their turn after a few
            // of the page's messages, however many wait. Not after each one: every turn has the
            // response pump look at its pipe and watch it again, which costs more than a call.
            bool closed = false;
            for (int taken = 0; taken < kPageMessagesPerTurn && !closed && !writer->Broken(); ++taken) {
                InboundMessages::Next next = inbound->Take();
                closed = next.closed;
                if (!next.message) break;
                dispatcher.Receive(*next.message);
            }
            serving = !closed && RunWindowMessages();
        } else if (woken == WAIT_OBJECT_0 + 1) {
            serving = RunWindowMessages();
        } else {
            serving = false;
        }
    }
    dispatcher.Close();
    return 0;
}

} // namespace

int RunServiceHost(HANDLE input, HANDLE output, PageServiceFactory factory) noexcept
{
    return CatchReturn(1, [&] { return Serve(input, output, std::move(factory)); });
}

int RefuseCaller(HANDLE output) noexcept
{
    CatchIgnore([&] { StandardOutputWriter(output).Write(FormatAnswer(ErrorAnswer(std::nullopt, std::string(kCallerRefused)))); });
    return 2;
}

} // namespace vl
