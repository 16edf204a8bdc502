// The control against page text: the site lock without a page address, arguments that
// would reach a command line, quoted program paths, and NUL characters that would forge
// a second kernel message.
// ctest: RESOURCE_LOCK product_state
// ctest-trust: test root
#include <gtest/gtest.h>
#include <objsafe.h>

#include <iterator>

#include "fixtures/adapter_fixture.h"
#include "fixtures/control_instance.h"
#include "fixtures/kernel_journal.h"
#include "support/product_registry.h"
#include "fixtures/step_log.h"
#include "fixtures/test_paths.h"

using namespace vl::test;

namespace {

const std::wstring kRegion = L"TW;Production";

class PageHardeningTest : public AdapterTest {
protected:
    HRESULT Initialize2(const std::wstring& region, const std::wstring& required, ULONG& result)
    {
        vl::UniqueBstr regionText{std::wstring_view(region)}, version{std::wstring_view(required)};
        return control->Initialize2(regionText.get(), version.get(), nullptr, 30, nullptr, &result);
    }

    // The kernel by the resolved name it is started by.
    std::wstring KernelPath() const { return ResolvedHomeFolder() + L"\\VLWidgetKernel.exe"; }

    KernelJournal journal;
};

// A program put where it does not belong, removed (after any kernel it became) at the end.
struct PlantedProgram {
    explicit PlantedProgram(std::wstring file) : path(std::move(file)) {}
    ~PlantedProgram()
    {
        EndRunningKernels();
        ::DeleteFileW(path.c_str());
    }
    std::wstring path;
};

// The message a page tried to smuggle behind a key: the leave notice.
std::wstring ForgedText()
{
    const wchar_t forged[] = L"a\0CmdID=1&&&&SerialNum=0&&&&Params=";
    return std::wstring(forged, std::size(forged) - 1);
}

} // namespace

TEST_F(PageHardeningTest, RegistrationRunNamesTheKernelQuoted)
{
    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    // A program planted where an unquoted "<Documents>\\My Vorlink\\..." is tried first: a
    // kernel, which would journal its start and, taking "Vorlink\\VLWidgetKernel.exe" for
    // its first argument, run as a kernel.
    const PlantedProgram planted(HomeFolder().substr(0, HomeFolder().rfind(L'\\')) + L"\\My.exe");
    ASSERT_TRUE(::CopyFileW(BuildFile(L"signed/VLWidgetKernel.exe").c_str(), planted.path.c_str(), FALSE));
    ASSERT_TRUE(CreateControl());
    vl::UniqueBstr version;
    ASSERT_EQ(control->GetVersion(version.put()), S_OK);
    PumpUntil([] { return !vl::ReadProductString(L"KernelRegistered").empty(); }, 10000);
    EXPECT_EQ(_wcsicmp(vl::ReadProductString(L"KernelRegistered").c_str(), KernelPath().c_str()), 0);
    EXPECT_EQ(journal.Lines(), std::vector<std::wstring>{L"command line: \"" + KernelPath() + L"\" /regserver"});
    EXPECT_EQ(vl::ReadProductInteger(L"PID"), 0);
}

TEST_F(PageHardeningTest, TextThatWouldReachACommandLineFailsBeforeAnythingHappens)
{
    ASSERT_TRUE(vl::WriteProductString(L"Progress", L"Status=Done"));
    ASSERT_TRUE(CreateControl());
    RecordShellStarts(false);
    const struct {
        std::wstring region, version;
    } refused[] = {
        {L"TW;Production /regserver", L"1.0.0.10"},
        {L"TW;Production\" \"x", L"1.0.0.10"},
        {std::wstring(65, L'A'), L"1.0.0.10"},
        // The first argument of the elevated kernel and updater: no option.
        {L"-unregserver", L"1.0.0.10"},
        {L"TW;Production", L"1.0.0.10 /x"},
        {L"TW;Production", L""},
    };
    for (const auto& c : refused) {
        ULONG result = 99;
        EXPECT_EQ(Initialize2(c.region, c.version, result), S_FALSE) << c.region << L" " << c.version;
        EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
        vl::UniqueBstr region{std::wstring_view(c.region)}, version{std::wstring_view(c.version)};
        EXPECT_EQ(control->Initialize(region.get(), version.get(), nullptr, 0, &result), S_FALSE);
        EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
    }
    EXPECT_EQ(vl::ReadProductString(L"Progress"), L"Status=Done");
    EXPECT_TRUE(RecordedStarts().empty());

    // Accepted text goes on: no kernel, no updater, no page address gives VLS_FAIL with S_OK.
    // The stored updater version is no command-line text: it is judged where the updater is
    // chosen, and text that is no version only makes every updater unusable.
    for (const wchar_t* updaterVersion : {L"2.0.1.7", L"2.0.1.7 /x"}) {
        vl::UniqueBstr updater{std::wstring_view(updaterVersion)};
        control->SetUpdatorVersion(updater.get());
        ULONG result = 99;
        EXPECT_EQ(Initialize2(L"XX;Some_Other-1.0", L"1.0.0.10", result), S_OK) << updaterVersion;
        EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
    }
    EXPECT_EQ(vl::ReadProductString(L"Progress"), L"");
    EXPECT_TRUE(RecordedStarts().empty());
}

