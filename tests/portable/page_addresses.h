// Page addresses, each with whether the site lock lets the page use the control: the
// portal's pages and the look-alikes every site lock must refuse. The address parser's
// tests take them all; the page host's suite runs a page on each.
#pragma once

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

} // namespace vl::test
