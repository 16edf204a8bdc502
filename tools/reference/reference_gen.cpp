// Writes the page authors' reference of the control: the member names, signatures,
// dispatch identifiers and result codes come from the automation contract (the same
// description that yields the type library and the C++ header), the words from a text
// file with one section per member. A member without a section, or a section that names
// no member, is an error, so the reference cannot fall behind the contract.
//
//   reference_gen TEXTS OUTPUT            writes the reference
//   reference_gen --check TEXTS REFERENCE exits 1 when REFERENCE is not what would be written
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "contract/portable/VLServiceAdapter_contract.inc"

namespace {

enum class Kind { Property, Method, Event };

struct Parameter {
    std::string_view direction; // "in", "in, out", "retval"
    std::string_view type;
    std::string_view name;
};

struct Member {
    Kind kind;
    int dispid;
    std::string_view name;
    std::string_view type; // properties: the value's type; events: the declared result
    bool readOnly = false;
    bool hidden = false;
    std::vector<Parameter> parameters;
};

struct Constant {
    std::string_view name;
    long value;
};

#define VL_UNPAREN(...) __VA_ARGS__
#define VL_IN(T, n) Parameter{"in", #T, #n}
#define VL_INOUT(T, n) Parameter{"in, out", #T, #n}
#define VL_RETVAL(T, n) Parameter{"retval", #T, #n}
#define VL_PROPERTY(id, Name, T, access, isHidden) \
    Member{Kind::Property, id, #Name, #T, std::string_view(#access) == "RO", isHidden, {}},
#define VL_FONT_PROPERTY(id, Name) Member{Kind::Property, id, #Name, "Font", false, false, {}},
#define VL_METHOD(id, Name, params) Member{Kind::Method, id, #Name, "", false, false, {VL_UNPAREN params}},
#define VL_EVENT(id, Name, result, params) Member{Kind::Event, id, #Name, #result, false, false, {VL_UNPAREN params}},
const std::vector<Member> kMembers = {VL_MEMBERS VL_EVENTS};
#undef VL_PROPERTY
#undef VL_FONT_PROPERTY
#undef VL_METHOD
#undef VL_EVENT

struct Enumeration {
    std::string_view name;
    std::vector<Constant> constants;
};

#define VL_CONST(n, v) Constant{#n, v}
#define VL_ENUM(Name, guid, help, constants) Enumeration{#Name, {VL_UNPAREN constants}},
const std::vector<Enumeration> kEnumerations = {VL_ENUMS};
#undef VL_ENUM
#undef VL_CONST

constexpr std::string_view kResultCodes = "VLSRESULT";

// What page script sees of each contract type.
std::string ScriptType(std::string_view type)
{
    static const std::map<std::string_view, std::string_view> types = {
        {"BSTR", "string"},
        {"ULONG", "number (unsigned 32-bit)"},
        {"LONG", "number (signed 32-bit)"},
        {"SHORT", "number (signed 16-bit)"},
        {"VARIANT_BOOL", "boolean"},
        {"OLE_COLOR", "number (colour)"},
        {"Font", "Font object"},
    };
    const auto found = types.find(type);
    if (found != types.end()) return std::string(found->second);
    return "number (`" + std::string(type) + "`)";
}

// The texts: "## Name" opens the section of a member (or of "Overview", "Result codes",
// "Site lock"); the lines up to the next such heading are its text.
bool ReadTexts(const std::string& path, std::map<std::string, std::string>& texts)
{
    std::ifstream in(path);
    if (!in) {
        std::cerr << "reference_gen: cannot read " << path << "\n";
        return false;
    }
    std::string line, current;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0) {
            current = line.substr(3);
            if (texts.count(current)) {
                std::cerr << "reference_gen: " << path << ": \"" << current << "\" twice\n";
                return false;
            }
            texts[current];
        } else if (!current.empty()) {
            texts[current] += line + "\n";
        }
    }
    for (auto& [name, text] : texts) {
        while (!text.empty() && text.front() == '\n') text.erase(0, 1);
        while (text.size() > 1 && text[text.size() - 1] == '\n' && text[text.size() - 2] == '\n') text.pop_back();
    }
    return true;
}

