// What the service host serves one page: the control's methods, with the control's names,
// arguments and results, and the control's OnResult event. The host makes one service per
// connection, once the page's address has passed the site lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "contract/portable/call_fault.h"

namespace vl {

// Where a service raises what the kernel sends on its own.
class IAdapterServiceEvents {
public:
    virtual void OnResult(std::uint32_t dwCmd, std::uint32_t dwSerialNum, const std::wstring& szParams) = 0;
    // The kernel must be updated through the portal's install page at `address`: where the
    // control opens it in an elevated browser, a page of the service host navigates there.
    virtual void OnInstallPage(const std::wstring& address) = 0;

protected:
    ~IAdapterServiceEvents() = default;
};

// What the answer that accepts a page tells it (a check page shows them).
struct ServiceVersions {
    std::wstring host;   // the service's own version, as GetVersion answers it
    std::wstring kernel; // the installed kernel's file version; empty when there is none
};

// A method's result, or the fault the page hears as an error in its place.
template <typename Result>
using ServiceAnswer = std::variant<Result, CallFault>;

// Results are the control's VLSRESULT codes and texts. A method may raise OnResult before
// it returns (a request waits for the kernel's answer while other messages arrive).
class IAdapterService {
public:
    virtual ~IAdapterService() = default;

    virtual ServiceAnswer<std::uint32_t> Initialize(const std::wstring& szRegionVer, const std::wstring& szNewerVersion,
                                                    const std::wstring& szChksum, std::uint32_t dwTimeout) = 0;
    virtual ServiceAnswer<std::uint32_t> Initialize2(const std::wstring& szRegionVersion,
                                                     const std::wstring& szNewerVersion, const std::wstring& szChksum,
                                                     std::uint32_t dwTimeout, const std::wstring& szClientSite) = 0;
    virtual ServiceAnswer<std::uint32_t> SaveData(const std::wstring& szKey, const std::wstring& szValue) = 0;
    virtual ServiceAnswer<std::wstring> LoadData(const std::wstring& szKey) = 0;
    virtual ServiceAnswer<std::uint32_t> SendCommand(std::uint32_t dwCmd, std::uint32_t dwSerialNum,
                                                     const std::wstring& szParams) = 0;
    virtual ServiceAnswer<std::uint32_t> ClearData(const std::wstring& szKey) = 0;
    virtual std::uint32_t GetActivexObjID() = 0;
    virtual ServiceAnswer<std::uint32_t> CheckRegionInfo() = 0;
    virtual void Uninitialize() = 0;
    virtual void SetUpdatorVersion(const std::wstring& szVersion) = 0;
    virtual std::wstring GetVersion() = 0;

    // Read without starting or creating anything, and no call of the page: the kernel's
    // registration run still waits for the page's first call.
    virtual ServiceVersions Versions() = 0;
};

// Makes the service of a page whose address (as the browser names it) passed the site lock;
// the events go to `events`, which outlives the service. Null when the host has none.
using AdapterServiceFactory =
    std::function<std::unique_ptr<IAdapterService>(const std::wstring& pageAddress, IAdapterServiceEvents& events)>;

} // namespace vl
