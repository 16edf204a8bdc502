// The service's deployment: the hosts and traceroute targets behind the endpoint table.
// Paths, ports and placeholders are fixed by the table itself; only these values change
// when a deployment moves.
#pragma once

#include <string_view>

namespace vl {

enum EndpointRegion : int { kRegionUS, kRegionTW, kRegionHK, kRegionCN, kEndpointRegionCount };
enum EndpointEnvironment : int {
    kEnvDevelop,
    kEnvAlpha,
    kEnvProduction,
    kEnvRT,
    kEnvDevelop2,
    kEndpointEnvironmentCount
};

struct EndpointHosts {
    std::wstring_view site;        // host of the row's URLs
    std::wstring_view patch;       // host of the patch base where it is not the site host
    std::wstring_view traceTarget; // IPv4 address the client traces the route to
};

inline constexpr std::wstring_view kUsDownloadHost = L"download.vorlink.com";
inline constexpr std::wstring_view kTwPatchHost = L"patch.tw.vorlink.com";
inline constexpr std::wstring_view kHkPatchHost = L"patch.hk.vorlink.com";

// [region][environment]. Rows that hold only placeholders have no deployment; TW Develop2.0
// runs on the US Develop2.0 deployment.
inline constexpr EndpointHosts kEndpointHosts[kEndpointRegionCount][kEndpointEnvironmentCount] = {
    {
        {L"dev.us.vorlink.net", {}, L"10.10.1.20"},
        {L"alpha.us.vorlink.com", kUsDownloadHost, L"198.51.100.11"},
        {L"www.vorlink.com", kUsDownloadHost, L"198.51.100.10"},
        {L"rt.us.vorlink.com", {}, L"198.51.100.12"},
        {L"dev2.vorlink.net", {}, L"192.168.10.20"},
    },
    {
        {L"dev.tw.vorlink.net", {}, L"10.20.1.20"},
        {L"alpha.tw.vorlink.com", kTwPatchHost, L"203.0.113.21"},
        {L"tw.vorlink.com", kTwPatchHost, L"203.0.113.20"},
        {L"rt.tw.vorlink.com", {}, L"203.0.113.22"},
        {},
    },
    {
        {L"dev.hk.vorlink.net", {}, L"10.30.1.20"},
        {L"alpha.hk.vorlink.com", kHkPatchHost, L"203.0.113.31"},
        {L"hk.vorlink.com", kHkPatchHost, L"203.0.113.30"},
        {L"rt.hk.vorlink.com", {}, L"203.0.113.32"},
        {},
    },
    {
        {},
        {L"alpha.cn.vorlink.com", L"patch-alpha.cn.vorlink.com", L"192.0.2.41"},
        {L"cn.vorlink.com", L"patch.cn.vorlink.com", L"192.0.2.40"},
        {L"rt.cn.vorlink.com", {}, L"192.0.2.42"},
        {},
    },
};

} // namespace vl