// The sections of their own, besides the members': the guides open the reference, in this
// order, after the overview.
const std::vector<std::string> kGuides = {"Try your page",       "Requirements",           "The object tag",
                                          "Binding events",      "Detecting the control",  "Initializing",
                                          "Updating the kernel", "Messages the control keeps", "Calls that fail",
                                          "Timing",              "The browser bridge"};
const std::vector<std::string> kSections = {"Overview", "Result codes", "Site lock", "Properties"};

// The control's class identifier as a page's classid="clsid:..." writes it.
std::string ClassIdentifier()
{
    constexpr unsigned long kParts[] = {VL_CLSID_CONTROL};
    char text[40];
    std::snprintf(text, sizeof text, "%08lX-%04lX-%04lX-%02lX%02lX-%02lX%02lX%02lX%02lX%02lX%02lX", kParts[0],
                  kParts[1], kParts[2], kParts[3], kParts[4], kParts[5], kParts[6], kParts[7], kParts[8], kParts[9],
                  kParts[10]);
    return text;
}

// The texts name the control's version as {module version} or, as an object tag's
// #version= writes it, {module version in commas} (the build's one version value), and its
// class as {class identifier} (the contract's).
std::string WithFacts(std::string text)
{
    std::string commas = VL_MODULE_VERSION;
    std::replace(commas.begin(), commas.end(), '.', ',');
    const std::pair<std::string_view, std::string> facts[] = {{"{module version}", VL_MODULE_VERSION},
                                                               {"{module version in commas}", commas},
                                                               {"{class identifier}", ClassIdentifier()}};
    for (const auto& [placeholder, value] : facts)
        for (std::size_t at; (at = text.find(placeholder)) != std::string::npos;)
            text.replace(at, placeholder.size(), value);
    return text;
}

bool CheckTexts(const std::map<std::string, std::string>& texts)
{
    std::set<std::string> expected(kSections.begin(), kSections.end());
    expected.insert(kGuides.begin(), kGuides.end());
    for (const Member& m : kMembers)
        if (!m.hidden) expected.insert(std::string(m.name));
    bool complete = true;
    for (const std::string& name : expected)
        if (!texts.count(name) || texts.at(name).empty()) {
            std::cerr << "reference_gen: no text for " << name << "\n";
            complete = false;
        }
    for (const auto& [name, text] : texts)
        if (!expected.count(name)) {
            std::cerr << "reference_gen: a text for " << name << ", which the contract does not have\n";
            complete = false;
        }
    // A property's text is one line of its table.
    for (const Member& m : kMembers)
        if (m.kind == Kind::Property && !m.hidden && texts.count(std::string(m.name)) &&
            texts.at(std::string(m.name)).find('\n') + 1 != texts.at(std::string(m.name)).size()) {
            std::cerr << "reference_gen: the text for " << m.name << " must be one line\n";
            complete = false;
        }
    return complete;
}

std::string Call(const Member& m)
{
    std::string call, result;
    for (const Parameter& p : m.parameters) {
        if (p.direction == "retval") {
            result = std::string(p.name) + " = ";
            continue;
        }
        if (!call.empty()) call += ", ";
        call += p.name;
    }
    if (m.kind == Kind::Event) return "function " + std::string(m.name) + "(" + call + ")";
    return result + "control." + std::string(m.name) + "(" + call + ")";
}

void WriteParameters(std::ostream& out, const Member& m)
{
    if (m.parameters.empty()) return;
    out << "| Parameter | Type | Direction |\n|---|---|---|\n";
    for (const Parameter& p : m.parameters)
        out << "| `" << p.name << "` | " << ScriptType(p.type) << " | "
            << (p.direction == "retval" ? "result" : std::string(p.direction)) << " |\n";
    out << "\n";
}

