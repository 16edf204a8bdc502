// Pages of every kind of site in pagehost.exe, hosted as a browser hosts a web page (the
// control told that untrusted callers script it) or without the safety option: the
// portal's pages may use every method, any other page nothing. The kernel's journal, its
// store and the registry show what happened. Then the control in this process, sited as
// a browser sites it, also as an object that page script created.
// ctest: RESOURCE_LOCK product_state
// ctest: RESOURCE_LOCK com_registration
// ctest-trust: test root
// ctest-link: pagehost_objects
// ctest: TIMEOUT 300
#include <gtest/gtest.h>
#include <windows.h>
#include <docobj.h>
#include <objsafe.h>
#include <servprov.h>

#include <string>

#include "../portable/page_addresses.h"
#include "com_new.h"
#include "com_server/service_adapter_control.h" // IObjectSafety
#include "page_document.h"
#include "fixtures/com_module.h"
#include "fixtures/control_instance.h"
#include "fixtures/kernel_journal.h"
#include "fixtures/page_run.h"
#include "support/product_registry.h"
#include "fixtures/product_state.h"
#include "fixtures/test_paths.h"

using namespace vl::test;

namespace {

const char kAllowedAnswers[] = "SetUpdatorVersion undefined\n"
                               "Initialize2 1\n" // the region value is refused, not the page
                               "Initialize 0\n"
                               "SaveData 0\n"
                               "LoadData value\n"
                               "UpdateStatus Status=Waiting\n"
                               "ClearData 0\n"
                               "CheckRegionInfo 0\n"
                               "SendCommand 0\n"
                               "GetActivexObjID true\n"
                               "GetVersion 1.1.31.362\n"
                               "Uninitialize undefined\n";

const char kDeniedAnswers[] = "SetUpdatorVersion undefined\n"
                              "Initialize2 9\n"
                              "Initialize 9\n"
                              "SaveData 9\n"
                              "LoadData Failure\n"
                              "UpdateStatus Failure\n"
                              "ClearData 9\n"
                              "CheckRegionInfo 9\n"
                              "SendCommand 9\n"
                              "GetActivexObjID false\n"
                              "GetVersion Failure\n"
                              "Uninitialize undefined\n";

class HostilePageTest : public ::testing::TestWithParam<PageAddressCase> {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(Regsvr32(ModulePath()), DWORD{0}); }

    void SetUp() override
    {
        ResetProductState();
        ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
        ASSERT_TRUE(vl::WriteProductString(L"Progress", L"Status=Done"));
    }

    void TearDown() override { ResetProductState(); }

    // pagehost.exe on the page `address`, its output.
    std::string RunPage(const std::wstring& address, bool untrustedCaller)
    {
        std::wstring arguments = L"--url " + Quoted(address) + L" --script " + Quoted(BuildFile(L"pages/every_method.js"));
        if (untrustedCaller) arguments += L" --caller untrusted";
        const PageRun run = RunPageHost(arguments);
        EXPECT_EQ(run.exitCode, DWORD{0}) << run.output;
        return run.output;
    }

    // Whether a kernel started as a page's kernel; the registration run does not count.
    bool KernelStarted() const
    {
        for (const std::wstring& line : journal.Lines())
            if (line.starts_with(L"command line:") && !line.ends_with(L"/regserver")) return true;
        return false;
    }

    // How often the kernel ran for its registration.
    std::size_t RegistrationRuns() const
    {
        std::size_t runs = 0;
        for (const std::wstring& line : journal.Lines()) runs += line.ends_with(L"/regserver");
        return runs;
    }

    KernelJournal journal;
};

} // namespace

