// Which extension a browser started the host for, from the arguments it gives the host:
// Chromium-based browsers pass the calling extension's origin first
// ("chrome-extension://<id>/"; on Windows the parent window's handle follows), Firefox the
// host manifest's path and then the extension's ID. The host's manifest already names the
// IDs of the one extension a browser may start it for (its development build's and each
// store's); the host checks again, so that a manifest that was changed, or another
// browser's idea of it, serves no other extension.
#pragma once

#include <span>
#include <string_view>

namespace vl {

struct AllowedExtension {
    std::span<const std::wstring_view> chromiumOrigins; // "chrome-extension://<id>/" of each ID
    std::wstring_view geckoId;                          // Firefox's ID of the same extension
};

// `arguments` are the host's command-line arguments after the program's name.
bool IsAllowedCaller(std::span<const wchar_t* const> arguments, const AllowedExtension& allowed) noexcept;

// The one answer a host started for another caller gives before it ends.
inline constexpr std::string_view kCallerRefused = "the vorlink! service host serves the vorlink! extension only";

} // namespace vl
