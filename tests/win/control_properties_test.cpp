// ctest: RESOURCE_LOCK product_state
// The control's property members on a real instance: conversions at the automation
// boundary, the property-change sinks' permission and notice around every write, the font
// object, and the container's ambient colour and font reaching the form.
#include <gtest/gtest.h>
#include <windows.h>
#include <olectl.h>

#include <string>
#include <utility>
#include <vector>

#include "com_server/com_object.h"
#include "com_server/portable/component_stream.h"
#include "com_server/portable/form_definition.h"
#include "support/ansi_text.h"
#include "fixtures/control_instance.h"

namespace {

using vl::ComPtr;
using vl::test::QueryAs;

// A container's property-change sink: logs "<id> request|changed <dispid>" and answers
// OnRequestEdit with `answer`. With `answersQueries` off it no longer admits to being a
// property-change sink (it did when it was connected).
class PropertySink final : public vl::ComObjectImpl<PropertySink, IPropertyNotifySink> {
public:
    using Interfaces = vl::InterfaceList<vl::Interface<IPropertyNotifySink>>;

    PropertySink(int id, std::vector<std::string>& log, HRESULT answer) : m_id(id), m_log(log), m_answer(answer) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!answersQueries && ::IsEqualIID(iid, IID_IPropertyNotifySink)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return ComObjectImpl::QueryInterface(iid, out);
    }
    STDMETHODIMP OnRequestEdit(DISPID dispid) override
    {
        Log("request", dispid);
        return m_answer;
    }
    STDMETHODIMP OnChanged(DISPID dispid) override
    {
        Log("changed", dispid);
        return E_FAIL; // ignored
    }

    bool answersQueries = true;

private:
    void Log(const char* what, DISPID dispid)
    {
        m_log.push_back(std::to_string(m_id) + " " + what + " " + std::to_string(dispid));
    }

    int m_id;
    std::vector<std::string>& m_log;
    HRESULT m_answer;
};

// A container's client site with its ambient properties; a property that is not set
// fails with DISP_E_MEMBERNOTFOUND.
class AmbientSite final : public vl::ComObjectImpl<AmbientSite, IOleClientSite, IDispatch> {
public:
    using Interfaces = vl::InterfaceList<vl::Interface<IOleClientSite>, vl::Interface<IDispatch>>;

    AmbientSite() = default;
    ~AmbientSite() override
    {
        for (VARIANT& value : m_values) ::VariantClear(&value);
    }

