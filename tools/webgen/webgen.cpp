// Writes a file of the extension or the page library from its template, filling in what
// the product's tables decide, so that the browser side never lists them twice:
//
//   {{SITE_MATCHES}}    the match patterns of the endpoint table's site hosts, any scheme the
//                       site lock takes (http and https); the development rows' hosts only
//                       with --development
//   {{SERVICE_METHODS}} the control's method names, from the automation contract
//
//   webgen [--development] TEMPLATE OUTPUT
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "service_host/portable/service_methods.h"
#include "tables/portable/portal_sites.h"

namespace {

std::string Quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

std::string SiteMatches(bool development)
{
    std::set<std::string> hosts;
    for (const vl::PortalSite& site : vl::GetPortalSites())
        if (development || !site.development)
            hosts.insert(std::string(site.host.begin(), site.host.end())); // the table's hosts are ASCII
    std::string list;
    for (const std::string& host : hosts) list += (list.empty() ? "" : ", ") + Quoted("*://" + host + "/*");
    return list;
}

std::string ServiceMethods()
{
    std::string list;
    for (const vl::ServiceMethod& method : vl::ServiceMethods()) list += (list.empty() ? "" : ", ") + Quoted(method.name);
    return list;
}

void ReplaceAll(std::string& text, std::string_view placeholder, const std::string& value)
{
    for (auto at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
}

} // namespace

int main(int argc, char** argv)
{
    int next = 1;
    const bool development = argc > next && std::string_view(argv[next]) == "--development";
    if (development) ++next;
    if (argc - next != 2) {
        std::cerr << "usage: webgen [--development] TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[next], std::ios::binary);
    if (!in) {
        std::cerr << "webgen: cannot read " << argv[next] << "\n";
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string output = text.str();
    ReplaceAll(output, "{{SITE_MATCHES}}", SiteMatches(development));
    ReplaceAll(output, "{{SERVICE_METHODS}}", ServiceMethods());
    std::ofstream out(argv[next + 1], std::ios::binary);
    if (!(out << output)) {
        std::cerr << "webgen: cannot write " << argv[next + 1] << "\n";
        return 1;
    }
    return 0;
}
