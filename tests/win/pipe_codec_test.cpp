// The message codec on real named pipes: the server end made as the adapter makes it, the
// client end opened as the kernel opens it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "kernel_link/pipe_message_codec.h"
#include "support/win_handles.h"

using namespace vl;

namespace {

struct PipeEnds {
    UniqueHandle server;
    UniqueHandle client;
    std::wstring name;
};

// A fresh pipe; `serverMode` PIPE_ACCESS_INBOUND (the server reads) or PIPE_ACCESS_OUTBOUND.
PipeEnds MakePipe(DWORD serverMode, bool connect = true)
{
    static int counter = 0;
    PipeEnds ends;
    ends.name = L"\\\\.\\pipe\\VLCodecTest_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                std::to_wstring(++counter);
    ends.server.reset(CreateKernelPipe(ends.name, serverMode));
    if (connect) {
        const DWORD access = serverMode == PIPE_ACCESS_INBOUND ? GENERIC_WRITE : GENERIC_READ;
        ends.client.reset(::CreateFileW(ends.name.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    return ends;
}

// Every byte waiting at the client end, read without blocking.
std::string ClientBytes(HANDLE client)
{
    DWORD available = 0;
    if (!::PeekNamedPipe(client, nullptr, 0, nullptr, &available, nullptr) || available == 0) return {};
    std::string bytes(available, '\0');
    DWORD read = 0;
    ::ReadFile(client, bytes.data(), available, &read, nullptr);
    bytes.resize(read);
    return bytes;
}

bool ClientWrite(HANDLE client, const std::string& bytes)
{
    DWORD written = 0;
    return ::WriteFile(client, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

struct ReadResult {
    long status;
    int cmdId = 0;
    int serialNum = 0;
    std::wstring params;
};

ReadResult Read(CVLPipeMessageCodec& codec, HANDLE pipe)
{
    ReadResult result{};
    std::vector<wchar_t> params(kPipeBufferSize, L'x');
    result.status = codec.ReadPipeMessage(pipe, result.cmdId, result.serialNum, params.data(), params.size());
    result.params = params.data();
    return result;
}

// A message read, as "CmdID=.. SerialNum=.. Params=..", or the read's status alone.
std::wstring ReadText(CVLPipeMessageCodec& codec, HANDLE pipe)
{
    const ReadResult read = Read(codec, pipe);
    if (read.status != 0) return std::to_wstring(read.status);
    return L"CmdID=" + std::to_wstring(read.cmdId) + L" SerialNum=" + std::to_wstring(read.serialNum) +
           L" Params=" + read.params;
}

const std::string kEcho = std::string("CmdID=2&&&&SerialNum=9&&&&Params=done") + '\0';
const std::wstring kEchoRead = L"CmdID=2 SerialNum=9 Params=done";

} // namespace

TEST(PipeCodec, ReportsThePipeStateAsTheReadError)
{
    CVLPipeMessageCodec codec;
    PipeEnds ends = MakePipe(PIPE_ACCESS_INBOUND, false);
    ASSERT_TRUE(ends.server.valid());
    EXPECT_EQ(Read(codec, ends.server.get()).status, ERROR_PIPE_LISTENING);

    ends.client.reset(::CreateFileW(ends.name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(ends.client.valid());
    const ReadResult nothing = Read(codec, ends.server.get());
    EXPECT_EQ(nothing.status, ERROR_NO_DATA);
    EXPECT_EQ(nothing.params, L""); // zero-filled even when nothing was read

    ends.client.reset();
    EXPECT_EQ(Read(codec, ends.server.get()).status, ERROR_BROKEN_PIPE);

    EXPECT_EQ(Read(codec, nullptr).status, ERROR_INVALID_HANDLE);
    EXPECT_EQ(Read(codec, INVALID_HANDLE_VALUE).status, ERROR_INVALID_HANDLE);
}

TEST(PipeCodec, ReportsThePipeStateAsTheWriteError)
{
    CVLPipeMessageCodec codec;
    PipeEnds ends = MakePipe(PIPE_ACCESS_OUTBOUND, false);
    ASSERT_TRUE(ends.server.valid());
    EXPECT_EQ(codec.WritePipeMessage(ends.server.get(), 1, 0, L""), ERROR_PIPE_LISTENING);
    EXPECT_EQ(codec.WritePipeMessage(nullptr, 1, 0, L""), ERROR_INVALID_HANDLE);
    EXPECT_EQ(codec.WritePipeMessage(INVALID_HANDLE_VALUE, 1, 0, L""), ERROR_INVALID_HANDLE);
}

TEST(PipeCodec, WritesEachMessageAsItsTextAndOneNul)
{
    CVLPipeMessageCodec codec;
    PipeEnds ends = MakePipe(PIPE_ACCESS_OUTBOUND);
    ASSERT_TRUE(ends.client.valid());

    ASSERT_EQ(codec.WritePipeMessage(ends.server.get(), 1, 0, L""), 0);
    const std::string leave = ClientBytes(ends.client.get());
    EXPECT_EQ(leave.size(), 34u);
    EXPECT_EQ(leave, std::string("CmdID=1&&&&SerialNum=0&&&&Params=") + '\0');

    ASSERT_EQ(codec.WritePipeMessage(ends.server.get(), 162, 0, L"Key=a&&&&Value=b"), 0);
    EXPECT_EQ(ClientBytes(ends.client.get()), std::string("CmdID=162&&&&SerialNum=0&&&&Params=Key=a&&&&Value=b") + '\0');

    // A page's unsigned 4,294,967,295 goes out as its two's-complement negative.
    const DWORD pageCmd = 4294967295u;
    ASSERT_EQ(codec.WritePipeMessage(ends.server.get(), static_cast<int>(pageCmd), 7, L"x"), 0);
    EXPECT_EQ(ClientBytes(ends.client.get()), std::string("CmdID=-1&&&&SerialNum=7&&&&Params=x") + '\0');
}

TEST(PipeCodec, WritesCharactersOutsideTheCodePageAsItsDefaultCharacter)
{
    CPINFO info = {};
    ASSERT_TRUE(::GetCPInfo(CP_ACP, &info));
    if (info.MaxCharSize > 1) GTEST_SKIP() << "the ANSI code page " << ::GetACP() << " holds CJK characters";
    CVLPipeMessageCodec codec;
    PipeEnds ends = MakePipe(PIPE_ACCESS_OUTBOUND);
    ASSERT_EQ(codec.WritePipeMessage(ends.server.get(), 2, 0, L"Name=\u6F22!"), 0);
    const std::string expected = std::string("CmdID=2&&&&SerialNum=0&&&&Params=Name=") +
                                 static_cast<char>(info.DefaultChar[0]) + "!" + '\0';
    EXPECT_EQ(ClientBytes(ends.client.get()), expected);
    EXPECT_EQ(info.DefaultChar[0], '?');
}

TEST(PipeCodec, RefusesAMessageThatDoesNotFitAndWritesNothing)
{
    CVLPipeMessageCodec codec;
    PipeEnds ends = MakePipe(PIPE_ACCESS_OUTBOUND);
    const std::size_t head = std::string("CmdID=162&&&&SerialNum=0&&&&Params=").size();
    const std::wstring fits(kMaxMessageTextBytes - head, L'v');

    ASSERT_EQ(codec.WritePipeMessage(ends.server.get(), 162, 0, fits), 0);
    EXPECT_EQ(ClientBytes(ends.client.get()).size(), kMaxMessageTextBytes + 1);

    EXPECT_EQ(codec.WritePipeMessage(ends.server.get(), 162, 0, fits + L"v"), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(ClientBytes(ends.client.get()), "");
}

TEST(PipeCodec, ReturnsEveryMessageThatArrivedInOneRead)
{
    CVLPipeMessageCodec codec;
    PipeEnds ends = MakePipe(PIPE_ACCESS_INBOUND);
    const std::string answer = std::string("CmdID=162&&&&SerialNum=0&&&&Params=RetData=OK") + '\0';
    ASSERT_TRUE(ClientWrite(ends.client.get(), kEcho + answer));
    EXPECT_EQ(ReadText(codec, ends.server.get()), kEchoRead);
    EXPECT_EQ(ReadText(codec, ends.server.get()), L"CmdID=162 SerialNum=0 Params=RetData=OK");
    EXPECT_EQ(Read(codec, ends.server.get()).status, ERROR_NO_DATA);
}

TEST(PipeCodec, ReturnsASplitMessageOnceItsNulHasArrived)
{
    CVLPipeMessageCodec codec;
    PipeEnds ends = MakePipe(PIPE_ACCESS_INBOUND);
    ASSERT_TRUE(ClientWrite(ends.client.get(), kEcho.substr(0, 12)));
    EXPECT_EQ(Read(codec, ends.server.get()).status, ERROR_NO_DATA);
    ASSERT_TRUE(ClientWrite(ends.client.get(), kEcho.substr(12)));
    EXPECT_EQ(ReadText(codec, ends.server.get()), kEchoRead);
}

TEST(PipeCodec, ForgetsThePartOfAMessageKeptForAPipeThatIsClosed)
{
    CVLPipeMessageCodec codec;
    PipeEnds ends = MakePipe(PIPE_ACCESS_INBOUND);
    ASSERT_TRUE(ClientWrite(ends.client.get(), "CmdID=77&&&&Serial"));
    EXPECT_EQ(Read(codec, ends.server.get()).status, ERROR_NO_DATA);
    // The same handle value now stands for a new pipe: nothing of the old one may stick to it.
    codec.ForgetPipe(ends.server.get());
    ASSERT_TRUE(ClientWrite(ends.client.get(), kEcho));
    EXPECT_EQ(ReadText(codec, ends.server.get()), kEchoRead);
}

TEST(PipeCodec, DropsAMalformedMessageAndReadsTheNextOne)
{
    CVLPipeMessageCodec codec;
    PipeEnds ends = MakePipe(PIPE_ACCESS_INBOUND);
    ASSERT_TRUE(ClientWrite(ends.client.get(), std::string("SerialNum=5&&&&Params=x") + '\0' + kEcho));
    EXPECT_EQ(Read(codec, ends.server.get()).status, kMalformedMessage);
    EXPECT_EQ(ReadText(codec, ends.server.get()), kEchoRead);
}

TEST(PipeCodec, CutsTheParametersToTheCallersBufferAndTerminatesThem)
{
    CVLPipeMessageCodec codec;
    PipeEnds ends = MakePipe(PIPE_ACCESS_INBOUND);
    ASSERT_TRUE(ClientWrite(ends.client.get(), kEcho));
    int cmdId = 0;
    int serialNum = 0;
    wchar_t params[4] = {L'x', L'x', L'x', L'x'};
    ASSERT_EQ(codec.ReadPipeMessage(ends.server.get(), cmdId, serialNum, params, 4), 0);
    EXPECT_EQ(std::wstring(params), L"don");
}
