// Prints every distinct host name that the endpoint table's URLs name, over all regions,
// environments and roles, one per line: the names a test network must answer for.
#include "tables/portable/endpoint_hosts.h"
#include "tables/portable/endpoint_table.h"

#include <cstdio>
#include <iterator>
#include <set>
#include <string>
#include <string_view>

namespace {

constexpr std::wstring_view kRegions[] = {L"US", L"TW", L"HK", L"CN"};
constexpr std::wstring_view kEnvironments[] = {L"Develop", L"Alpha", L"Production", L"RT", L"Develop2.0"};
static_assert(std::size(kRegions) == vl::kEndpointRegionCount);
static_assert(std::size(kEnvironments) == vl::kEndpointEnvironmentCount);

// The host of an http URL; empty for anything else (placeholders, addresses).
std::wstring_view UrlHost(std::wstring_view url)
{
    constexpr std::wstring_view kScheme = L"http://";
    if (!url.starts_with(kScheme)) return {};
    url.remove_prefix(kScheme.size());
    return url.substr(0, url.find_first_of(L"/:?#"));
}

} // namespace

int main()
{
    std::set<std::string> hosts;
    for (std::wstring_view region : kRegions)
        for (std::wstring_view environment : kEnvironments)
            for (int role = 0; role < vl::kEndpointRoleCount; ++role) {
                const std::wstring url = vl::LookupEndpoint(std::wstring(region) + L";" + std::wstring(environment), role);
                std::string host;
                for (wchar_t c : UrlHost(url)) {
                    // Host names of the table are plain ASCII; anything else cannot go into a hosts file.
                    if (c <= L' ' || c > L'~') {
                        std::fprintf(stderr, "endpoint_hosts_dump: unexpected host in %ls\n", url.c_str());
                        return 1;
                    }
                    host += static_cast<char>(c);
                }
                if (!host.empty()) hosts.insert(host);
            }
    for (const std::string& host : hosts) std::printf("%s\n", host.c_str());
    return hosts.empty() ? 1 : 0;
}
