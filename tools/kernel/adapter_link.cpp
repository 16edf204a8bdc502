#include "adapter_link.h"

#include <algorithm>
#include <array>
#include <vector>

#include "kernel_journal.h"
#include "kernel_link/portable/message_text.h"

namespace vl {

namespace {

constexpr int kLeaveNotice = 1;
constexpr int kRegistration = 3;
constexpr int kGreeting = 5;
constexpr int kRegistrationAnswer = 6;
constexpr int kSaveRequest = 162;
constexpr int kLoadRequest = 163;
constexpr int kClearRequest = 164;
constexpr int kRegionRequest = 165;
constexpr int kCloseNotice = 167;
constexpr int kBurstCommand = 100;
constexpr int kCloseCommand = 101;

constexpr int kMaxBurst = 200;
constexpr DWORD kPollMs = 10;
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

AdapterLink::AdapterLink(UniqueHandle toAdapter, UniqueHandle fromAdapter, const KernelBehaviour& behaviour,
                       std::wstring region, KernelStore& store)
    : m_toAdapter(std::move(toAdapter)), m_fromAdapter(std::move(fromAdapter)), m_behaviour(behaviour),
      m_region(std::move(region)), m_store(store)
{
}

LinkEnd AdapterLink::Serve(const std::atomic<bool>& stop)
{
    const DWORD start = ::GetTickCount();
    if (m_behaviour.firstMessage && !Send(kGreeting, 0, L"Kernel=Hello&&&&Region=" + m_region))
        return LinkEnd::Broken;
    if (!SendBurst(0, m_behaviour.burstCount)) return LinkEnd::Broken;
    bool closeNoticeDue = m_behaviour.closeAfterMs.has_value();
    std::vector<wchar_t> params(kPipeBufferSize);
    while (!stop) {
        for (;;) {
            int cmdId = 0;
            int serialNum = 0;
            const long status =
                m_codec.ReadPipeMessage(m_fromAdapter.get(), cmdId, serialNum, params.data(), params.size());
            if (status == kMalformedMessage) continue;
            if (status == ERROR_NO_DATA) break;
            if (status != 0) return LinkEnd::Broken;
            JournalLine(L"message: CmdID=" + std::to_wstring(cmdId) + L"&&&&SerialNum=" + std::to_wstring(serialNum) +
                        L"&&&&Params=" + params.data());
            if (const auto end = Handle(cmdId, serialNum, params.data())) return *end;
        }
        if (!SendDueAnswers()) return LinkEnd::Broken;
        if (closeNoticeDue && ::GetTickCount() - start >= *m_behaviour.closeAfterMs) {
            closeNoticeDue = false;
            if (!StartClosing()) return LinkEnd::Broken;
        }
        if (m_closingSince && ::GetTickCount() - *m_closingSince >= kCloseAnswerWaitMs) return LinkEnd::Closed;
        ::Sleep(kPollMs);
    }
    return LinkEnd::Stopped;
}

std::optional<LinkEnd> AdapterLink::Handle(int cmdId, int serialNum, const std::wstring& params)
{
    bool sent = true;
    switch (cmdId) {
    case kLeaveNotice: return LinkEnd::Left;
    case kCloseNotice: return LinkEnd::Closed;
    case kRegistration: sent = Send(kRegistrationAnswer, 0, L"RetData=OK"); break;
    case kSaveRequest:
    case kLoadRequest:
    case kClearRequest:
    case kRegionRequest: sent = AcceptRequest(cmdId, params); break;
    case kBurstCommand: sent = SendBurst(serialNum, ParseLeadingInteger(GetKeyValue(params, L"Count"))); break;
    case kCloseCommand: sent = StartClosing(); break;
    default: sent = Send(cmdId, serialNum, params); break;
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
    case kSaveRequest: return OkOrFail(m_store.Save(key, SavedValue(params)));
    case kLoadRequest: return L"RetData=" + m_store.Load(key);
    case kClearRequest: return OkOrFail(m_store.Clear(key));
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
        if (!Send(kBurstCommand, serialNum, L"Burst=" + std::to_wstring(i) + L"&&&&Count=" + std::to_wstring(count)))
            return false;
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
    return m_codec.WritePipeMessage(m_toAdapter.get(), cmdId, serialNum, params) == 0;
}

} // namespace vl