TEST_P(HostilePageTest, PortalPagesUseEveryMethodOtherPagesNone)
{
    const PageAddressCase& page = GetParam();
    const std::string output = RunPage(page.address, true);
    if (page.portal) {
        EXPECT_EQ(output, kAllowedAnswers);
        EXPECT_TRUE(KernelStarted());
        // Once, at the first call.
        EXPECT_EQ(RegistrationRuns(), 1u);
        EXPECT_FALSE(journal.Messages().empty());
        return;
    }
    EXPECT_EQ(output, kDeniedAnswers);
    // Nothing started, not even the registration, nothing sent, nothing stored or deleted.
    EXPECT_TRUE(journal.Lines().empty());
    EXPECT_TRUE(journal.Messages().empty());
    EXPECT_EQ(vl::ReadProductString(L"Progress"), L"Status=Done");
    EXPECT_EQ(vl::ReadProductString(L"KernelRegion"), L"");
    EXPECT_EQ(::GetFileAttributesW((HomeFolder() + L"\\KernelStore.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

INSTANTIATE_TEST_SUITE_P(Pages, HostilePageTest, ::testing::ValuesIn(kSampledPages));

// A container that shows a page but never sets the safety option (an embedded browser
// whose zone allows every control) gets the same lock.
TEST_F(HostilePageTest, APageWithoutTheSafetyOptionIsLockedAllTheSame)
{
    EXPECT_EQ(RunPage(L"http://www.vorlink.com.evil.example/", false), kDeniedAnswers);
    EXPECT_FALSE(KernelStarted());
    EXPECT_EQ(RunPage(L"http://tw.vorlink.com/games/", false), kAllowedAnswers);
    EXPECT_TRUE(KernelStarted());
    EXPECT_EQ(RegistrationRuns(), 1u);
}

namespace {

// The site a browser gives the control: for an object that page script created, a site
// (IObjectWithSite) that offers the page's document as its container's dispatch
// (IServiceProvider), or answers as a client site whose container is the document; for an
// embedded control, that client site.
class PageSite final : public vl::ComObjectImpl<PageSite, IOleClientSite, IServiceProvider> {
public:
    using Interfaces = vl::InterfaceList<vl::Interface<IOleClientSite>, vl::Interface<IServiceProvider>>;

    // `address` null: a site outside any HTML document.
    PageSite(const wchar_t* address, bool services) : m_services(services)
    {
        if (!address) return;
        const auto document = vl::pagehost::NewComObject<vl::pagehost::PageDocument>(address);
        m_document = vl::ComPtr<IOleContainer>(document.get());
    }
    IUnknown* Identity() { return static_cast<IOleClientSite*>(this); }

    // A browser's site answers one way or the other.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (::IsEqualIID(iid, m_services ? IID_IOleClientSite : IID_IServiceProvider)) return E_NOINTERFACE;
        return ComObjectImpl::QueryInterface(iid, out);
    }
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override
    {
        *out = nullptr;
        if (!::IsEqualGUID(service, SID_SContainerDispatch) || !m_document) return E_NOINTERFACE;
        return m_document->QueryInterface(iid, out);
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override
    {
        *container = nullptr;
        return m_document ? m_document.CopyTo(container) : E_NOINTERFACE;
    }
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override
    {
        *moniker = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

private:
    vl::ComPtr<IOleContainer> m_document;
    bool m_services;
};

// How the container sites the control.
enum class Siting {
    None,          // not at all (a script host)
    ClientSite,    // embedded: IOleObject::SetClientSite
    ServicesSite,  // created by page script: IObjectWithSite::SetSite, a service provider
    ContainerSite, // the same with a site that answers only as a client site
};

// The references held on `object` besides the caller's own.
ULONG ReferencesOf(IUnknown* object)
{
    object->AddRef();
    return object->Release() - 1;
}

// The control created by its class, as a browser creates it, and told, when asked, that
// untrusted callers script it.
vl::ComPtr<IUnknown> CreateObject(bool safetyOption)
{
    vl::ComPtr<IUnknown> object;
    EXPECT_EQ(::CoCreateInstance(CLSID_VLServiceAdapterX, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                 object.put_void()),
              S_OK);
    if (object && safetyOption) {
        EXPECT_EQ(QueryAs<IObjectSafety>(object.get())
                      ->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                  INTERFACESAFE_FOR_UNTRUSTED_CALLER),
                  S_OK);
    }
    return object;
}

std::wstring Version(IUnknown* object)
{
    vl::UniqueBstr version;
    EXPECT_EQ(QueryAs<IVLServiceAdapterX>(object)->GetVersion(version.put()), S_OK);
    return version.str();
}

class BrowserContainerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(Regsvr32(ModulePath()), DWORD{0}); }
    void TearDown() override { ResetProductState(); }
};

} // namespace

TEST_F(BrowserContainerTest, OnlyThePortalsPagesScriptTheControlHoweverItIsSited)
{
    const wchar_t* portal = L"http://tw.vorlink.com/games/";
    const wchar_t* foreign = L"http://evil.example/games/";
    const wchar_t* development = L"http://dev.tw.vorlink.net/games/";
    const struct {
        const wchar_t* page; // null: no HTML document
        Siting siting;
        bool safetyOption;
        bool developmentMode;
        bool allowed;
    } cases[] = {
        // Trusted local hosts: no document and no safety option.
        {nullptr, Siting::None, false, false, true},
        {nullptr, Siting::ServicesSite, false, false, true},
        {nullptr, Siting::ClientSite, false, false, true},
        // Told that untrusted callers script it, without a page: no portal page.
        {nullptr, Siting::None, true, false, false},
        {nullptr, Siting::ServicesSite, true, false, false},
        // Objects that page script created get their page from either kind of site.
        {portal, Siting::ServicesSite, true, false, true},
        {portal, Siting::ContainerSite, true, false, true},
        {foreign, Siting::ServicesSite, true, false, false},
        {foreign, Siting::ContainerSite, true, false, false},
        // A page locks the control with or without the safety option.
        {portal, Siting::ClientSite, false, false, true},
        {foreign, Siting::ClientSite, false, false, false},
        {foreign, Siting::ServicesSite, false, false, false},
        {L"http://anything.vorlink.com/", Siting::ClientSite, true, false, false},
        // Development sites in development mode only.
        {development, Siting::ServicesSite, true, false, false},
        {development, Siting::ServicesSite, true, true, true},
        {development, Siting::ClientSite, false, true, true},
        {foreign, Siting::ServicesSite, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.page ? c.page : L"no document") << " siting "
                                          << static_cast<int>(c.siting) << " safety " << c.safetyOption
                                          << " development " << c.developmentMode);
        ResetProductState();
        if (c.developmentMode) {
            ASSERT_TRUE(SetDevelopmentMode());
        }
        // As a browser does: the safety option first, then the site.
        const vl::ComPtr<IUnknown> object = CreateObject(c.safetyOption);
        ASSERT_TRUE(object);
        const auto site = vl::pagehost::NewComObject<PageSite>(c.page, c.siting == Siting::ServicesSite);
        if (c.siting == Siting::ClientSite) {
            EXPECT_EQ(QueryAs<IOleObject>(object.get())->SetClientSite(site.get()), S_OK);
        } else if (c.siting != Siting::None) {
            EXPECT_EQ(QueryAs<IObjectWithSite>(object.get())->SetSite(site->Identity()), S_OK);
        }

        EXPECT_EQ(Version(object.get()), c.allowed ? L"1.1.31.362" : L"Failure");
        vl::UniqueBstr key{std::wstring_view(L"UpdateStatus")}, status;
        EXPECT_EQ(QueryAs<IVLServiceAdapterX>(object.get())->LoadData(key.get(), status.put()), S_OK);
        EXPECT_EQ(status.str(), c.allowed ? L"Status=Waiting" : L"Failure");
    }
}

TEST_F(BrowserContainerTest, TheObjectsSiteIsHeldUntilItIsTakenAwayOrTheObjectEnds)
{
    const auto site = vl::pagehost::NewComObject<PageSite>(L"http://tw.vorlink.com/", true);
    vl::ComPtr<IUnknown> object = CreateObject(true);
    ASSERT_TRUE(object);
    auto withSite = QueryAs<IObjectWithSite>(object.get());
    vl::ComPtr<IServiceProvider> given;
    EXPECT_EQ(withSite->GetSite(IID_IServiceProvider, given.put_void()), E_FAIL);
    EXPECT_EQ(withSite->SetSite(site->Identity()), S_OK);
    EXPECT_EQ(withSite->GetSite(IID_IServiceProvider, given.put_void()), S_OK);
    EXPECT_EQ(given.get(), static_cast<IServiceProvider*>(site.get()));
    given.reset();
    EXPECT_EQ(Version(object.get()), L"1.1.31.362");

    // Taken away, the page goes with it.
    EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
    EXPECT_EQ(ReferencesOf(site->Identity()), 0u);
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, given.put_void()), E_FAIL);
    EXPECT_EQ(Version(object.get()), L"Failure");

    // The last release lets go of a site still set.
    EXPECT_EQ(withSite->SetSite(site->Identity()), S_OK);
    EXPECT_EQ(ReferencesOf(site->Identity()), 1u);
    withSite.reset();
    object.reset();
    EXPECT_EQ(ReferencesOf(site->Identity()), 0u);
}
