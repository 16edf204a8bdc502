// Writes a file of the extension or the page library from its template, filling in what
// the product's tables decide, so that the browser side never lists them twice:
//
//   {{SITE_MATCHES}}    the match patterns of the endpoint table's site hosts under the
//                       schemes the service host's lock takes: https; the development rows'
//                       hosts only with --development, and those also under http
//   {{SERVICE_METHOD_TABLE}}  the control's methods, from the automation contract, with
//                       what the page APIs check of a call, as JSON: [{"name",
//                       "countFault", "parameters": [{"type": "text" or "number",
//                       "fault"}]}]; the faults are the service host's own answers to a
//                       call that does not fit
//   {{NAME}}            with --insert NAME FILE: FILE's text, its own placeholders filled
//
//   webgen [--development] [--insert NAME FILE]... TEMPLATE OUTPUT
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service_host/portable/service_message.h"
#include "contract/portable/service_methods.h"
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

// The table's texts are ASCII without quotes or backslashes: the contract's names and the
// host's fault texts.
std::string ServiceMethodTable()
{
    std::string table;
    for (const vl::ServiceMethod& method : vl::ServiceMethods()) {
        std::string parameters;
        for (std::size_t i = 0; i < method.Parameters().size(); ++i) {
            const bool text = method.Parameters()[i].type == vl::ContractType::Text;
            parameters += std::string(i == 0 ? "" : ", ") + "{\"type\": " + Quoted(text ? "text" : "number") +
                          ", \"fault\": " + Quoted(vl::ArgumentTypeFault(method, i)) + "}";
        }
        table += std::string(table.empty() ? "" : ",\n    ") + "{\"name\": " + Quoted(method.name) +
                 ", \"countFault\": " + Quoted(vl::ArgumentCountFault(method)) + ", \"parameters\": [" + parameters +
                 "]}";
    }
    return "[\n    " + table + "\n  ]";
}

bool ReadFile(const char* path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "webgen: cannot read " << path << "\n";
        return false;
    }
    std::stringstream read;
    read << in.rdbuf();
    text = read.str();
    return true;
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
    std::vector<std::pair<std::string, std::string>> inserts;
    for (; argc - next > 2 && std::string_view(argv[next]) == "--insert"; next += 3) {
        inserts.emplace_back("{{" + std::string(argv[next + 1]) + "}}", std::string());
        if (!ReadFile(argv[next + 2], inserts.back().second)) return 1;
    }
    if (argc - next != 2) {
        std::cerr << "usage: webgen [--development] [--insert NAME FILE]... TEMPLATE OUTPUT\n";
        return 2;
    }
    std::string output;
    if (!ReadFile(argv[next], output)) return 1;
    for (const auto& [placeholder, text] : inserts) ReplaceAll(output, placeholder, text);
    ReplaceAll(output, "{{SITE_MATCHES}}", SiteMatches(development));
    ReplaceAll(output, "{{SERVICE_METHOD_TABLE}}", ServiceMethodTable());
    std::ofstream out(argv[next + 1], std::ios::binary);
    if (!(out << output)) {
        std::cerr << "webgen: cannot write " << argv[next + 1] << "\n";
        return 1;
    }
    return 0;
}
