// The 32-bit module and its 64-bit twin side by side in a 64-bit prefix: each registered by
// its own regsvr32 in its own view of the registry, created by its own script host and
// loaded by its own page host; unregistering one leaves the other working.
//
// Wine's 64-bit hosts may still create a control that only the 32-bit view registers (it
// serves it from another process, which Windows does not), so creation alone proves
// little: the tests read each view and ask the page host which module it loaded.
// ctest: RESOURCE_LOCK product_state
// ctest: RESOURCE_LOCK com_registration
// ctest-trust: test root
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "com_server/Vlserviceadapter_tlb.h"
#include "support/ansi_text.h"
#include "fixtures/com_module.h"
#include "fixtures/product_state.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"
#include "support/win_handles.h"

namespace {

using vl::test::RunProgram;

std::wstring Win32File(const std::wstring& relative)
{
    const std::string unixPath = VL_WIN32_BINARY_DIR;
    std::wstring path = L"Z:" + std::wstring(unixPath.begin(), unixPath.end()) + L"/" + relative;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::wstring SystemFolder(UINT(WINAPI* get)(LPWSTR, UINT))
{
    wchar_t path[MAX_PATH] = {};
    const UINT length = get(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? path : L"";
}

// One architecture's module with the programs of its own bitness.
struct Side {
    const char* name;
    std::wstring module;
    std::wstring pagehost;
    std::wstring systemFolder; // its regsvr32.exe and cscript.exe
    REGSAM view;
};

Side Twin()
{
    return {"64-bit", vl::test::ModulePath(), vl::test::BuildFile(L"pagehost.exe"),
            SystemFolder(::GetSystemDirectoryW), KEY_WOW64_64KEY};
}

Side Module32()
{
    return {"32-bit", Win32File(L"VLServiceAdapter.ocx"), Win32File(L"pagehost.exe"),
            SystemFolder(::GetSystemWow64DirectoryW), KEY_WOW64_32KEY};
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// A REG_SZ value of HKEY_CLASSES_ROOT in one view of the registry.
std::optional<std::wstring> ClassesValue(REGSAM view, const std::wstring& key)
{
    vl::UniqueRegKey handle;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ | view, handle.put()) != ERROR_SUCCESS)
        return std::nullopt;
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(handle.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    return std::wstring(value);
}

std::wstring Guid(REFGUID guid)
{
    return vl::AnsiToWide(vl::test::RegistryGuid(guid));
}

const std::wstring kProgId = L"VLServiceAdapter.VLServiceAdapterX";

std::optional<DWORD> Regsvr32(const Side& side, bool unregister = false)
{
    return RunProgram(side.systemFolder + L"\\regsvr32.exe", std::wstring(L"/s ") + (unregister ? L"/u " : L"") +
                                                                 L"\"" + side.module + L"\"");
}

class SideBySide : public ::testing::Test {
protected:
    // Both modules registered before each test and after the last, as the other tests expect.
    static void TearDownTestSuite() { RegisterBoth(); }

    static void RegisterBoth()
    {
        for (const Side& side : {Twin(), Module32()}) ASSERT_EQ(Regsvr32(side), 0u) << side.name;
    }

    void SetUp() override
    {
        vl::test::ResetProductState();
        RegisterBoth();
    }
    void TearDown() override { vl::test::ResetProductState(); }

    // What the side's own script host echoes after creating the control by its ProgID.
    std::string ScriptHostCreates(const Side& side)
    {
        const std::wstring script = m_temp.File(L"create.js");
        EXPECT_TRUE(vl::test::WriteFileBytes(
            script, "var c = new ActiveXObject(\"VLServiceAdapter.VLServiceAdapterX\");\n"
                    "WScript.Echo(\"version \" + c.GetVersion());\n"));
        std::string output;
        const auto code = RunProgram(side.systemFolder + L"\\cscript.exe", L"//Nologo \"" + script + L"\"", &output);
        output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
        return code == 0u ? output : "exit code " + (code ? std::to_string(*code) : std::string("none")) + ": " + output;
    }

    // The output of the side's page host running `code`.
    std::string Page(const Side& side, const std::string& code)
    {
        const std::wstring script = m_temp.File(L"page.js");
        EXPECT_TRUE(vl::test::WriteFileBytes(script, code));
        std::string output;
        RunProgram(side.pagehost, L"--url http://tw.vorlink.com/page.html --script \"" + script + L"\"", &output, 120000);
        output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
        return output;
    }

    std::string LoadedModule(const Side& side) { return Page(side, "host.print(host.controlModule);\n"); }

    void ExpectRegisteredIn(const Side& side)
    {
        const std::wstring classKey = L"CLSID\\" + Guid(CLSID_VLServiceAdapterX);
        const auto server = ClassesValue(side.view, classKey + L"\\InprocServer32");
        ASSERT_TRUE(server) << side.name;
        EXPECT_TRUE(SamePath(*server, side.module)) << side.name << ": " << vl::WideToAnsi(*server);
        // The ProgID key is one for both views.
        EXPECT_EQ(ClassesValue(0, kProgId + L"\\CLSID"), Guid(CLSID_VLServiceAdapterX)) << side.name;
        EXPECT_EQ(ClassesValue(side.view, classKey + L"\\Typelib"), Guid(LIBID_VLServiceAdapter)) << side.name;
    }

    void ExpectWorking(const Side& side)
    {
        ExpectRegisteredIn(side);
        EXPECT_EQ(ScriptHostCreates(side), "version 1.1.31.362\n") << side.name;
        EXPECT_TRUE(SamePath(vl::AnsiToWide(LoadedModule(side)), side.module + L"\n")) << side.name;
    }

    vl::test::TempFolder m_temp;
};

TEST_F(SideBySide, EachModuleIsRegisteredCreatedAndLoadedInItsOwnView)
{
    for (const Side& side : {Twin(), Module32()}) ExpectWorking(side);
}

TEST_F(SideBySide, BothTypeLibraryRegistrationsCoexist)
{
    const std::wstring version = L"TypeLib\\" + Guid(LIBID_VLServiceAdapter) + L"\\1.0";
    for (const Side& side : {Twin(), Module32()}) {
        EXPECT_EQ(ClassesValue(side.view, version), L"VLServiceAdapter Library") << side.name;
        const auto win32 = ClassesValue(side.view, version + L"\\0\\win32");
        const auto win64 = ClassesValue(side.view, version + L"\\0\\win64");
        ASSERT_TRUE(win32 && win64) << side.name;
        EXPECT_TRUE(SamePath(*win32, Module32().module)) << side.name << ": " << vl::WideToAnsi(*win32);
        EXPECT_TRUE(SamePath(*win64, Twin().module)) << side.name << ": " << vl::WideToAnsi(*win64);
    }
}

// Each module's unregistration removes its own class key; the shared ProgID goes with the
// last of the two.
TEST_F(SideBySide, UnregisteringOneLeavesTheOtherWorking)
{
    const std::wstring classKey = L"CLSID\\" + Guid(CLSID_VLServiceAdapterX);
    const Side sides[] = {Twin(), Module32()};
    for (int gone = 0; gone < 2; ++gone) {
        const Side& removed = sides[gone];
        const Side& kept = sides[1 - gone];
        ASSERT_EQ(Regsvr32(removed, true), 0u) << removed.name;
        EXPECT_FALSE(ClassesValue(removed.view, classKey + L"\\InprocServer32")) << removed.name;
        ExpectWorking(kept);
        // A host of the other bitness never loads the kept module into its own process.
        EXPECT_FALSE(SamePath(vl::AnsiToWide(LoadedModule(removed)), kept.module + L"\n")) << removed.name;
        ASSERT_EQ(Regsvr32(removed), 0u) << removed.name;
    }
    for (const Side& side : sides) ASSERT_EQ(Regsvr32(side, true), 0u) << side.name;
    EXPECT_FALSE(ClassesValue(0, kProgId + L"\\CLSID"));
    for (const Side& side : sides) EXPECT_FALSE(ClassesValue(side.view, classKey + L"\\InprocServer32")) << side.name;
}

// The 64-bit page links the twin to the 32-bit stand-in kernel: start through the shell,
// handshake, a command and its result event, leave.
TEST_F(SideBySide, TwinInAPageLinksToTheStandInKernelAndGetsOnResult)
{
    ASSERT_TRUE(vl::test::InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    const std::string output = Page(Twin(), R"(
        var results = [];
        function OnResult(cmd, serial, params) { results.push(cmd + "/" + serial + "/" + params); }
        host.print("Initialize2 " + control.Initialize2("TW;Production", "1.0.0.10", "", 30, host.url));
        host.print("SaveData " + control.SaveData("side", "by side"));
        host.print("LoadData " + control.LoadData("side"));
        host.print("SendCommand " + control.SendCommand(100, 7, "Count=2"));
        for (var i = 0; i < 100 && results.length < 2; i++) host.pump(50);
        host.print("OnResult " + results.join(" "));
        control.Uninitialize();
    )");
    EXPECT_EQ(output, "Initialize2 0\nSaveData 0\nLoadData by side\nSendCommand 0\n"
                      "OnResult 100/7/Burst=1&&&&Count=2 100/7/Burst=2&&&&Count=2\n");
}

} // namespace
