// The adapter's private pipe pair to the widget kernel: the handshake through the main
// pipe, the registration, the link check and the closing of the pair.
#include "adapter/VLServiceAdapterImpl.h"
#include "adapter/adapter_platform.h"
#include "kernel_link/portable/pipe_names.h"
#include "support/widget_log.h"

namespace {

constexpr int kAttemptsPerPhase = 40;
constexpr DWORD kAttemptPause = 100;

// Runs `attempt` up to 40 times, 100 ms apart (also after the last failure), logging
// `text` before each try.
template <typename Attempt>
bool Retry(const wchar_t* text, Attempt attempt)
{
    for (int i = 0; i < kAttemptsPerPhase; ++i) {
        VL_LOG(text);
        if (attempt()) return true;
        ::Sleep(kAttemptPause);
    }
    return false;
}

} // namespace

bool TVLServiceAdapterXImpl::CreatePipeChannel()
{
    VL_LOG(L"starting create pipe process.\n");
    // A pair still open from an earlier link stays open; it is closed with the adapter.
    for (vl::UniqueHandle* pipe : {&m_hReadPipe, &m_hWritePipe})
        if (pipe->valid()) m_earlierPipes.push_back(std::move(*pipe));

    m_dwPipeID = vl::Platform().getTickCount();

    VL_LOG(L"    creating read pipe ...\n");
    m_hReadPipe.reset(vl::CreateKernelPipe(vl::ReadPipeName(m_dwPipeID), PIPE_ACCESS_INBOUND));
    if (!m_hReadPipe.valid()) {
        VL_LOG(L"    create read pipe failure.\n");
        ClosePipes();
        return false;
    }
    VL_LOG(L"    creating write pipe ...\n");
    m_hWritePipe.reset(vl::CreateKernelPipe(vl::WritePipeName(m_dwPipeID), PIPE_ACCESS_OUTBOUND));
    if (!m_hWritePipe.valid()) {
        VL_LOG(L"    create write pipe failure.\n");
        ClosePipes();
        return false;
    }

    vl::UniqueHandle mainPipe;
    if (!Retry(L"    creating main pipe for issue my pipe name ...\n", [&] {
            mainPipe.reset(vl::CreateKernelPipe(vl::kKernelMainPipeName, PIPE_ACCESS_OUTBOUND));
            return mainPipe.valid();
        })) {
        VL_LOG(L"    create main pipe failure.\n");
        ClosePipes();
        return false;
    }
    const bool noticeWritten = Retry(L"    issue my pipe name to widget kernel ...\n", [&] {
        return m_Codec.WritePipeMessage(mainPipe.get(), 1325, 0, vl::PipeIdNotice(m_dwPipeID)) == 0;
    });
    // The kernel reads the notice from its own end; once it closes that end the next
    // adapter can offer the main pipe.
    m_Codec.ForgetPipe(mainPipe.get());
    mainPipe.reset();
    if (!noticeWritten) {
        VL_LOG(L"    write my pipe name information to output pipe failure.\n");
        ClosePipes();
        return false;
    }

    // The kernel's first message proves that it opened the pair; its content is not used.
    if (!Retry(L"    waiting for widget kernel response ...\n", [&] {
            vl::KernelMessage first;
            return ReadKernelMessage(first) == 0;
        })) {
        VL_LOG(L"    cannot received widget kernel response.\n");
        ClosePipes();
        return false;
    }
    VL_LOG(L"    read/write pipe create succeeded.\n");
    SetReadPipeTimer(true);
    return true;
}

bool TVLServiceAdapterXImpl::RegisterToWidgetKernel()
{
    VL_LOG(L"register to widget kernel.\n");
    if (m_Codec.WritePipeMessage(m_hWritePipe.get(), 3, 0, L"WidgetName=ActiveX") != 0) {
        VL_LOG(L"    write information to pipe failure.\n");
        VL_LOG(L"    register error.\n");
        ClosePipes();
        return false;
    }
    return true;
}

bool TVLServiceAdapterXImpl::IsKernelLinked()
{
    if (!m_hReadPipe.valid() || !m_hWritePipe.valid()) return false;
    if (FindKernelWindow()) return true;
    ClosePipes();
    return false;
}

void TVLServiceAdapterXImpl::ClosePipes()
{
    for (vl::UniqueHandle* pipe : {&m_hReadPipe, &m_hWritePipe}) {
        m_Codec.ForgetPipe(pipe->get());
        pipe->reset();
    }
}
