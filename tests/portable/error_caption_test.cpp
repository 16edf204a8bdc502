#include "support/portable/error_caption.h"

#include <gtest/gtest.h>

#include <string>

using namespace vl;

TEST(ErrorBoxCaption, NamesTheSourceByItsBaseNameWithoutExtension)
{
    EXPECT_EQ(FormatErrorBoxCaption(L"vorlink! ActiveX", L"C:\\work\\src\\VLServiceAdapterImpl.cpp", 2121),
              L"vorlink! ActiveX (VLServiceAdapterImpl:2121)");
    EXPECT_EQ(FormatErrorBoxCaption(L"vorlink! ActiveX", L"VLServiceAdapterImpl", 2121),
              L"vorlink! ActiveX (VLServiceAdapterImpl:2121)");
    EXPECT_EQ(FormatErrorBoxCaption(L"c", L"Adapter.impl.cpp", 7), L"c (Adapter:7)");
    // Only the base name is cut at its dot: a dotted folder does not shorten it.
    EXPECT_EQ(FormatErrorBoxCaption(L"c", L"D:\\v1.2\\Impl.pas", -3), L"c (Impl:-3)");
    EXPECT_EQ(FormatErrorBoxCaption(L"c", L"D:\\dir\\", 1), L"c (:1)");
}

TEST(ErrorBoxCaption, IsTheComponentNameAloneWithoutSource)
{
    EXPECT_EQ(FormatErrorBoxCaption(L"vorlink! ActiveX", nullptr, 2121), L"vorlink! ActiveX");
}

TEST(ErrorBoxCaption, UsesOnlyTheFirst259CharactersOfTheSource)
{
    // The backslash that would start the base name lies beyond the characters taken.
    const std::wstring source = std::wstring(259, L'a') + L"\\Impl.cpp";
    EXPECT_EQ(FormatErrorBoxCaption(L"c", source.c_str(), 5), L"c (" + std::wstring(256, L'a'));
    const std::wstring inside = std::wstring(250, L'a') + L"\\Impl.cpp";
    EXPECT_EQ(FormatErrorBoxCaption(L"c", inside.c_str(), 5), L"c (Impl:5)");
}

TEST(ErrorBoxCaption, StaysWithin259Characters)
{
    const std::wstring longName(300, L'n');
    EXPECT_EQ(FormatErrorBoxCaption(longName, nullptr, 1), std::wstring(259, L'n'));
    const std::wstring caption = FormatErrorBoxCaption(std::wstring(250, L'n'), L"Source.cpp", 123456);
    EXPECT_EQ(caption.size(), 259u);
    EXPECT_EQ(caption.substr(250), L" (Source:");
}