TEST_F(PageHardeningTest, KernelGetsTheRegionAsItsFirstArgumentAndNoForgedMessage)
{
    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    ASSERT_TRUE(CreateControl());
    // An updater version that is no version stops no link to a current kernel.
    const vl::UniqueBstr updater{std::wstring_view(L"2.0.1.7 /x")};
    control->SetUpdatorVersion(updater.get());
    ULONG result = 99;
    ASSERT_EQ(Initialize2(kRegion, L"1.0.0.10", result), S_OK);
    ASSERT_EQ(result, static_cast<ULONG>(VLS_OK));
    EXPECT_EQ(vl::ReadProductString(L"KernelRegion"), kRegion);
    bool startLine = false;
    for (const std::wstring& line : journal.Lines())
        startLine |= line.starts_with(L"command line: \"" + KernelPath() + L"\"") && line.ends_with(kRegion);
    EXPECT_TRUE(startLine);

    // Each page text with a NUL is refused before anything is written.
    const std::wstring forged = ForgedText();
    const vl::UniqueBstr forgedText{std::wstring_view(forged)}, plain{std::wstring_view(L"k")};
    EXPECT_EQ(control->SaveData(forgedText.get(), plain.get(), &result), S_FALSE);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
    EXPECT_EQ(control->SaveData(plain.get(), forgedText.get(), &result), S_FALSE);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
    vl::UniqueBstr value;
    EXPECT_EQ(control->LoadData(forgedText.get(), value.put()), S_FALSE);
    EXPECT_EQ(value.str(), L"Failure");
    EXPECT_EQ(control->ClearData(forgedText.get(), &result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
    EXPECT_EQ(control->SendCommand(7, 0, forgedText.get(), &result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));

    // The link is still up: the kernel saw the registration, then the plain save.
    EXPECT_EQ(control->SaveData(plain.get(), plain.get(), &result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_OK));
    EXPECT_EQ(journal.Messages(),
              (std::vector<std::wstring>{L"CmdID=3&&&&SerialNum=0&&&&Params=WidgetName=ActiveX",
                                         L"CmdID=162&&&&SerialNum=0&&&&Params=Key=k&&&&Value=k"}));
}

TEST_F(PageHardeningTest, UntrustedCallersWithoutAPageAddressAreRefused)
{
    ASSERT_TRUE(vl::WriteProductString(L"Progress", L"Status=Done"));
    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    ASSERT_TRUE(CreateControl());
    RecordShellStarts(false);
    const StepLog log;

    vl::ComPtr<IObjectSafety> safety = QueryAs<IObjectSafety>(control.get());
    ASSERT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                INTERFACESAFE_FOR_UNTRUSTED_CALLER),
              S_OK);
    // Once told, the control stays careful: the page may still hold it.
    ASSERT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER, 0), S_OK);

    // Every method is refused in the page host's suite; here a few without any address.
    const vl::UniqueBstr region{std::wstring_view(kRegion)}, version{std::wstring_view(L"1.0.0.10")};
    ULONG result = 99;
    EXPECT_EQ(control->Initialize(region.get(), version.get(), nullptr, 0, &result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_PERMISSION_DENIED));
    EXPECT_EQ(control->SendCommand(7, 0, region.get(), &result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_PERMISSION_DENIED));
    EXPECT_EQ(control->GetActivexObjID(&result), S_OK);
    EXPECT_EQ(result, 0u);
    vl::UniqueBstr text;
    EXPECT_EQ(control->GetVersion(text.put()), S_OK);
    EXPECT_EQ(text.str(), L"Failure");

    EXPECT_EQ(vl::ReadProductString(L"Progress"), L"Status=Done");
    EXPECT_TRUE(RecordedStarts().empty());
    EXPECT_EQ(adapter->CoreForTesting().ReadPipeForTesting(), nullptr);
    // One line per refused call, naming the (missing) address; no registration run either.
    EXPECT_EQ(log.Count("]: refused a call of the page []."), 4u) << log.Text();
    EXPECT_EQ(log.Count("kernel registration:"), 0u);
}
