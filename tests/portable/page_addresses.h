// Page addresses, each with whether the site lock lets the page use the control: the
// portal's pages and the look-alikes every site lock must refuse. The address parser's
// tests take them all; the page host's suite runs a page on each.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>

namespace vl::test {

struct PageAddressCase {
    const wchar_t* address;
    bool portal;
};

// Outside development mode.
inline constexpr PageAddressCase kSampledPages[] = {
    {L"http://tw.vorlink.com/vorlink_block/install.aspx", true},
    {L"HTTPS://WWW.VORLINK.com./play.aspx", true},
    // Only the table's own hosts: no other name below the portal's domains, and the
    // development sites only in development mode.
    {L"http://games.tw.vorlink.com/play.aspx", false},
    {L"http://dev.tw.vorlink.net/vorlink_block/install.aspx", false},
    {L"http://www.vorlink.com.evil.example/", false},
    {L"http://evil.example/www.vorlink.com", false},
    {L"http://www.vorlink.com@evil.example/", false},
    {L"http://evil.example\\@www.vorlink.com/", false},
    {L"http://www%2evorlink.com/", false},
    {L"http://evil.example#@www.vorlink.com", false},
    {L"http://203.0.113.20/", false},
    {L"http://www.vorlink.com:8080/", false},
    {L"file:///C:/pages/portal.html", false},
    {L"about:blank", false},
};

// An address with what a decision on it answers outside development mode and in it.
struct ByModeCase {
    const wchar_t* address;
    bool normal;
    bool development;
};

// `decide(address, developmentMode)` answers each case in both modes.
template <std::size_t N, typename Decide>
void ExpectByMode(const ByModeCase (&cases)[N], Decide decide)
{
    for (const ByModeCase& c : cases) {
        EXPECT_EQ(decide(c.address, false), c.normal) << c.address;
        EXPECT_EQ(decide(c.address, true), c.development) << c.address << " in development mode";
    }
}

} // namespace vl::test