std::string Generate(const std::map<std::string, std::string>& texts)
{
    std::ostringstream out;
    out << "<!-- Generated by tools/reference from src/contract/portable/VLServiceAdapter_contract.inc and\n"
           "     tools/reference/member_texts.md: edit those, then run\n"
           "     build/native/reference_gen tools/reference/member_texts.md docs/page_reference.md -->\n\n";
    out << "# " << VL_CONTROL_HELP << ": reference for page authors\n\n";
    out << texts.at("Overview") << "\n";
    for (const std::string& guide : kGuides) out << "## " << guide << "\n\n" << texts.at(guide) << "\n";

    out << "## Result codes (`VLSRESULT`)\n\n";
    out << texts.at("Result codes") << "\n";
    out << "| Constant | Value |\n|---|---|\n";
    for (const Enumeration& e : kEnumerations)
        if (e.name == kResultCodes)
            for (const Constant& c : e.constants) out << "| `" << c.name << "` | " << c.value << " |\n";
    out << "\n## Site lock\n\n" << texts.at("Site lock") << "\n";

    for (const auto& [kind, heading] : {std::pair{Kind::Method, "Methods"}, std::pair{Kind::Event, "Events"}}) {
        out << "## " << heading << "\n\n";
        for (const Member& m : kMembers) {
            if (m.kind != kind) continue;
            out << "### " << m.name << "\n\n`" << Call(m) << "` (DISPID " << m.dispid << ")\n\n";
            WriteParameters(out, m);
            out << texts.at(std::string(m.name)) << "\n";
        }
    }

    out << "## Properties\n\n" << texts.at("Properties") << "\n";
    out << "| Property | DISPID | Type | Access | Meaning |\n|---|---|---|---|---|\n";
    for (const Member& m : kMembers) {
        if (m.kind != Kind::Property || m.hidden) continue;
        std::string text = texts.at(std::string(m.name));
        text.pop_back();
        out << "| `" << m.name << "` | " << m.dispid << " | " << ScriptType(m.type) << " | "
            << (m.readOnly ? "read" : "read, write") << " | " << text << " |\n";
    }
    out << "\nHidden properties, kept for containers that design forms: ";
    bool first = true;
    for (const Member& m : kMembers) {
        if (m.kind != Kind::Property || !m.hidden) continue;
        out << (first ? "" : ", ") << "`" << m.name << "` (" << m.dispid << (m.readOnly ? ", read only" : "") << ")";
        first = false;
    }
    out << ".\n\nThe numbers of the enumerated properties:\n\n";
    for (const Enumeration& e : kEnumerations) {
        if (e.name == kResultCodes) continue;
        out << "- `" << e.name << "`:";
        for (const Constant& c : e.constants) out << " `" << c.name << "` = " << c.value << (&c == &e.constants.back() ? "" : ",");
        out << "\n";
    }
    return out.str();
}

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

} // namespace

int main(int argc, char** argv)
{
    const bool check = argc == 4 && std::string_view(argv[1]) == "--check";
    if (argc != 3 && !check) {
        std::cerr << "usage: reference_gen TEXTS OUTPUT | reference_gen --check TEXTS REFERENCE\n";
        return 2;
    }
    const std::string textsPath = argv[check ? 2 : 1];
    const std::string outputPath = argv[check ? 3 : 2];
    std::map<std::string, std::string> texts;
    if (!ReadTexts(textsPath, texts) || !CheckTexts(texts)) return 1;
    const std::string reference = WithFacts(Generate(texts));
    if (check) {
        if (ReadWhole(outputPath) == reference) return 0;
        std::cerr << "reference_gen: " << outputPath << " is not what the contract and the texts give; run\n"
                  << "    build/native/reference_gen " << textsPath << " " << outputPath << "\n";
        return 1;
    }
    std::ofstream out(outputPath, std::ios::binary);
    out << reference;
    return out.good() ? 0 : 1;
}
