// The control's home folder inside the user's documents folder, and what it holds.
#pragma once

#include <string>
#include <string_view>

namespace vl {

inline constexpr std::wstring_view kHomeFolderName = L"My Vorlink";
inline constexpr std::wstring_view kKernelFileName = L"VLWidgetKernel.exe";
inline constexpr std::wstring_view kUpdaterFileName = L"VLUpdate.exe";
inline constexpr std::wstring_view kLogFolderName = L"Log";

// `folder` and `name` joined by exactly one backslash (none added after a trailing one).
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);

// The home folder of a documents folder; empty when the documents folder is unknown.
std::wstring HomeFolderOf(std::wstring_view documentsFolder);

} // namespace vl
