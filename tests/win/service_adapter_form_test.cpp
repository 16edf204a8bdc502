// The control's form on real windows: built from the module's definition, its window and
// events, its timer, and the record that persistence saves and loads.
#include "com_server/service_adapter_form.h"

#include "com_server/Vlserviceadapter_tlb.h"
#include "fixtures/event_source.h"
#include "fixtures/product_state.h"
#include "fixtures/test_paths.h"
#include "support/win_handles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

vl::ComponentRecord FormRecord(std::vector<vl::PropertyEntry> entries, std::string className = "TVLServiceAdapterX")
{
    vl::ComponentRecord record;
    record.className = std::move(className);
    record.name = "VLServiceAdapterX";
    record.properties = std::move(entries);
    return record;
}

class FormTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_module = new vl::UniqueModule(::LoadLibraryExW(vl::test::BuildFile(L"VLServiceAdapter.ocx").c_str(),
                                                         nullptr, LOAD_LIBRARY_AS_DATAFILE));
        s_page = new vl::UniqueWindow(::CreateWindowExW(0, L"STATIC", L"page", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                                        0, 500, 400, nullptr, nullptr, nullptr, nullptr));
    }
    static void TearDownTestSuite()
    {
        delete s_module;
        s_module = nullptr;
        delete s_page;
        s_page = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(*s_module) << "the built module is needed for its form definition";
        form = NewForm();
        ASSERT_TRUE(form);
    }

    static std::unique_ptr<TVLServiceAdapterX> NewForm()
    {
        std::wstring error;
        auto made = TVLServiceAdapterX::Create(s_module->get(), error);
        EXPECT_TRUE(made) << std::string(error.begin(), error.end());
        return made;
    }

    // A window standing in for the container's, inside a page window shared by the tests
    // (destroying a shown top-level window takes Wine seconds).
    static vl::UniqueWindow ContainerWindow()
    {
        return vl::UniqueWindow(::CreateWindowExW(0, L"STATIC", L"container", WS_CHILD | WS_VISIBLE, 0, 0, 400, 300,
                                                  s_page->get(), nullptr, nullptr, nullptr));
    }

    static vl::UniqueModule* s_module;
    static vl::UniqueWindow* s_page;
    std::unique_ptr<TVLServiceAdapterX> form;
};

vl::UniqueModule* FormTest::s_module = nullptr;
vl::UniqueWindow* FormTest::s_page = nullptr;