    void Set(DISPID dispid, const VARIANT& value)
    {
        m_ids.push_back(dispid);
        m_values.emplace_back();
        ::VariantInit(&m_values.back());
        ::VariantCopy(&m_values.back(), const_cast<VARIANT*>(&value));
    }

    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override
    {
        for (std::size_t i = m_ids.size(); i-- > 0;)
            if (m_ids[i] == dispid) return result ? ::VariantCopy(result, &m_values[i]) : S_OK;
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    std::vector<DISPID> m_ids;
    std::vector<VARIANT> m_values;
};

VARIANT Long(LONG value)
{
    VARIANT variant;
    ::VariantInit(&variant);
    V_VT(&variant) = VT_I4;
    V_I4(&variant) = value;
    return variant;
}

ComPtr<IFontDisp> NewFont(const wchar_t* name, LONGLONG size, SHORT weight, BOOL italic)
{
    std::wstring face = name;
    FONTDESC description{sizeof(FONTDESC), face.data(), {}, weight, DEFAULT_CHARSET, italic, FALSE, FALSE};
    description.cySize.int64 = size;
    ComPtr<IFontDisp> font;
    EXPECT_HRESULT_SUCCEEDED(::OleCreateFontIndirect(&description, IID_IFontDisp, font.put_void()));
    return font;
}

struct FontView {
    std::wstring name;
    LONGLONG size = 0;
    BOOL bold = FALSE;
    BOOL italic = FALSE;
};

FontView ViewOf(IFontDisp* object)
{
    FontView view;
    const auto font = QueryAs<IFont>(object);
    if (!font) return view;
    vl::UniqueBstr name;
    CY size{};
    EXPECT_HRESULT_SUCCEEDED(font->get_Name(name.put()));
    EXPECT_HRESULT_SUCCEEDED(font->get_Size(&size));
    EXPECT_HRESULT_SUCCEEDED(font->get_Bold(&view.bold));
    EXPECT_HRESULT_SUCCEEDED(font->get_Italic(&view.italic));
    view.name = name.str();
    view.size = size.int64;
    return view;
}

// The face the platform gives a font of this name.
std::wstring RealizedFace(const wchar_t* name)
{
    LOGFONTW description{};
    description.lfHeight = -11;
    description.lfCharSet = DEFAULT_CHARSET;
    ::lstrcpynW(description.lfFaceName, name, LF_FACESIZE);
    vl::UniqueGdiObject font(::CreateFontIndirectW(&description));
    HDC screen = ::GetDC(nullptr);
    HGDIOBJ previous = ::SelectObject(screen, font.get());
    wchar_t face[LF_FACESIZE] = {};
    ::GetTextFaceW(screen, LF_FACESIZE, face);
    ::SelectObject(screen, previous);
    ::ReleaseDC(nullptr, screen);
    return face;
}

// The form's font height at 96 pixels per inch for a font object's size.
std::int32_t HeightAt96(LONGLONG size)
{
    return -static_cast<std::int32_t>((size * 96 + 360000) / 720000);
}

LOGFONTA LogicalFontOf(HFONT font)
{
    LOGFONTA description{};
    ::GetObjectA(font, sizeof description, &description);
    return description;
}

class ControlProperties : public vl::test::ControlInstanceTest {
protected:
    DWORD Connect(IUnknown* sink)
    {
        const auto container = QueryAs<IConnectionPointContainer>(control.get());
        ComPtr<IConnectionPoint> point;
        EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, point.put()), S_OK);
        DWORD cookie = 0;
        EXPECT_EQ(point->Advise(sink, &cookie), S_OK);
        return cookie;
    }

    ComPtr<PropertySink> NewSink(int id, HRESULT answer)
    {
        return ComPtr<PropertySink>(new PropertySink(id, log, answer));
    }

    // Sinks 1 and 2, connected in that order, answering OnRequestEdit with these.
    std::pair<ComPtr<PropertySink>, ComPtr<PropertySink>> ConnectSinks(HRESULT first, HRESULT second)
    {
        std::pair sinks{NewSink(1, first), NewSink(2, second)};
        Connect(static_cast<IPropertyNotifySink*>(sinks.first.get()));
        Connect(static_cast<IPropertyNotifySink*>(sinks.second.get()));
        return sinks;
    }

    HRESULT PutCaption(const wchar_t* text)
    {
        vl::UniqueBstr value{std::wstring_view(text)};
        return control->put_Caption(value.get());
    }

    std::wstring Caption()
    {
        vl::UniqueBstr caption;
        EXPECT_EQ(control->get_Caption(caption.put()), S_OK);
        return caption.str();
    }

    // A client site whose ambient colour and font the form follows (as a saved page may
    // ask it to); taken back after the test.
    ComPtr<AmbientSite> SiteFollowedByTheForm()
    {
        FollowContainer();
        auto site = ComPtr<AmbientSite>(new AmbientSite);
        EXPECT_EQ(QueryAs<IOleObject>(control.get())->SetClientSite(site.get()), S_OK);
        return site;
    }

    HRESULT AmbientChanged(DISPID dispid)
    {
        return QueryAs<IOleControl>(control.get())->OnAmbientPropertyChange(dispid);
    }

    void TearDown() override
    {
        if (control) QueryAs<IOleObject>(control.get())->SetClientSite(nullptr);
        ControlInstanceTest::TearDown();
    }

    void FollowContainer()
    {
        vl::ComponentRecord record{{}, vl::kFormClassName, vl::kFormName, {}, {}};
        record.properties = {{"ParentColor", vl::PropertyValue::Boolean(true)},
                             {"ParentFont", vl::PropertyValue::Boolean(true)}};
        const auto bytes = vl::WriteComponentStream(record);
        ASSERT_TRUE(bytes);
        const auto stream = vl::test::MemoryStream(std::string(bytes->begin(), bytes->end()));
        ASSERT_EQ(QueryAs<IPersistStreamInit>(control.get())->Load(stream.get()), S_OK);
    }

    std::vector<std::string> log;
};

