// VLLinkDemo <kernel path>: starts the stand-in kernel, links to it as an adapter does and
// runs a short script of requests, printing every message. Exit code 0 when every answer
// was the expected one and the kernel ended after the leave notice.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/ansi_text.h"
#include "support/stand_in_kernel.h"

namespace {

using vl::test::KernelClient;

struct Step {
    const char* title;
    int cmdId;
    int serialNum;
    std::wstring params;
    int answers;          // messages expected back, all with the request's CmdID
    std::wstring expected; // parameters of the first answer; empty: any
};

void PrintMessage(const char* arrow, int cmdId, int serialNum, const std::wstring& params)
{
    std::printf("    %s CmdID=%d SerialNum=%d Params=%s\n", arrow, cmdId, serialNum, vl::WideToAnsi(params).c_str());
}

bool RunStep(KernelClient& client, const Step& step)
{
    std::printf("%s\n", step.title);
    PrintMessage("->", step.cmdId, step.serialNum, step.params);
    if (const long error = client.Send(step.cmdId, step.serialNum, step.params); error != 0) {
        std::printf("    FAILED: write error %ld\n", error);
        return false;
    }
    const int answerCmd = step.cmdId == 3 ? 6 : step.cmdId;
    for (int i = 0; i < step.answers; ++i) {
        const auto answer = client.Await(answerCmd, 2000);
        if (!answer) {
            std::printf("    FAILED: no answer with CmdID %d (read status %ld)\n", answerCmd, client.LastStatus());
            return false;
        }
        PrintMessage("<-", answer->cmdId, answer->serialNum, answer->params);
        if (i == 0 && !step.expected.empty() && answer->params != step.expected) {
            std::printf("    FAILED: expected Params=%s\n", vl::WideToAnsi(step.expected).c_str());
            return false;
        }
    }
    return true;
}

int Run(const std::wstring& kernelPath)
{
    std::printf("Stand-in kernel link demo\n  kernel: %s\n\n", vl::WideToAnsi(kernelPath).c_str());

    std::printf("[1] start the kernel with the region value TW;Production\n");
    const DWORD start = ::GetTickCount();
    vl::test::ChildProcess kernel(kernelPath, L"TW;Production");
    if (!kernel.Started()) {
        std::printf("    FAILED: the kernel could not be started (error %lu)\n", ::GetLastError());
        return 1;
    }
    if (!vl::test::WaitForKernelWindow(10000)) {
        std::printf("    FAILED: no kernel window within 10 s\n");
        return 1;
    }
    std::printf("    window TMainForm \"VLWKernel\" after %lu ms, process %lu\n", ::GetTickCount() - start, kernel.Id());

    const std::uint32_t pipeId = vl::test::NewPipeId();
    std::printf("[2] handshake: pair VLPipe_%u, pipe-name notice on VLKernelMainPipe\n", pipeId);
    KernelClient client;
    if (!client.Open(pipeId)) {
        std::printf("    FAILED: %s\n", client.Failure().c_str());
        return 1;
    }
    const auto& first = client.FirstMessage();
    PrintMessage("<-", first.cmdId, first.serialNum, first.params);

    const std::wstring key = L"Key=demo";
    const std::vector<Step> steps = {
        {"[3] registration", 3, 0, L"WidgetName=ActiveX", 1, L""},
        {"[4] SaveData(\"demo\", \"Hello from the demo\")", 162, 0, key + L"&&&&Value=Hello from the demo", 1,
         L"RetData=OK"},
        {"[5] LoadData(\"demo\")", 163, 0, key, 1, L"RetData=Hello from the demo"},
        {"[6] CheckRegionInfo()", 165, 0, L"Region=TW;Production", 1, L"RetData=TRUE"},
        {"[7] SendCommand(2, 7, ...): the kernel echoes it as a result", 2, 7, L"Page=demo&&&&Text=ping", 1,
         L"Page=demo&&&&Text=ping"},
        {"[8] SendCommand(100, 8, \"Count=3\"): a burst of three results", 100, 8, L"Count=3", 3,
         L"Burst=1&&&&Count=3"},
        {"[9] ClearData(\"demo\")", 164, 0, key, 1, L"RetData=OK"},
        {"[10] LoadData(\"demo\") after clearing", 163, 0, key, 1, L"RetData="},
    };
    int answered = 0;
    for (const Step& step : steps) {
        if (!RunStep(client, step)) return 1;
        ++answered;
    }

    std::printf("[11] leave notice\n");
    PrintMessage("->", 1, 0, L"");
    const DWORD leave = ::GetTickCount();
    if (client.Send(1, 0, L"") != 0 || !kernel.WaitForExit(10000)) {
        std::printf("    FAILED: the kernel did not end within 10 s\n");
        return 1;
    }
    std::printf("    the kernel ended after %lu ms, exit code %lu\n", ::GetTickCount() - leave, kernel.ExitCode());
    std::printf("\nlink demo passed: %d of %zu requests answered as expected, kernel ended after the leave notice\n",
                answered, steps.size());
    return 0;
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0); // each line shows as it happens
    try {
        int argc = 0;
        LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
        const std::wstring kernelPath = argv && argc > 1 ? argv[1] : L"";
        ::LocalFree(argv);
        if (kernelPath.empty()) {
            std::printf("usage: VLLinkDemo <path of VLWidgetKernel.exe>\n");
            return 2;
        }
        return Run(kernelPath);
    } catch (...) {
        std::printf("FAILED: unexpected exception\n");
        return 1;
    }
}
