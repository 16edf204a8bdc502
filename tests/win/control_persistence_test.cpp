// ctest: RESOURCE_LOCK product_state
// Saving and loading the control's properties through IPersistStreamInit and
// IPersistStorage on real streams and compound files, and streams that are not what they
// claim to be.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <type_traits>
#include <vector>

#include "com_server/portable/component_stream.h"
#include "com_server/portable/form_definition.h"
#include "support/ansi_text.h"
#include "fixtures/control_instance.h"
#include "fixtures/temp_folder.h"

namespace {

using vl::ComPtr;
using vl::test::MemoryStream;
using vl::test::QueryAs;
using vl::test::StreamBytes;

template <typename T, typename Get>
std::string Show(Get get)
{
    T value{};
    if (get(&value) != S_OK) return "failed";
    if constexpr (std::is_same_v<T, BSTR>) {
        return vl::WideToAnsi(vl::UniqueBstr(value).str());
    } else {
        return std::to_string(static_cast<long long>(value));
    }
}

// Every property the page can read, as text.
std::vector<std::string> Snapshot(IVLServiceAdapterX* control)
{
    std::vector<std::string> values;
#define VL_PROPERTY(dispid, Name, T, access, hidden) \
    values.push_back(#Name "=" + Show<T>([&](T* value) { return control->get_##Name(value); }));
#define VL_FONT_PROPERTY(dispid, Name)                                                      \
    {                                                                                       \
        ComPtr<IFontDisp> font;                                                             \
        EXPECT_EQ(control->get_##Name(font.put()), S_OK);                                   \
        const auto attributes = QueryAs<IFont>(font.get());                                 \
        values.push_back(#Name ".Name=" + Show<BSTR>([&](BSTR* v) { return attributes->get_Name(v); }));  \
        values.push_back(#Name ".Bold=" + Show<BOOL>([&](BOOL* v) { return attributes->get_Bold(v); }));  \
        CY size{};                                                                          \
        attributes->get_Size(&size);                                                        \
        values.push_back(#Name ".Size=" + std::to_string(size.int64));                      \
    }
#define VL_METHOD(dispid, Name, params)
    VL_MEMBERS
#undef VL_PROPERTY
#undef VL_FONT_PROPERTY
#undef VL_METHOD
    return values;
}

std::string Bytes(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

std::string ShortString(const std::string& text)
{
    return static_cast<char>(text.size()) + text;
}

// A form record with these entries, in the stream format.
std::string FormStream(std::vector<vl::PropertyEntry> entries)
{
    const vl::ComponentRecord record{{}, vl::kFormClassName, vl::kFormName, std::move(entries), {}};
    const auto bytes = vl::WriteComponentStream(record);
    EXPECT_TRUE(bytes);
    return bytes ? Bytes(*bytes) : std::string();
}

class ControlPersistence : public vl::test::ControlInstanceTest {
protected:
    std::string Save(IVLServiceAdapterX* from)
    {
        const auto stream = MemoryStream();
        EXPECT_EQ(QueryAs<IPersistStreamInit>(from)->Save(stream.get(), TRUE), S_OK);
        return StreamBytes(stream.get());
    }

    HRESULT Load(IVLServiceAdapterX* into, const std::string& bytes)
    {
        const auto stream = MemoryStream(bytes);
        return QueryAs<IPersistStreamInit>(into)->Load(stream.get());
    }

    void ChangeSomeProperties()
    {
        vl::UniqueBstr caption(std::wstring(5000, L'c')); // a record beyond one buffer
        ASSERT_EQ(control->put_Caption(caption.get()), S_OK);
        ASSERT_EQ(control->put_Color(0x00336699), S_OK);
        ASSERT_EQ(control->put_PrintScale(static_cast<TxPrintScale>(300)), S_OK);
        ASSERT_EQ(control->put_BorderWidth(7), S_OK);
        ASSERT_EQ(control->put_Visible(VARIANT_TRUE), S_OK);
        ASSERT_EQ(control->put_SnapBuffer(-20), S_OK);
        ASSERT_EQ(control->put_AxBorderStyle(afbSunken), S_OK);
        std::wstring face = L"Symbol";
        FONTDESC description{sizeof(FONTDESC), face.data(), {}, FW_BOLD, DEFAULT_CHARSET, FALSE, FALSE, FALSE};
        description.cySize.int64 = 120000;
        ComPtr<IFontDisp> font;
        ASSERT_EQ(::OleCreateFontIndirect(&description, IID_IFontDisp, font.put_void()), S_OK);
        ASSERT_EQ(control->put_Font(font.get()), S_OK);
    }
};

TEST_F(ControlPersistence, NewInstanceSavesOnlyItsFormRecord)
{
    const auto persist = QueryAs<IPersistStreamInit>(control.get());
    CLSID clsid{};
    EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(::IsEqualCLSID(clsid, CLSID_VLServiceAdapterX));
    ULARGE_INTEGER size{};
    EXPECT_EQ(persist->GetSizeMax(&size), E_NOTIMPL);
    EXPECT_EQ(persist->InitNew(), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    const std::string bytes = Save(control.get());
    EXPECT_EQ(bytes.substr(0, 4), "TPF0");
    EXPECT_EQ(bytes.substr(4, 19), ShortString("TVLServiceAdapterX"));
    EXPECT_EQ(bytes.find("m_PatchHttp"), std::string::npos);
    EXPECT_EQ(bytes.find("m_ReadPipeTimer"), std::string::npos);
    const auto parsed = vl::ReadComponentStream({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    ASSERT_TRUE(parsed) << parsed.Error().Text();
    EXPECT_EQ(parsed->root.name, vl::kFormName);
    EXPECT_TRUE(parsed->root.children.empty());
    EXPECT_EQ(parsed->consumed, bytes.size());
    // Neither a save nor a write makes the instance dirty.
    EXPECT_EQ(control->put_BorderWidth(3), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
}

TEST_F(ControlPersistence, SavedStreamGivesAnotherInstanceTheSameValues)
{
    ChangeSomeProperties();
    const std::string bytes = Save(control.get());
    EXPECT_GT(bytes.size(), 5000u);
    EXPECT_NE(bytes.find("Caption"), std::string::npos);
    EXPECT_NE(bytes.find("Font.Name"), std::string::npos);

    const auto other = vl::test::NewControlInstance();
    ASSERT_TRUE(other);
    EXPECT_NE(Snapshot(other.get()), Snapshot(control.get()));
    ASSERT_EQ(Load(other.get(), bytes), S_OK);
    EXPECT_EQ(Snapshot(other.get()), Snapshot(control.get()));
    TxPrintScale scale{};
    EXPECT_EQ(other->get_PrintScale(&scale), S_OK);
    EXPECT_EQ(scale, 44);
}

TEST_F(ControlPersistence, LoadLeavesTheContainersDataAfterTheRecord)
{
    const std::string record = Save(control.get());
    const auto stream = MemoryStream(record + "container data");
    ASSERT_EQ(QueryAs<IPersistStreamInit>(control.get())->Load(stream.get()), S_OK);
    ULARGE_INTEGER position{};
    ASSERT_EQ(stream->Seek({}, STREAM_SEEK_CUR, &position), S_OK);
    EXPECT_EQ(position.QuadPart, record.size());
}

TEST_F(ControlPersistence, StorageHoldsOneContentsStream)
{
    ChangeSomeProperties();
    vl::test::TempFolder folder;
    ComPtr<IStorage> storage;
    ASSERT_EQ(::StgCreateDocfile(folder.File(L"page.stg").c_str(),
                                 STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage.put()),
              S_OK);
    const auto persist = QueryAs<IPersistStorage>(control.get());
    EXPECT_EQ(persist->InitNew(storage.get()), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ASSERT_EQ(persist->Save(storage.get(), FALSE), S_OK);
    EXPECT_EQ(persist->SaveCompleted(nullptr), S_OK);
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);

    ComPtr<IEnumSTATSTG> elements;
    ASSERT_EQ(storage->EnumElements(0, nullptr, 0, elements.put()), S_OK);
    std::vector<std::wstring> names;
    STATSTG element{};
    while (elements->Next(1, &element, nullptr) == S_OK) {
        names.emplace_back(element.pwcsName);
        EXPECT_EQ(element.type, DWORD{STGTY_STREAM});
        ::CoTaskMemFree(element.pwcsName);
    }
    EXPECT_EQ(names, std::vector<std::wstring>{L"Contents"});

    const auto other = vl::test::NewControlInstance();
    ASSERT_TRUE(other);
    ASSERT_EQ(QueryAs<IPersistStorage>(other.get())->Load(storage.get()), S_OK);
    EXPECT_EQ(Snapshot(other.get()), Snapshot(control.get()));

    // A storage without the stream: the storage's own answer.
    ComPtr<IStorage> empty;
    ASSERT_EQ(::StgCreateDocfile(folder.File(L"empty.stg").c_str(),
                                 STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, empty.put()),
              S_OK);
    EXPECT_EQ(QueryAs<IPersistStorage>(other.get())->Load(empty.get()), STG_E_FILENOTFOUND);
}

TEST_F(ControlPersistence, MalformedStreamsAreReportedAndChangeNothing)
{
    vl::UniqueBstr kept(std::wstring_view(L"kept"));
    ASSERT_EQ(control->put_Caption(kept.get()), S_OK);
    const std::vector<std::string> before = Snapshot(control.get());

    const std::string valid = FormStream({{"Caption", vl::PropertyValue::String("changed")},
                                          {"BorderWidth", vl::PropertyValue::Integer(9)}});
    const std::string header = "TPF0" + ShortString(vl::kFormClassName) + ShortString(vl::kFormName);
    const std::string hugeLength = header + ShortString("Caption") + "\x0c" + std::string(4, '\xff');
    const std::string overLimit = header + ShortString("Caption") + "\x0c" + std::string("\x00\x00\x20\x00", 4) +
                                  std::string(2 * 1024 * 1024, 'x') + std::string(2, '\0');
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"truncated", valid.substr(0, valid.size() - 3)},
        {"wrong signature", "TPF1" + valid.substr(4)},
        {"unknown value type", header + ShortString("Caption") + "\x0f" + std::string(2, '\0')},
        {"wrong value type", FormStream({{"BorderWidth", vl::PropertyValue::Integer(9)},
                                         {"Caption", vl::PropertyValue::Integer(5)}})},
        {"colour without a name", FormStream({{"BorderWidth", vl::PropertyValue::Integer(9)},
                                              {"Color", vl::PropertyValue::Identifier("clNoSuchColour")}})},
        {"huge length", hugeLength},
        {"beyond the limit", overLimit},
    };
    for (const auto& malformed : cases) {
        SCOPED_TRACE(malformed.what);
        ::SetErrorInfo(0, nullptr);
        EXPECT_EQ(Load(control.get(), malformed.bytes), DISP_E_EXCEPTION);
        EXPECT_NE(vl::test::TakeErrorDescription(), L"");
        EXPECT_EQ(Snapshot(control.get()), before);
    }

    // Still a working instance.
    ASSERT_EQ(Load(control.get(), valid), S_OK);
    EXPECT_EQ(Form().Caption(), "changed");
    EXPECT_EQ(control->put_BorderWidth(11), S_OK);
    LONG width = 0;
    EXPECT_EQ(control->get_BorderWidth(&width), S_OK);
    EXPECT_EQ(width, 11);
}

} // namespace