TEST_F(ControlProperties, VisibleReadsTrueAndShowsTheWindow)
{
    VARIANT_BOOL visible = 1;
    ASSERT_EQ(control->put_Visible(VARIANT_FALSE), S_OK);
    EXPECT_EQ(control->get_Visible(&visible), S_OK);
    EXPECT_EQ(visible, VARIANT_FALSE);
    EXPECT_FALSE(::GetWindowLongW(Form().Window(), GWL_STYLE) & WS_VISIBLE);

    // Not in place, the window is parked in a hidden window: its own style tells.
    ASSERT_EQ(control->put_Visible(1), S_OK);
    EXPECT_EQ(control->get_Visible(&visible), S_OK);
    EXPECT_EQ(visible, VARIANT_TRUE);
    EXPECT_TRUE(::GetWindowLongW(Form().Window(), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(ControlProperties, ConvertsAtTheAutomationBoundary)
{
    TxPrintScale scale{};
    for (const auto& [written, read] : {std::pair{7, 7}, {300, 44}, {200, -56}, {-1, -1}}) {
        ASSERT_EQ(control->put_PrintScale(static_cast<TxPrintScale>(written)), S_OK);
        EXPECT_EQ(control->get_PrintScale(&scale), S_OK);
        EXPECT_EQ(scale, read) << written;
    }
    TxPopupMode popup{};
    ASSERT_EQ(control->put_PopupMode(static_cast<TxPopupMode>(0x102)), S_OK);
    EXPECT_EQ(control->get_PopupMode(&popup), S_OK);
    EXPECT_EQ(popup, pmExplicit);

    VARIANT_BOOL flag = 0;
    ASSERT_EQ(control->put_Scaled(VARIANT_FALSE), S_OK);
    ASSERT_EQ(control->put_KeyPreview(5), S_OK);
    EXPECT_EQ(control->get_KeyPreview(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
    EXPECT_EQ(control->get_Scaled(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);

    OLE_COLOR color = 0;
    for (OLE_COLOR written : {OLE_COLOR{0x00408020}, OLE_COLOR{0x80000005}}) {
        ASSERT_EQ(control->put_Color(written), S_OK);
        EXPECT_EQ(control->get_Color(&color), S_OK);
        EXPECT_EQ(color, written);
    }
    LONG number = 0;
    ASSERT_EQ(control->put_BorderWidth(-3), S_OK);
    EXPECT_EQ(control->get_BorderWidth(&number), S_OK);
    EXPECT_EQ(number, -3);
    ASSERT_EQ(control->put_SnapBuffer(100000), S_OK);
    EXPECT_EQ(control->get_SnapBuffer(&number), S_OK);
    EXPECT_EQ(number, 100000);
    EXPECT_EQ(control->get_ExplicitWidth(&number), S_OK);
    EXPECT_EQ(number, 150);

    // Texts go through the ANSI code page and come back as new strings.
    ASSERT_EQ(PutCaption(L"Caf\u00e9 page"), S_OK);
    EXPECT_EQ(Form().Caption(), "Caf\xe9 page");
    EXPECT_EQ(Caption(), L"Caf\u00e9 page");
    ASSERT_EQ(control->put_HelpFile(nullptr), S_OK);
    vl::UniqueBstr helpFile;
    EXPECT_EQ(control->get_HelpFile(helpFile.put()), S_OK);
    EXPECT_TRUE(helpFile && helpFile.str().empty());

    EXPECT_EQ(control->get_Caption(nullptr), E_POINTER);
    EXPECT_EQ(control->get_Active(nullptr), E_POINTER);
    EXPECT_EQ(control->get_Font(nullptr), E_POINTER);
    EXPECT_EQ(control->put_Font(nullptr), E_POINTER);
    EXPECT_EQ(control->putref_Font(nullptr), E_POINTER);
}

TEST_F(ControlProperties, SinkVetoKeepsTheValueAndAsksNoFurther)
{
    const std::wstring before = Caption();
    const auto sinks = ConnectSinks(S_FALSE, S_OK);
    EXPECT_EQ(PutCaption(L"refused"), S_FALSE);
    EXPECT_EQ(Caption(), before);
    EXPECT_EQ(log, std::vector<std::string>{"1 request -518"});
}

TEST_F(ControlProperties, AcceptedWriteNotifiesEverySinkInOrder)
{
    // A failing answer is no veto.
    const auto sinks = ConnectSinks(E_FAIL, S_OK);
    EXPECT_EQ(PutCaption(L"accepted"), S_OK);
    EXPECT_EQ(Caption(), L"accepted");
    EXPECT_EQ(log, (std::vector<std::string>{"1 request -518", "2 request -518", "1 changed -518", "2 changed -518"}));

    log.clear();
    EXPECT_EQ(control->put_PrintScale(poPrintToFit), S_OK);
    EXPECT_EQ(log, (std::vector<std::string>{"1 request 208", "2 request 208", "1 changed 208", "2 changed 208"}));
}

TEST_F(ControlProperties, ConnectionThatIsNoPropertySinkIsPassedOver)
{
    const auto sinks = ConnectSinks(S_FALSE, S_OK);
    sinks.first->answersQueries = false;

    EXPECT_EQ(control->put_BorderWidth(4), S_OK);
    EXPECT_EQ(Form().BorderWidth(), 4);
    EXPECT_EQ(log, (std::vector<std::string>{"2 request 205", "2 changed 205"}));
}

TEST_F(ControlProperties, FontDescribesTheFormsFont)
{
    ComPtr<IFontDisp> font;
    ASSERT_EQ(control->get_Font(font.put()), S_OK);
    ASSERT_TRUE(font);
    const FontView view = ViewOf(font.get());
    EXPECT_EQ(view.name, RealizedFace(L"Tahoma"));
    EXPECT_EQ(view.size, 82500); // -11 pixels at 96 pixels per inch: 8.25 points
    EXPECT_FALSE(view.bold);
    EXPECT_FALSE(view.italic);

    // Each read is a new object.
    ComPtr<IFontDisp> again;
    ASSERT_EQ(control->get_Font(again.put()), S_OK);
    EXPECT_NE(font.get(), again.get());

    // A resolution of 0 is no reason to fail.
    ASSERT_EQ(control->put_PixelsPerInch(0), S_OK);
    ASSERT_EQ(control->get_Font(again.put()), S_OK);
    EXPECT_EQ(ViewOf(again.get()).size, 82500);
}

TEST_F(ControlProperties, FontObjectHandedOutIsACopyUntilPut)
{
    ComPtr<IFontDisp> font;
    ASSERT_EQ(control->get_Font(font.put()), S_OK);
    ASSERT_EQ(QueryAs<IFont>(font.get())->put_Size(CY{.int64 = 150000}), S_OK);
    ASSERT_EQ(QueryAs<IFont>(font.get())->put_Bold(TRUE), S_OK);
    EXPECT_EQ(Form().Font().height, -11);
    EXPECT_EQ(Form().Font().style, 0);

    const auto sink = NewSink(1, S_OK);
    Connect(static_cast<IPropertyNotifySink*>(sink.get()));
    ASSERT_EQ(control->put_Font(font.get()), S_OK);
    EXPECT_EQ(Form().Font().height, HeightAt96(ViewOf(font.get()).size));
    EXPECT_LT(Form().Font().height, -18);
    EXPECT_EQ(Form().Font().style, vl::kFontBold);
    EXPECT_EQ(log, (std::vector<std::string>{"1 request -512", "1 changed -512"}));
}

// Font objects describe the font the platform realizes for their description: names and
// sizes are compared with what the object handed in reports, not with what it was made of.
TEST_F(ControlProperties, FontPutAndPutRefTakeTheAttributes)
{
    const HFONT before = Form().FontHandle();
    const auto color = Form().Font().color;
    auto font = NewFont(L"Courier New", 120000, FW_BOLD, TRUE);
    const FontView given = ViewOf(font.get());
    IFontDisp* reference = font.get();
    ASSERT_EQ(control->putref_Font(&reference), S_OK);

    EXPECT_EQ(vl::AnsiToWide(Form().Font().name), given.name);
    EXPECT_EQ(Form().Font().height, HeightAt96(given.size));
    EXPECT_EQ(Form().Font().style, vl::kFontBold | vl::kFontItalic);
    EXPECT_EQ(Form().Font().color, color);
    EXPECT_NE(Form().FontHandle(), before);
    const LOGFONTA handle = LogicalFontOf(Form().FontHandle());
    EXPECT_EQ(handle.lfFaceName, Form().Font().name);
    EXPECT_EQ(handle.lfHeight, Form().Font().height);
    EXPECT_EQ(handle.lfWeight, FW_BOLD);
    EXPECT_TRUE(handle.lfItalic);

    ComPtr<IFontDisp> read;
    ASSERT_EQ(control->get_Font(read.put()), S_OK);
    const FontView view = ViewOf(read.get());
    EXPECT_EQ(view.name, given.name);
    EXPECT_TRUE(view.bold);
    EXPECT_TRUE(view.italic);

    // The object is not kept: changing it afterwards changes nothing.
    ASSERT_EQ(QueryAs<IFont>(font.get())->put_Bold(FALSE), S_OK);
    EXPECT_EQ(LogicalFontOf(Form().FontHandle()).lfWeight, FW_BOLD);

    ASSERT_EQ(control->put_Font(NewFont(L"Tahoma", 82500, FW_NORMAL, FALSE).get()), S_OK);
    EXPECT_EQ(Form().Font().height, -11);
    EXPECT_EQ(LogicalFontOf(Form().FontHandle()).lfWeight, FW_NORMAL);
}

TEST_F(ControlProperties, AmbientBackColourAndFontReachTheForm)
{
    const auto site = SiteFollowedByTheForm();
    site->Set(DISPID_AMBIENT_BACKCOLOR, Long(0x00123456));
    EXPECT_EQ(AmbientChanged(DISPID_AMBIENT_BACKCOLOR), S_OK);
    EXPECT_EQ(Form().Color(), OLE_COLOR{0x00123456});

    // A system colour comes negative as VT_I4.
    site->Set(DISPID_AMBIENT_BACKCOLOR, Long(static_cast<LONG>(0x80000005)));
    auto ambientFont = NewFont(L"Courier New", 150000, FW_NORMAL, TRUE);
    const FontView given = ViewOf(ambientFont.get());
    VARIANT font;
    V_VT(&font) = VT_DISPATCH;
    V_DISPATCH(&font) = ambientFont.get();
    site->Set(DISPID_AMBIENT_FONT, font);
    site->Set(DISPID_AMBIENT_FORECOLOR, Long(0x000000FF));
    EXPECT_EQ(AmbientChanged(DISPID_UNKNOWN), S_OK);
    EXPECT_EQ(Form().Color(), OLE_COLOR{0x80000005});
    EXPECT_EQ(vl::AnsiToWide(Form().Font().name), given.name);
    EXPECT_EQ(Form().Font().height, HeightAt96(given.size));
    EXPECT_EQ(Form().Font().style, vl::kFontItalic);
    EXPECT_EQ(Form().Font().color, 0x000000FF);
    EXPECT_EQ(LogicalFontOf(Form().FontHandle()).lfHeight, Form().Font().height);
}

TEST_F(ControlProperties, AmbientFailureEndsTheHandling)
{
    const auto site = SiteFollowedByTheForm();
    site->Set(DISPID_AMBIENT_FORECOLOR, Long(0x000000FF));
    const vl::FontAttributes before = Form().Font();

    // No ambient font at all, then one that is no object.
    EXPECT_EQ(AmbientChanged(DISPID_AMBIENT_FONT), DISP_E_MEMBERNOTFOUND);
    site->Set(DISPID_AMBIENT_FONT, Long(12));
    EXPECT_FALSE(SUCCEEDED(AmbientChanged(DISPID_AMBIENT_FORECOLOR)));
    EXPECT_EQ(Form().Font(), before);

    // The back colour is read first: without it nothing else is.
    EXPECT_EQ(AmbientChanged(DISPID_UNKNOWN), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Form().Font(), before);

    // Without a client site there is nothing to follow.
    EXPECT_EQ(QueryAs<IOleObject>(control.get())->SetClientSite(nullptr), S_OK);
    EXPECT_EQ(AmbientChanged(DISPID_AMBIENT_BACKCOLOR), S_OK);
}

} // namespace
