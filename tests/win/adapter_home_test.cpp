// ctest: RESOURCE_LOCK product_state
// ctest-trust: test root
// What the control does with the product's registry key and its home folder: the key is
// made where the control first uses it, the first call let through makes the folders and
// registers the installed kernel, and a system without a documents folder gets no kernel
// at all.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "fixtures/adapter_fixture.h"
#include "support/product_registry.h"
#include "fixtures/redirected_documents.h"
#include "fixtures/step_log.h"
#include "fixtures/test_paths.h"

using namespace vl::test;

namespace {

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The registration run of the stand-in kernel leaves its own path under the product key.
std::wstring RegisteredKernel(DWORD waitMs)
{
    std::wstring value;
    PumpUntil([&] { return !(value = vl::ReadProductString(L"KernelRegistered")).empty(); }, waitMs);
    return value;
}

ULONG Initialize2(IVLServiceAdapterX* control, HRESULT* hr = nullptr)
{
    vl::UniqueBstr region{std::wstring_view(L"TW;Production")}, version{std::wstring_view(L"1.0.0.10")};
    ULONG result = 99;
    const HRESULT status = control->Initialize2(region.get(), version.get(), nullptr, 0, nullptr, &result);
    if (hr) *hr = status;
    return result;
}

// The shell reports no documents folder while this lives: its folder names a drive that
// does not exist. The current folder is a drive root that the test may write to.
class NoDocumentsFolder {
public:
    NoDocumentsFolder() : m_current(CurrentFolder()) { ::SetCurrentDirectoryW(L"C:\\"); }
    ~NoDocumentsFolder() { ::SetCurrentDirectoryW(m_current.c_str()); }
    NoDocumentsFolder(const NoDocumentsFolder&) = delete;
    NoDocumentsFolder& operator=(const NoDocumentsFolder&) = delete;

private:
    static std::wstring CurrentFolder()
    {
        wchar_t current[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, current);
        return current;
    }

    std::wstring m_current;
    RedirectedDocuments m_missing{L"Q:\\no such drive\\Documents"};
};

using HomeTest = AdapterTest;

TEST_F(HomeTest, TheProductKeyIsMadeWhereTheControlFirstUsesIt)
{
    auto deleteKey = [] {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, vl::kProductKeyPath);
        ::RegDeleteKeyW(HKEY_CURRENT_USER, vl::kProductKeyPath);
        return !ProductKeyExists();
    };
    RecordShellStarts(false);
    ASSERT_TRUE(deleteKey());
    ASSERT_TRUE(CreateControl());
    EXPECT_FALSE(ProductKeyExists()) << "control initialization";
    vl::UniqueBstr version;
    ASSERT_EQ(control->GetVersion(version.put()), S_OK);
    EXPECT_TRUE(ProductKeyExists()) << "the first call";

    ASSERT_TRUE(deleteKey());
    vl::UniqueBstr key{std::wstring_view(L"UpdateStatus")}, value;
    EXPECT_EQ(control->LoadData(key.get(), value.put()), S_OK);
    EXPECT_TRUE(ProductKeyExists()) << "LoadData(\"UpdateStatus\")";

    // No kernel and no page address: on major version 6 nothing is started.
    ASSERT_TRUE(deleteKey());
    EXPECT_EQ(Initialize2(control.get()), static_cast<ULONG>(VLS_FAIL));
    EXPECT_TRUE(ProductKeyExists()) << "Initialize2";
}

TEST_F(HomeTest, TheFirstCallMakesTheFolders)
{
    const std::wstring home = HomeFolder();
    ASSERT_TRUE(::RemoveDirectoryW(home.c_str()));
    ASSERT_TRUE(CreateControl());
    EXPECT_FALSE(Exists(home)) << "control initialization";
    vl::UniqueBstr version;
    ASSERT_EQ(control->GetVersion(version.put()), S_OK);
    EXPECT_TRUE(Exists(home));
    EXPECT_TRUE(Exists(home + L"\\Log"));
}

// A trusted local caller's first call runs the registration, before the call goes on;
// only a kernel that passes the publisher check is run.
TEST_F(HomeTest, TheFirstCallRegistersACheckedKernelOnce)
{
    const struct {
        const wchar_t* installed; // null for none
        bool registered;
        const char* failure; // what the log says failed
    } cases[] = {{L"signed/VLWidgetKernel.exe", true, nullptr},
                 {nullptr, false, "VLWidgetKernel.exe] is missing."},
                 {L"tools/kernel/VLWidgetKernel.exe", false, "kernel registration: the Torvane signature was failed."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.installed ? c.installed : L"no kernel");
        ResetProductState();
        if (c.installed) {
            ASSERT_TRUE(InstallIntoHome(c.installed, L"VLWidgetKernel.exe"));
        }
        const StepLog log;
        ASSERT_TRUE(CreateControl());
        EXPECT_EQ(log.Count("kernel registration:"), 0u) << "nothing at creation";
        vl::UniqueBstr version;
        ASSERT_EQ(control->GetVersion(version.put()), S_OK);
        ASSERT_EQ(control->GetVersion(version.put()), S_OK);
        EXPECT_EQ(log.Count("kernel registration: startup widget kernel."), c.registered ? 1u : 0u) << log.Text();
        if (c.failure) {
            EXPECT_EQ(log.Count(c.failure), 1u) << log.Text();
        }
        // Started by its resolved name.
        EXPECT_EQ(RegisteredKernel(c.registered ? 10000 : 0),
                  c.registered ? ResolvedHomeFolder() + L"\\VLWidgetKernel.exe" : L"");
        control.reset();
        EndRunningKernels();
    }
}

TEST_F(HomeTest, WithoutADocumentsFolderThereIsNoKernel)
{
    // Where a control without a home would look: the root of the current drive.
    const std::wstring rootKernel = L"C:\\VLWidgetKernel.exe";
    ASSERT_TRUE(::CopyFileW(BuildFile(L"signed/VLWidgetKernel.exe").c_str(), rootKernel.c_str(), FALSE));
    RecordShellStarts(false);
    HRESULT hr = S_OK;
    ULONG result = 99;
    {
        NoDocumentsFolder noDocuments;
        wchar_t documents[MAX_PATH] = {};
        ASSERT_FALSE(::SHGetSpecialFolderPathW(nullptr, documents, CSIDL_PERSONAL, TRUE))
            << "the shell still knows a documents folder";
        ASSERT_TRUE(CreateControl());
        result = Initialize2(control.get(), &hr);
        control.reset();
    }
    EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
    EXPECT_EQ(hr, S_FALSE);
    EXPECT_TRUE(RecordedStarts().empty());
    EXPECT_EQ(RegisteredKernel(2000), L"");
    EXPECT_FALSE(Exists(L"C:\\Log"));
    ::DeleteFileW(rootKernel.c_str());
    ::RemoveDirectoryW(L"C:\\Log");
}

} // namespace
