// Prints what the endpoint table names, one per line:
//   endpoint_hosts_dump                       every distinct host name of its URLs, over all
//                                             regions, environments and roles: the names a
//                                             test network must answer for
//   endpoint_hosts_dump --patch-folders       every distinct folder path of the patch bases
//                                             (role 2), where the updater is published
//   endpoint_hosts_dump --endpoint VALUE ROLE the endpoint of ROLE for the region value VALUE
#include "tables/portable/endpoint_hosts.h"
#include "tables/portable/endpoint_table.h"

#include <cstdio>
#include <cstdlib>
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

// The path of an http URL after its host; empty for anything else.
std::wstring_view UrlPath(std::wstring_view url)
{
    const std::wstring_view host = UrlHost(url);
    if (host.empty()) return {};
    const std::size_t at = url.find(host) + host.size();
    return url.substr(at);
}

std::string Narrow(std::wstring_view text)
{
    std::string narrow;
    for (wchar_t c : text) narrow += c >= L' ' && c <= L'~' ? static_cast<char>(c) : '?';
    return narrow;
}

int PrintPatchFolders()
{
    std::set<std::string> folders;
    for (std::wstring_view region : kRegions)
        for (std::wstring_view environment : kEnvironments) {
            const std::wstring base = vl::LookupEndpoint(std::wstring(region) + L";" + std::wstring(environment),
                                                         vl::kPatchBaseRole);
            const std::wstring_view path = UrlPath(base);
            if (!path.empty()) folders.insert(Narrow(path));
        }
    for (const std::string& folder : folders) std::printf("%s\n", folder.c_str());
    return folders.empty() ? 1 : 0;
}

int PrintEndpoint(const char* regionValue, const char* role)
{
    const std::string value(regionValue);
    const std::wstring endpoint = vl::LookupEndpoint(std::wstring(value.begin(), value.end()), std::atoi(role));
    if (endpoint.empty()) return 1;
    std::printf("%s\n", Narrow(endpoint).c_str());
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 2 && std::string_view(argv[1]) == "--patch-folders") return PrintPatchFolders();
    if (argc == 4 && std::string_view(argv[1]) == "--endpoint") return PrintEndpoint(argv[2], argv[3]);
    if (argc != 1) {
        std::fprintf(stderr, "usage: endpoint_hosts_dump [--patch-folders | --endpoint REGION;ENVIRONMENT ROLE]\n");
        return 2;
    }
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
