// ctest: RESOURCE_LOCK com_registration
// Self-registration of the built module through Wine's regsvr32, read back from the
// registry: every entry, registering twice, unregistering, a module under a folder with a
// space in its name, and a module whose type library cannot be loaded.
// ctest-wow64: run
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "com_server/Vlserviceadapter_tlb.h"
#include "com_server/server_registration.h"
#include "module_version.h"
#include "support/ansi_text.h"
#include "support/portable/version_text.h"
#include "fixtures/com_module.h"
#include "fixtures/module_resource.h"
#include "fixtures/temp_folder.h"
#include "support/win_handles.h"

namespace {

using vl::test::ClassesRootKeyExists;
using vl::test::ClassesRootString;
using vl::test::Regsvr32;

const std::string kClsid = vl::test::RegistryGuid(CLSID_VLServiceAdapterX);
const std::string kClassKey = "CLSID\\" + kClsid;
const std::string kProgId = "VLServiceAdapter.VLServiceAdapterX";
const std::string kTypeLibKey = "TypeLib\\" + vl::test::RegistryGuid(LIBID_VLServiceAdapter);

// Every value below a key, "subkey path|value name" -> data, for comparing whole trees.
void ReadTree(HKEY parent, const std::string& path, std::map<std::string, std::string>& values)
{
    vl::UniqueRegKey key;
    if (::RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        BYTE data[1024];
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        if (::RegEnumValueA(key.get(), i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
        values[path + "|" + name] = std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), dataLength);
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        if (::RegEnumKeyExA(key.get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        values[path + "\\" + name] = "key";
        ReadTree(parent, path + "\\" + name, values);
    }
}

std::map<std::string, std::string> ControlEntries()
{
    std::map<std::string, std::string> values;
    ReadTree(HKEY_CLASSES_ROOT, kClassKey, values);
    ReadTree(HKEY_CLASSES_ROOT, kProgId, values);
    return values;
}

std::string ShortPath(const std::wstring& path)
{
    char shortPath[MAX_PATH] = {};
    ::GetShortPathNameA(vl::WideToAnsi(path).c_str(), shortPath, MAX_PATH);
    return shortPath;
}

class Registration : public ::testing::Test {
protected:
    // Every test leaves the module of the build tree registered, as the other tests expect.
    void TearDown() override
    {
        vl::DeleteKeyTree(HKEY_CLASSES_ROOT, kClassKey);
        vl::DeleteKeyTree(HKEY_CLASSES_ROOT, kProgId);
        EXPECT_EQ(Regsvr32(vl::test::ModulePath()), DWORD{0});
    }
};

TEST_F(Registration, WritesEveryEntry)
{
    ASSERT_EQ(Regsvr32(vl::test::ModulePath()), DWORD{0});
    const std::string path = vl::WideToAnsi(vl::test::ModulePath());

    EXPECT_EQ(ClassesRootString(kClassKey), "VLServiceAdapterX Control");
    const auto server = ClassesRootString(kClassKey + "\\InprocServer32");
    ASSERT_TRUE(server);
    EXPECT_EQ(_stricmp(server->c_str(), path.c_str()), 0) << *server;
    EXPECT_EQ(ClassesRootString(kClassKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(ClassesRootString(kProgId), "VLServiceAdapterX Control");
    EXPECT_EQ(ClassesRootString(kProgId + "\\CLSID"), kClsid);
    EXPECT_EQ(ClassesRootString(kClassKey + "\\ProgID"), kProgId);
    EXPECT_EQ(ClassesRootString(kClassKey + "\\Version"), "1.0");
    EXPECT_EQ(ClassesRootString(kClassKey + "\\Typelib"), vl::test::RegistryGuid(LIBID_VLServiceAdapter));
    EXPECT_EQ(ClassesRootString(kClassKey + "\\MiscStatus"), "0");
    EXPECT_EQ(ClassesRootString(kClassKey + "\\MiscStatus\\1"), "131473");
    EXPECT_EQ(ClassesRootString(kClassKey + "\\ToolboxBitmap32"), *server + ",1");
    EXPECT_EQ(ClassesRootString(kClassKey + "\\Control"), "");
    EXPECT_EQ(ClassesRootString(kClassKey + "\\Verb"), "");
    EXPECT_EQ(ClassesRootString(kClassKey + "\\Verb\\0"), "Properties,0,2");

    // Nothing else: no version-independent ProgID, no categories.
    EXPECT_FALSE(ClassesRootKeyExists(kClassKey + "\\VersionIndependentProgID"));
    EXPECT_FALSE(ClassesRootKeyExists(kClassKey + "\\Implemented Categories"));
    EXPECT_FALSE(ClassesRootKeyExists("VLServiceAdapter.VLServiceAdapterX.1"));

    // The values are stored with their terminating zero.
    DWORD size = 0;
    ASSERT_EQ(::RegGetValueA(HKEY_CLASSES_ROOT, (kClassKey + "\\Version").c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                             nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);

    // The type library, registered for the module with its folder as help directory.
    // The entry of the module's own platform: the 64-bit twin's library is registered as win64.
    EXPECT_TRUE(ClassesRootKeyExists(kTypeLibKey + "\\1.0\\0\\" + (sizeof(void*) == 8 ? "win64" : "win32")));
    EXPECT_TRUE(ClassesRootKeyExists("Interface\\" + vl::test::RegistryGuid(IID_IVLServiceAdapterX)));
    const auto helpDir = ClassesRootString(kTypeLibKey + "\\1.0\\HELPDIR");
    ASSERT_TRUE(helpDir);
    EXPECT_EQ(_stricmp(helpDir->c_str(), path.substr(0, path.rfind('\\') + 1).c_str()), 0) << *helpDir;
}

TEST_F(Registration, RegisteringTwiceLeavesTheSameEntries)
{
    ASSERT_EQ(Regsvr32(vl::test::ModulePath()), DWORD{0});
    const auto first = ControlEntries();
    ASSERT_EQ(Regsvr32(vl::test::ModulePath()), DWORD{0});
    EXPECT_EQ(ControlEntries(), first);
    EXPECT_EQ(first.size(), 25u); // 11 keys below the two, 14 values
}

// On 64-bit Windows the module of the other bitness shares the ProgID key and keeps it while
// it registers the class (tests/win64): here this module is the only one.
void RemoveOtherBitnessClass()
{
    vl::UniqueRegKey classes;
    const REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ | KEY_WRITE | otherView, classes.put()) ==
        ERROR_SUCCESS)
        vl::DeleteKeyTree(classes.get(), kClsid);
}

TEST_F(Registration, UnregisteringKeepsTheTypeLibrary)
{
    RemoveOtherBitnessClass();
    ASSERT_EQ(Regsvr32(vl::test::ModulePath()), DWORD{0});
    ASSERT_EQ(Regsvr32(vl::test::ModulePath(), true), DWORD{0});
    EXPECT_FALSE(ClassesRootKeyExists(kClassKey));
    EXPECT_FALSE(ClassesRootKeyExists(kProgId));
    EXPECT_TRUE(ClassesRootKeyExists(kTypeLibKey));

    // Unregistering what is not registered still succeeds.
    EXPECT_EQ(Regsvr32(vl::test::ModulePath(), true), DWORD{0});
}

TEST_F(Registration, ModuleUnderAFolderWithASpaceRegistersItsShortPath)
{
    vl::test::TempFolder temp;
    const std::wstring folder = temp.File(L"Program Files");
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring copy = folder + L"\\VLServiceAdapter.ocx";
    ASSERT_TRUE(::CopyFileW(vl::test::ModulePath().c_str(), copy.c_str(), FALSE));
    const std::string shortPath = ShortPath(copy);
    ASSERT_EQ(shortPath.find(' '), std::string::npos) << shortPath;

    ASSERT_EQ(Regsvr32(copy), DWORD{0});
    EXPECT_EQ(ClassesRootString(kClassKey + "\\InprocServer32"), shortPath);
    EXPECT_EQ(ClassesRootString(kClassKey + "\\ToolboxBitmap32"), shortPath + ",1");
}

TEST_F(Registration, WithoutALoadableTypeLibraryOnlyTheControlsOwnEntriesAreWritten)
{
    vl::test::TempFolder temp;
    const std::wstring copy = temp.File(L"NoLibrary.ocx");
    ASSERT_TRUE(::CopyFileW(vl::test::ModulePath().c_str(), copy.c_str(), FALSE));
    // A copy without resources: registration needs none but the type library.
    HANDLE update = ::BeginUpdateResourceW(copy.c_str(), TRUE);
    ASSERT_TRUE(update);
    ASSERT_TRUE(::EndUpdateResourceW(update, FALSE));

    vl::DeleteKeyTree(HKEY_CLASSES_ROOT, kClassKey);
    vl::DeleteKeyTree(HKEY_CLASSES_ROOT, kProgId);
    const auto exitCode = Regsvr32(copy);
    ASSERT_TRUE(exitCode);
    EXPECT_NE(*exitCode, 0u) << "the load failure is reported";

    EXPECT_FALSE(ClassesRootString(kClassKey));
    EXPECT_FALSE(ClassesRootKeyExists(kClassKey + "\\InprocServer32"));
    EXPECT_FALSE(ClassesRootKeyExists(kProgId));
    EXPECT_EQ(ClassesRootString(kClassKey + "\\MiscStatus\\1"), "131473");
    EXPECT_EQ(ClassesRootString(kClassKey + "\\ToolboxBitmap32"), vl::WideToAnsi(copy) + ",1");
    EXPECT_EQ(ClassesRootString(kClassKey + "\\Verb\\0"), "Properties,0,2");

    // Unregistering it removes nothing: it cannot tell what it registered.
    ASSERT_EQ(Regsvr32(copy, true), DWORD{0});
    EXPECT_TRUE(ClassesRootKeyExists(kClassKey + "\\MiscStatus"));
}

// The module marks itself as self-registering, and carries the toolbox bitmap that row 11
// points to.
TEST(ModuleResources, VersionInformationAndToolboxBitmap)
{
    const std::wstring path = vl::test::ModulePath();
    DWORD ignored = 0;
    std::vector<BYTE> info(::GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    // One version everywhere: the numbers, the texts and GetVersion's answer.
    EXPECT_EQ(vl::FormatVersionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS), VL_MODULE_VERSION_WTEXT);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                 &length));
    EXPECT_EQ(translation[0], 0x0404);
    EXPECT_EQ(translation[1], 950);

    const auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT characters = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040403B6\\") + name;
        if (!::VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &characters) || !value)
            return std::wstring(L"<none>");
        return std::wstring(value);
    };
    EXPECT_EQ(text(L"OleSelfRegister"), L"1");
    EXPECT_EQ(text(L"FileVersion"), VL_MODULE_VERSION_WTEXT);
    EXPECT_EQ(text(L"ProductVersion"), VL_MODULE_VERSION_WTEXT);
    EXPECT_EQ(text(L"CompanyName"), L"");
    EXPECT_EQ(text(L"ProductName"), L"");

    const std::string bitmap = vl::test::ModuleResource(path, MAKEINTRESOURCEW(1), RT_BITMAP);
    ASSERT_GE(bitmap.size(), sizeof(BITMAPINFOHEADER));
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bitmap.data());
    EXPECT_EQ(header->biWidth, 16);
    EXPECT_EQ(header->biHeight, 15);
    EXPECT_EQ(header->biBitCount, 4);
}

} // namespace