TEST_F(FormTest, HasTheDefinitionsValuesAfterCreation)
{
    EXPECT_EQ(form->Left(), 0);
    EXPECT_EQ(form->Top(), 0);
    EXPECT_EQ(form->Width(), 150);
    EXPECT_EQ(form->Height(), 86);
    EXPECT_EQ(form->Caption(), "VLServiceAdapterX");
    EXPECT_EQ(form->Color(), 0x8000000Fu);
    EXPECT_EQ(form->Font().name, "Tahoma");
    EXPECT_EQ(form->Font().height, -11);
    EXPECT_EQ(form->Font().charset, DEFAULT_CHARSET);
    EXPECT_EQ(form->Font().color, static_cast<std::int32_t>(0x80000008u));
    EXPECT_EQ(form->Font().style, 0);
    EXPECT_EQ(form->FontSize(), 8);
    EXPECT_FALSE(form->OldCreateOrder());
    EXPECT_EQ(form->PixelsPerInch(), 96);
    EXPECT_EQ(form->TextHeight(), 13);
    EXPECT_FALSE(form->Visible());
    EXPECT_TRUE(form->Enabled());
    EXPECT_EQ(form->m_nWorkCount, 0);
    EXPECT_EQ(form->m_PatchHttp.Settings().userAgent, L"Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(form->m_PatchHttp.Settings().accept, L"text/html, */*");
    EXPECT_TRUE(form->m_PatchHttp.Settings().allowCookies);

    // The window shows the same.
    HWND window = form->Window();
    ASSERT_TRUE(::IsWindow(window));
    char text[64] = {};
    ::GetWindowTextA(window, text, sizeof(text));
    EXPECT_STREQ(text, "VLServiceAdapterX");
    RECT bounds{};
    ::GetWindowRect(window, &bounds);
    EXPECT_EQ(bounds.right - bounds.left, 150);
    EXPECT_EQ(bounds.bottom - bounds.top, 86);
    EXPECT_FALSE(::IsWindowVisible(window));
    HWND parking = ::GetParent(window);
    ASSERT_NE(parking, nullptr);
    EXPECT_FALSE(::IsWindowVisible(parking));
    LOGFONTA font{};
    ASSERT_TRUE(::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(window, WM_GETFONT, 0, 0)), sizeof(font), &font));
    EXPECT_STREQ(font.lfFaceName, "Tahoma");
    EXPECT_EQ(font.lfHeight, -11);
    // The background is painted in the button-face colour.
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 150, 86);
    ::SelectObject(memory, bitmap);
    ::SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
    EXPECT_EQ(::GetPixel(memory, 10, 10), ::GetSysColor(COLOR_BTNFACE));
    ::DeleteDC(memory);
    ::DeleteObject(bitmap);
    ::ReleaseDC(nullptr, screen);
}

TEST_F(FormTest, MovesIntoTheContainersWindowAndBack)
{
    auto container = ContainerWindow();
    HWND window = form->Window();
    HWND parking = ::GetParent(window);
    form->SetParentWindow(container.get());
    form->SetBounds({10, 20, 210, 120});
    form->SetVisible(true);
    EXPECT_EQ(::GetParent(window), container.get());
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_FALSE(::IsWindow(parking)) << "an empty parking window goes away";
    RECT bounds{};
    ::GetWindowRect(window, &bounds);
    ::MapWindowPoints(nullptr, container.get(), reinterpret_cast<POINT*>(&bounds), 2);
    EXPECT_EQ(bounds.left, 10);
    EXPECT_EQ(bounds.top, 20);
    EXPECT_EQ(form->Width(), 200);
    EXPECT_EQ(form->ExplicitHeight(), 100);

    form->SetParentWindow(nullptr);
    EXPECT_NE(::GetParent(window), container.get());
    EXPECT_FALSE(::IsWindowVisible(window));

    // A container destroyed with the form inside takes the window; the form makes another.
    form->SetParentWindow(container.get());
    container.reset();
    EXPECT_FALSE(::IsWindow(window));
    HWND again = form->Window();
    ASSERT_TRUE(::IsWindow(again));
    char text[64] = {};
    ::GetWindowTextA(again, text, sizeof(text));
    EXPECT_STREQ(text, "VLServiceAdapterX");
}

class RelayTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        vl::ComPtr<IConnectionPoint> point;
        ASSERT_EQ(control->FindConnectionPoint(DIID_IVLServiceAdapterXEvents, point.put()), S_OK);
        DWORD cookie = 0;
        ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
        // The page's key handler: notes what it got and may answer another key.
        sink->action = [this](DISPPARAMS* params, EXCEPINFO*) {
            if (params->cArgs == 1 && params->rgvarg[0].vt == (VT_BYREF | VT_I2)) {
                keySeen = *params->rgvarg[0].piVal;
                if (newKey) *params->rgvarg[0].piVal = *newKey;
            }
            return S_OK;
        };
        vl::RelayFormEvents(*form, *control.get());
        // What the form does with the character after its event.
        auto relay = form->OnKeyPress;
        form->OnKeyPress = [this, relay](char& key) {
            relay(key);
            formKey = key;
        };
    }
    // The relay refers to the control: the form goes first.
    void TearDown() override { form.reset(); }

    // A typed character arriving the way the keyboard delivers it.
    void Type(unsigned char character)
    {
        ::PostMessageA(form->Window(), WM_CHAR, character, 1);
        vl::test::PumpMessages(20);
    }

    std::vector<DISPID> Events() const
    {
        std::vector<DISPID> events;
        for (const auto& call : log) events.push_back(call.dispid);
        return events;
    }

    std::vector<vl::test::SinkCall> log;
    vl::ComPtr<vl::test::TestEventSource> control{new vl::test::TestEventSource};
    vl::ComPtr<vl::test::ScriptedSink> sink{new vl::test::ScriptedSink(1, log)};
    short keySeen = 0;
    std::optional<short> newKey;
    std::optional<char> formKey;
};

TEST_F(RelayTest, KeyPressReachesThePageSignExtendedAndTheLowByteComesBack)
{
    Type('a');
    EXPECT_EQ(keySeen, 'a');
    EXPECT_EQ(formKey, 'a');

    newKey = 65;
    Type('x');
    EXPECT_EQ(formKey, 'A');

    newKey = 321;
    Type('x');
    EXPECT_EQ(formKey, 'A') << "only the low 8 bits count";

    newKey.reset();
    Type(200);
    EXPECT_EQ(keySeen, -56);
    EXPECT_EQ(static_cast<unsigned char>(*formKey), 200);
}

TEST_F(RelayTest, WindowMessagesRaiseTheFormsEventsOnThePage)
{
    using namespace vl::event_dispid;
    auto container = ContainerWindow();
    form->SetParentWindow(container.get());
    form->SetVisible(true);
    HWND window = form->Window();

    ::SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ::SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ::SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(6, 6));
    EXPECT_TRUE(form->MouseInClient());
    ::SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(7, 7));
    ::SendMessageA(window, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(form->MouseInClient());
    ::SetFocus(container.get());
    EXPECT_FALSE(form->Active());

    // The click gave the form the focus; taking it away deactivated it.
    std::vector<DISPID> seen;
    for (DISPID id : Events())
        if (id != OnPaint) seen.push_back(id);
    EXPECT_EQ(seen, (std::vector<DISPID>{OnActivate, OnClick, OnDblClick, OnMouseEnter, OnMouseLeave,
                                         OnDeactivate}));

    log.clear();
    ::InvalidateRect(window, nullptr, TRUE);
    ::UpdateWindow(window);
    EXPECT_EQ(Events(), std::vector<DISPID>{OnPaint});

    // The destruction is raised too.
    log.clear();
    form.reset();
    EXPECT_EQ(Events(), std::vector<DISPID>{OnDestroy});
}

TEST_F(FormTest, AHookThatThrowsDoesNotLeaveTheWindowProcedure)
{
    int clicks = 0;
    form->OnClick = [&] {
        ++clicks;
        throw std::runtime_error("page handler failed");
    };
    HWND window = form->Window();
    for (int i = 0; i < 2; ++i) {
        ::SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        ::SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    }
    EXPECT_EQ(clicks, 2);
}

TEST_F(FormTest, SavedRecordLoadsBackToTheSameValues)
{
    const vl::ComponentRecord untouched = form->SaveRecord();
    EXPECT_EQ(untouched.className, "TVLServiceAdapterX");
    EXPECT_EQ(untouched.name, "VLServiceAdapterX");
    EXPECT_TRUE(untouched.properties.empty()) << "nothing differs from the definition";
    EXPECT_TRUE(untouched.children.empty());

    form->SetCaption("Changed \xE9");
    form->SetColor(0x00336699);
    vl::FontAttributes font = form->Font();
    font.name = "Arial";
    font.height = -15;
    font.style = vl::kFontBold | vl::kFontUnderline;
    font.charset = 136;
    form->SetFont(font);
    form->SetBounds({3, 4, 303, 204});
    form->SetAxBorderStyle(afbSunken);
    form->SetEnabled(false);
    form->SetVisible(true);
    const auto bytes = vl::WriteComponentStream(form->SaveRecord());
    ASSERT_TRUE(bytes) << bytes.Error().Text();
    const auto parsed = vl::ReadComponentStream(*bytes);
    ASSERT_TRUE(parsed) << parsed.Error().Text();
    EXPECT_TRUE(parsed->root.children.empty());

    auto other = NewForm();
    ASSERT_TRUE(other);
    const auto problem = other->LoadProperties(parsed->root);
    ASSERT_FALSE(problem) << std::string(problem->begin(), problem->end());
    EXPECT_EQ(other->Properties(), form->Properties());
    // The window follows what was loaded.
    HWND window = other->Window();
    char text[64] = {};
    ::GetWindowTextA(window, text, sizeof(text));
    EXPECT_STREQ(text, "Changed \xE9");
    EXPECT_FALSE(::IsWindowEnabled(window));
    EXPECT_TRUE(::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(::GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE);
    LOGFONTA loaded{};
    ASSERT_TRUE(::GetObjectA(other->FontHandle(), sizeof(loaded), &loaded));
    EXPECT_STREQ(loaded.lfFaceName, "Arial");
    EXPECT_EQ(loaded.lfWeight, FW_BOLD);
    EXPECT_TRUE(loaded.lfUnderline);
}

TEST_F(FormTest, MalformedRecordsAreRefusedAndChangeNothing)
{
    const vl::FormProperties before = form->Properties();
    const auto caption = vl::PropertyEntry{"Caption", vl::PropertyValue::String("first")};

    auto problem = form->LoadProperties(FormRecord({caption, {"Color", vl::PropertyValue::Identifier("clBogus")}}));
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find(L"Color"), std::wstring::npos);

    problem = form->LoadProperties(FormRecord({caption, {"Width", vl::PropertyValue::String("wide")}}));
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find(L"Width"), std::wstring::npos);

    auto withChild = FormRecord({caption, {"Visible", vl::PropertyValue::Integer(1)}});
    withChild.children.push_back(FormRecord({}, "TTimer"));
    EXPECT_TRUE(form->LoadProperties(withChild));

    EXPECT_EQ(form->Properties(), before);
    char text[64] = {};
    ::GetWindowTextA(form->Window(), text, sizeof(text));
    EXPECT_STREQ(text, "VLServiceAdapterX");
}

TEST_F(FormTest, FollowsTheContainersColourAndFontOnlyWhenToldTo)
{
    vl::FontAttributes ambient;
    ambient.name = "Verdana";
    ambient.height = -13;
    form->SetParentColor(0x00FFFFFF);
    form->SetParentFont(ambient);
    EXPECT_EQ(form->Color(), 0x8000000Fu) << "the definition gives the form a colour of its own";
    EXPECT_EQ(form->Font().name, "Tahoma");

    const auto problem = form->LoadProperties(FormRecord(
        {{"ParentColor", vl::PropertyValue::Boolean(true)}, {"ParentFont", vl::PropertyValue::Boolean(true)}}));
    ASSERT_FALSE(problem);
    EXPECT_EQ(form->Color(), 0x00FFFFFFu);
    EXPECT_EQ(form->Font().name, "Verdana");
    form->SetParentColor(0x00000080);
    EXPECT_EQ(form->Color(), 0x00000080u);
    form->SetColor(0x00008000);
    form->SetParentColor(0x00800000);
    EXPECT_EQ(form->Color(), 0x00008000u) << "a colour set on the form ends following the container";
}

TEST(FormCreation, AModuleWithoutTheDefinitionIsReported)
{
    std::wstring error;
    EXPECT_FALSE(TVLServiceAdapterX::Create(::GetModuleHandleW(nullptr), error));
    EXPECT_NE(error.find(L"TVLSERVICEADAPTERX"), std::wstring::npos);
}

} // namespace
