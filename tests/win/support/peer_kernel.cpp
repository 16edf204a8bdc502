#include "peer_kernel.h"

#include "kernel_link/portable/pipe_names.h"

namespace vl::test {

namespace {

// Reads what a pipe holds without blocking; false when the pipe is broken.
bool ReadAvailable(HANDLE pipe, std::string& bytes)
{
    DWORD available = 0;
    if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
    if (available == 0) return true;
    std::string chunk(available, '\0');
    DWORD read = 0;
    if (!::ReadFile(pipe, chunk.data(), available, &read, nullptr)) return false;
    bytes.append(chunk.data(), read);
    return true;
}

HANDLE OpenClient(const std::wstring& name, DWORD access)
{
    return ::CreateFileW(name.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

} // namespace

PeerKernel::PeerKernel(PeerOptions options)
    : m_options(std::move(options)), m_thread([this] {
          try {
              Run();
          } catch (...) {
              // A peer that gives up simply never links; the test sees that.
          }
      })
{
}

PeerKernel::~PeerKernel()
{
    m_stop = true;
    m_thread.join();
    ClosePair();
}

void PeerKernel::Run()
{
    // Offer ourselves as client of the main pipe until an adapter creates it.
    HANDLE mainPipe = INVALID_HANDLE_VALUE;
    while (!m_stop && mainPipe == INVALID_HANDLE_VALUE) {
        mainPipe = OpenClient(vl::kKernelMainPipeName, GENERIC_READ);
        if (mainPipe == INVALID_HANDLE_VALUE) ::Sleep(10);
    }
    if (m_stop) {
        if (mainPipe != INVALID_HANDLE_VALUE) ::CloseHandle(mainPipe);
        return;
    }
    std::string notice;
    while (!m_stop && notice.find('\0') == std::string::npos) {
        if (!ReadAvailable(mainPipe, notice)) break;
        ::Sleep(5);
    }
    ::CloseHandle(mainPipe);
    {
        std::lock_guard lock(m_mutex);
        m_notice = notice;
    }
    const std::wstring wide(notice.begin(), notice.end());
    const auto message = vl::ParseKernelMessage(wide.c_str());
    if (!message) return;
    m_pipeId = static_cast<std::uint32_t>(std::stoul(vl::GetKeyValue(message->params, L"PipeID")));
    m_toAdapter = OpenClient(vl::ReadPipeName(m_pipeId), GENERIC_WRITE);
    m_fromAdapter = OpenClient(vl::WritePipeName(m_pipeId), GENERIC_READ);
    if (m_options.sendFirstMessage) Send(5, 0, "Hello");
    m_linked = true;

    vl::MessageFramer framer;
    while (!m_stop) {
        std::string bytes;
        if (!m_reading || m_fromAdapter == INVALID_HANDLE_VALUE || !ReadAvailable(m_fromAdapter, bytes)) {
            ::Sleep(10);
            continue;
        }
        framer.Append(bytes.data(), bytes.size());
        while (auto text = framer.Next()) {
            {
                std::lock_guard lock(m_mutex);
                m_received.push_back(*text);
            }
            const std::wstring wideText(text->begin(), text->end());
            if (auto received = vl::ParseKernelMessage(wideText); received && m_options.onMessage)
                m_options.onMessage(*this, *received);
        }
        ::Sleep(5);
    }
}

bool PeerKernel::WaitLinked(DWORD ms)
{
    const DWORD start = ::GetTickCount();
    while (!m_linked && ::GetTickCount() - start < ms) ::Sleep(10);
    return m_linked;
}

std::string PeerKernel::NoticeBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_notice;
}

bool PeerKernel::SendRaw(const std::string& bytes)
{
    DWORD written = 0;
    return m_toAdapter != INVALID_HANDLE_VALUE &&
           ::WriteFile(m_toAdapter, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool PeerKernel::Send(int cmdId, int serialNum, const std::string& params)
{
    const auto text = vl::FormatKernelMessage(cmdId, serialNum, params);
    return text && SendRaw(*text + std::string(1, '\0'));
}

std::vector<std::string> PeerKernel::Received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

bool PeerKernel::WaitReceived(std::size_t count, DWORD ms) const
{
    const DWORD start = ::GetTickCount();
    while (Received().size() < count) {
        if (::GetTickCount() - start >= ms) return false;
        ::Sleep(10);
    }
    return true;
}

void PeerKernel::ClosePair()
{
    for (HANDLE* pipe : {&m_toAdapter, &m_fromAdapter}) {
        if (*pipe != INVALID_HANDLE_VALUE) ::CloseHandle(*pipe);
        *pipe = INVALID_HANDLE_VALUE;
    }
}

} // namespace vl::test
