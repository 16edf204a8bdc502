// One link with an adapter: the kernel's ends of the pipe pair, the requests it answers
// and the messages it sends on its own.
//
// Commands: 1 leave notice (the link ends), 3 registration (answered with 6 "RetData=OK"),
// 162 save "Key=k&&&&Value=v" (the value is the whole rest after "&&&&Value="), 163 load
// "Key=k" ("RetData=<value>", empty when missing), 164 clear "Key=k", 165 region check
// "Region=<value>" ("RetData=TRUE" for a known region and environment, e.g. TW;Production,
// else "RetData=FALSE"), 167 the answer to the kernel's own close notice (the link ends).
// Page commands: 100 burst "Count=n" sends n messages 100 "Burst=i&&&&Count=n" (1 <= i <= n,
// n at most 200) with the request's SerialNum; 101 makes the kernel close the link with its
// close notice 167 "Closing"; every other CmdID is echoed: the same CmdID, SerialNum and
// parameters come back. The first message of a link is 5 "Kernel=Hello&&&&Region=<region>".
// The link waits on its reading end and on the kernel's stop event; it wakes on its own only
// for answers and notices that are due.
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "kernel_behaviour.h"
#include "kernel_link/kernel_pipe.h"
#include "kernel_store.h"

namespace vl {

enum class LinkEnd {
    Left,    // the adapter's leave notice
    Closed,  // the close notice was exchanged
    Broken,  // the adapter closed its ends
    Stopped, // the kernel is ending
};

class AdapterLink {
public:
    AdapterLink(std::unique_ptr<KernelPipe> toAdapter, std::unique_ptr<KernelPipe> fromAdapter,
                const KernelBehaviour& behaviour, std::wstring region, KernelStore& store);

    // Serves the link until it ends or `stopEvent` is set.
    LinkEnd Serve(HANDLE stopEvent);

private:
    // How the link ends because of the message, or nothing while it goes on.
    std::optional<LinkEnd> Handle(int cmdId, int serialNum, const std::wstring& params);
    bool AcceptRequest(int cmdId, const std::wstring& params);
    std::wstring Perform(int cmdId, const std::wstring& params);
    bool SendDueAnswers();
    bool SendBurst(int serialNum, int count);
    // Sends the next few messages of a hostile flood.
    bool SendFlood();
    // Until the next answer or notice is due; INFINITE when none is.
    DWORD IdleTime(DWORD start, bool closeNoticeDue) const;
    bool SendRaw(const std::string& bytes);
    bool StartClosing();
    bool Send(int cmdId, int serialNum, const std::wstring& params);

    struct PendingAnswer {
        DWORD receivedAt;
        int cmdId;
        std::wstring params;
    };

    std::unique_ptr<KernelPipe> m_toAdapter;
    std::unique_ptr<KernelPipe> m_fromAdapter;
    const KernelBehaviour& m_behaviour;
    std::wstring m_region;
    KernelStore& m_store;
    std::deque<PendingAnswer> m_pending;
    int m_floodSent = 0;
    std::set<std::wstring> m_firstCopies;
    std::optional<DWORD> m_closingSince;
};

} // namespace vl
