#include "com_module.h"

#include <objbase.h>

#include <vector>

#include "support/ansi_text.h"
#include "support/win_handles.h"
#include "test_paths.h"

namespace vl::test {

std::wstring ModulePath()
{
    return BuildFile(L"VLServiceAdapter.ocx");
}

std::optional<DWORD> RunProgram(const std::wstring& commandLine, std::string* output, DWORD timeoutMs)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    UniqueHandle readEnd, writeEnd;
    if (output && !::CreatePipe(readEnd.put(), writeEnd.put(), &inherit, 0)) return std::nullopt;
    if (output) ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    if (output) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd.get();
        startup.hStdError = writeEnd.get();
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, output != nullptr, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &process))
        return std::nullopt;
    UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    writeEnd.reset();

    const auto drain = [&] {
        DWORD available = 0;
        while (output && ::PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            std::vector<char> chunk(available);
            DWORD read = 0;
            if (!::ReadFile(readEnd.get(), chunk.data(), available, &read, nullptr)) return;
            output->append(chunk.data(), read);
        }
    };
    const DWORD start = ::GetTickCount();
    while (::WaitForSingleObject(processHandle.get(), 50) != WAIT_OBJECT_0) {
        drain();
        if (::GetTickCount() - start > timeoutMs) {
            ::TerminateProcess(processHandle.get(), 1);
            return std::nullopt;
        }
    }
    drain();
    DWORD code = 0;
    ::GetExitCodeProcess(processHandle.get(), &code);
    return code;
}

std::optional<DWORD> Regsvr32(const std::wstring& path, bool unregister)
{
    return RunProgram(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"\"" + path + L"\"");
}

std::optional<std::string> ClassesRootString(const std::string& key, const char* name)
{
    DWORD size = 0;
    if (::RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::string value(size, '\0');
    if (::RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.resize(size > 0 ? size - 1 : 0);
    return value;
}

bool ClassesRootKeyExists(const std::string& key)
{
    UniqueRegKey handle;
    return ::RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
}

std::string RegistryGuid(REFGUID guid)
{
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return WideToAnsi(text);
}

} // namespace vl::test
