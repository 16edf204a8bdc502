// Writes a file of the extension or the page library from its template, filling in what
// the product's tables decide, so that the browser side never lists them twice:
//
//   {{SITE_MATCHES}}    the match patterns of the endpoint table's site hosts under the
//                       schemes the service host's lock takes: https; the development rows'
//                       hosts only with --development, and those also under http
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
#include "support/portable/portal_page.h"
#include "tables/portable/portal_sites.h"

namespace {

std::string Quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

std::string SiteMatches(bool development)
{
    std::set<std::string> patterns;
    for (const vl::PortalSite& site : vl::GetPortalSites()) {
        if (site.development && !development) continue;
        const std::string host(site.host.begin(), site.host.end()); // the table's hosts are ASCII
        for (const std::string scheme : {"https", "http"})
            if (vl::IsBridgeScheme(std::wstring(scheme.begin(), scheme.end()), site.development, development))
                patterns.insert(scheme + "://" + host + "/*");
    }
    std::string list;
    for (const std::string& pattern : patterns) list += (list.empty() ? "" : ", ") + Quoted(pattern);
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
