#include "adapter_link.h"

#include <algorithm>
#include <array>
#include <vector>

#include "kernel_journal.h"
#include "kernel_link/portable/kernel_commands.h"
#include "kernel_link/portable/message_text.h"
#include "stand_in_commands.h"

namespace vl {

namespace {

using namespace kernel_command;
using stand_in_command::kBurst;

constexpr int kMaxBurst = 200;
// An adapter that reads nothing for this long has gone.
constexpr DWORD kWriteWaitMs = 5000;
constexpr int kFloodPerPass = 20;
// How long a close notice waits for the adapter's answer before the link is dropped anyway.
constexpr DWORD kCloseAnswerWaitMs = 2000;

constexpr std::array<std::wstring_view, 4> kRegions = {L"US", L"TW", L"HK", L"CN"};
constexpr std::array<std::wstring_view, 5> kEnvironments = {L"Develop", L"Alpha", L"Production", L"RT",
                                                            L"Develop2.0"};

bool IsAcceptedRegion(std::wstring_view regionValue)
{
    const auto semicolon = regionValue.find(L';');
    if (semicolon == std::wstring_view::npos) return false;
    const auto region = regionValue.substr(0, semicolon);
    const auto environment = regionValue.substr(semicolon + 1);
    return std::find(kRegions.begin(), kRegions.end(), region) != kRegions.end() &&
           std::find(kEnvironments.begin(), kEnvironments.end(), environment) != kEnvironments.end();
}

// The value of a save request: everything after "&&&&Value=", so that a value keeps any
// separator it contains.
std::wstring SavedValue(std::wstring_view params)
{
    constexpr std::wstring_view kValueField = L"&&&&Value=";
    const auto at = params.find(kValueField);
    return at == std::wstring_view::npos ? std::wstring() : std::wstring(params.substr(at + kValueField.size()));
}

std::wstring OkOrFail(bool ok)
{
    return ok ? L"RetData=OK" : L"RetData=FAIL";
}

} // namespace

AdapterLink::AdapterLink(std::unique_ptr<KernelPipe> toAdapter, std::unique_ptr<KernelPipe> fromAdapter,
                         const KernelBehaviour& behaviour, std::wstring region, KernelStore& store)
    : m_toAdapter(std::move(toAdapter)), m_fromAdapter(std::move(fromAdapter)), m_behaviour(behaviour),
      m_region(std::move(region)), m_store(store)
{
}

LinkEnd AdapterLink::Serve(HANDLE stopEvent)
{
    const DWORD start = ::GetTickCount();
    if (m_behaviour.firstMessage && !Send(kGreeting, 0, L"Kernel=Hello&&&&Region=" + m_region))
        return LinkEnd::Broken;
    if (!SendBurst(0, m_behaviour.burstCount)) return LinkEnd::Broken;
    bool closeNoticeDue = m_behaviour.closeAfterMs.has_value();
    for (;;) {
        while (!m_behaviour.deaf) {
            KernelMessage message;
            const long status = m_fromAdapter->Read(message);
            if (status == kMalformedMessage) continue;
            if (status == ERROR_NO_DATA) break;
            if (status != 0) return LinkEnd::Broken;
            JournalLine(L"message: CmdID=" + std::to_wstring(message.cmdId) + L"&&&&SerialNum=" +
                        std::to_wstring(message.serialNum) + L"&&&&Params=" + message.params);
            if (const auto end = Handle(message.cmdId, message.serialNum, message.params)) return *end;
        }
        if (!SendDueAnswers() || !SendFlood()) return LinkEnd::Broken;
        if (closeNoticeDue && ::GetTickCount() - start >= *m_behaviour.closeAfterMs) {
            closeNoticeDue = false;
            if (!StartClosing()) return LinkEnd::Broken;
        }
        if (m_closingSince && ::GetTickCount() - *m_closingSince >= kCloseAnswerWaitMs) return LinkEnd::Closed;
        const HANDLE events[] = {m_fromAdapter->ReadyEvent(), stopEvent};
        if (::WaitForMultipleObjects(2, events, FALSE, IdleTime(start, closeNoticeDue)) == WAIT_OBJECT_0 + 1)
            return LinkEnd::Stopped;
    }
}

DWORD AdapterLink::IdleTime(DWORD start, bool closeNoticeDue) const
{
    if (m_floodSent < m_behaviour.floodCount) return 0;
    DWORD idle = INFINITE;
    auto until = [&](DWORD since, DWORD after) {
        const DWORD passed = ::GetTickCount() - since;
        idle = std::min(idle, passed >= after ? 0 : after - passed);
    };
    if (!m_pending.empty()) until(m_pending.front().receivedAt, m_behaviour.answerDelayMs);
    if (closeNoticeDue) until(start, *m_behaviour.closeAfterMs);
    if (m_closingSince) until(*m_closingSince, kCloseAnswerWaitMs);
    return idle;
}

std::optional<LinkEnd> AdapterLink::Handle(int cmdId, int serialNum, const std::wstring& params)
{
    bool sent = true;
    switch (cmdId) {
    case kLeaveNotice: return LinkEnd::Left;
    case kCloseNotice: return LinkEnd::Closed;
    case kRegistration: sent = Send(kRegistrationAnswer, 0, L"RetData=OK"); break;
    case kSaveData:
    case kLoadData:
    case kClearData:
    case kCheckRegion: sent = AcceptRequest(cmdId, params); break;
    case kBurst: sent = SendBurst(serialNum, ParseLeadingInteger(GetKeyValue(params, L"Count"))); break;
    case stand_in_command::kClose: sent = StartClosing(); break;
    // A command it does not know comes back at once, marked as an echo, so that a page sees
    // its OnResult; the marker also keeps an empty parameter text from being dropped.
    default: sent = Send(cmdId, serialNum, L"Echo=" + params); break;
    }
    if (!sent) return LinkEnd::Broken;
    return std::nullopt;
}

bool AdapterLink::AcceptRequest(int cmdId, const std::wstring& params)
{
    if (m_behaviour.neverAnswer) return true;
    if (m_behaviour.answerSecondCopyOnly) {
        const std::wstring copy = std::to_wstring(cmdId) + L":" + params;
        if (m_firstCopies.insert(copy).second) return true;
        m_firstCopies.erase(copy);
    }
    m_pending.push_back({::GetTickCount(), cmdId, Perform(cmdId, params)});
    return SendDueAnswers();
}

std::wstring AdapterLink::Perform(int cmdId, const std::wstring& params)
{
    const std::wstring key = GetKeyValue(params, L"Key");
    switch (cmdId) {
    case kSaveData: return OkOrFail(m_store.Save(key, SavedValue(params)));
    case kLoadData: return L"RetData=" + m_store.Load(key);
    case kClearData: return OkOrFail(m_store.Clear(key));
    default: return IsAcceptedRegion(GetKeyValue(params, L"Region")) ? L"RetData=TRUE" : L"RetData=FALSE";
    }
}

bool AdapterLink::SendDueAnswers()
{
    while (!m_pending.empty() && ::GetTickCount() - m_pending.front().receivedAt >= m_behaviour.answerDelayMs) {
        const PendingAnswer answer = std::move(m_pending.front());
        m_pending.pop_front();
        if (!Send(answer.cmdId, 0, answer.params)) return false;
    }
    return true;
}

bool AdapterLink::SendBurst(int serialNum, int count)
{
    count = std::clamp(count, 0, kMaxBurst);
    for (int i = 1; i <= count; ++i) {
        if (!Send(kBurst, serialNum, L"Burst=" + std::to_wstring(i) + L"&&&&Count=" + std::to_wstring(count)))
            return false;
    }
    return true;
}

bool AdapterLink::SendFlood()
{
    if (m_floodSent >= m_behaviour.floodCount) return true;
    const std::string notMessage("no message here", 16); // NUL included
    const std::string runWithoutNul(kPipeBufferSize, 'x');
    for (int i = 0; i < kFloodPerPass && m_floodSent < m_behaviour.floodCount; ++i) {
        const int number = ++m_floodSent;
        if (!Send(kBurst, 0,
                  L"Flood=" + std::to_wstring(number) + L"&&&&Count=" + std::to_wstring(m_behaviour.floodCount)))
            return false;
        if (number % 10 == 0 && !SendRaw(notMessage)) return false;
        if (number % 100 == 0 && !SendRaw(runWithoutNul)) return false;
    }
    return true;
}

bool AdapterLink::StartClosing()
{
    if (!m_closingSince) m_closingSince = ::GetTickCount();
    return Send(kCloseNotice, 0, L"Closing");
}

bool AdapterLink::Send(int cmdId, int serialNum, const std::wstring& params)
{
    bool cut = false;
    return m_toAdapter->WriteMessage(cmdId, serialNum, params, ::GetTickCount() + kWriteWaitMs, cut) == 0;
}

bool AdapterLink::SendRaw(const std::string& bytes)
{
    bool cut = false;
    return m_toAdapter->Write(bytes, ::GetTickCount() + kWriteWaitMs, cut) == 0;
}

} // namespace vl
