#include "kernel_store.h"

#include <windows.h>

#include "file_bytes.h"
#include "support/ansi_text.h"

namespace vl {

namespace {

std::string Escape(const std::wstring& text)
{
    std::string escaped;
    for (const char c : WideToAnsi(text)) {
        switch (c) {
        case '%': escaped += "%25"; break;
        case '=': escaped += "%3D"; break;
        case '\r': escaped += "%0D"; break;
        case '\n': escaped += "%0A"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::wstring Unescape(std::string_view text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            bytes += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return AnsiToWide(bytes);
}

} // namespace

KernelStore::KernelStore(std::wstring path) : m_path(std::move(path))
{
    const std::string contents = ReadFileBytes(m_path).value_or(std::string());
    std::string_view rest = contents;
    // A last line without its end was cut by a crash.
    for (auto end = rest.find('\n'); end != std::string_view::npos; end = rest.find('\n')) {
        const std::string_view line = rest.substr(0, end);
        rest = rest.substr(end + 1);
        ++m_lines;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) m_values.erase(Unescape(line));
        else m_values[Unescape(line.substr(0, equals))] = Unescape(line.substr(equals + 1));
    }
    if (!rest.empty()) Rewrite();
}

bool KernelStore::Save(const std::wstring& key, const std::wstring& value)
{
    std::lock_guard lock(m_mutex);
    m_values[key] = value;
    return Append(Escape(key) + "=" + Escape(value) + "\n");
}

std::wstring KernelStore::Load(const std::wstring& key) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_values.find(key);
    return it == m_values.end() ? std::wstring() : it->second;
}

bool KernelStore::Clear(const std::wstring& key)
{
    std::lock_guard lock(m_mutex);
    if (m_values.erase(key) == 0) return true;
    return Append(Escape(key) + "\n");
}

bool KernelStore::Append(const std::string& line)
{
    // Rewritten once the cleared and replaced lines outnumber the values well.
    if (m_rewriteDue || m_lines >= 4 * m_values.size() + 64) return Rewrite();
    if (!m_file) {
        m_file.reset(::CreateFileW(m_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!m_file) {
            // The file no longer matches the values: it is rewritten with the next change.
            m_rewriteDue = true;
            return false;
        }
    }
    DWORD written = 0;
    if (!::WriteFile(m_file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size()) {
        // Whatever part of the line reached the file ends without its line end: nothing is
        // appended to it, the file is rewritten first.
        m_file.reset();
        return Rewrite();
    }
    ++m_lines;
    return true;
}

bool KernelStore::Rewrite()
{
    std::string contents;
    for (const auto& [key, value] : m_values) contents += Escape(key) + "=" + Escape(value) + "\n";
    const std::wstring temporary = m_path + L".tmp";
    m_file.reset();
    m_rewriteDue = !WriteFileBytes(temporary, contents) ||
                   !::MoveFileExW(temporary.c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!m_rewriteDue) m_lines = m_values.size();
    return !m_rewriteDue;
}

} // namespace vl
