// The two sides of the service core that its owner supplies: the container it works in
// (the control in a page, or the service host for a browser's page connection) and the
// receiver of what the kernel sends on its own.
#pragma once

#include <windows.h>

#include <string>

#include "support/patch_http.h"

namespace vl {

class IServiceContainer {
public:
    // The address of the page served now; empty outside a page.
    virtual std::wstring PageAddress() = 0;
    // The HTTP client that fetches the updater.
    virtual PatchHttp& UpdaterHttp() = 0;
    // Whether a failure may be shown to the user in an error box; else it is only logged.
    virtual bool ShowsErrorBoxes() = 0;
    // The kernel must be updated through the portal's install page at `address` (from the
    // page at `clientSite`): the control opens it in an elevated browser, the service host
    // tells the page.
    virtual void OpenInstallPage(const std::wstring& address, const std::wstring& clientSite) = 0;
    // Hold keeps the container alive while the core runs code that may let the page
    // release it (a request's wait, the pump's events); each Hold is followed by an Unhold.
    virtual void Hold() = 0;
    virtual void Unhold() = 0;

protected:
    ~IServiceContainer() = default;
};

class IServiceEvents {
public:
    // A kernel message for the page (not an answer to one of its requests, and not one of
    // the link's own); the page may call the core again from inside.
    virtual void OnResult(ULONG cmd, ULONG serial, const std::wstring& params) = 0;

protected:
    ~IServiceEvents() = default;
};

} // namespace vl
