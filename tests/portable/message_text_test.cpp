#include "kernel_link/portable/message_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace vl;

TEST(KernelMessageFormat, WritesTheFieldsAsSignedDecimals)
{
    EXPECT_EQ(FormatKernelMessage(1, 0, ""), "CmdID=1&&&&SerialNum=0&&&&Params=");
    EXPECT_EQ(FormatKernelMessage(162, 0, "Key=a&&&&Value=b"), "CmdID=162&&&&SerialNum=0&&&&Params=Key=a&&&&Value=b");
    // A page's unsigned 4,294,967,295 travels as its two's-complement negative.
    EXPECT_EQ(FormatKernelMessage(static_cast<std::int32_t>(4294967295u), 7, "x"),
              "CmdID=-1&&&&SerialNum=7&&&&Params=x");
}

TEST(KernelMessageFormat, RefusesWhatWouldNotBeOneWholeMessageInsteadOfCuttingIt)
{
    const std::string head = "CmdID=162&&&&SerialNum=0&&&&Params=";
    const std::string fits(kMaxMessageTextBytes - head.size(), 'v');
    ASSERT_TRUE(FormatKernelMessage(162, 0, fits));
    EXPECT_EQ(FormatKernelMessage(162, 0, fits)->size(), kMaxMessageTextBytes);
    EXPECT_FALSE(FormatKernelMessage(162, 0, fits + "v"));
    // A NUL anywhere in the parameters would make a second message of the rest.
    const std::string withNul[] = {std::string(1, '\0'), std::string("Key=a\0CmdID=1", 13), std::string("v\0", 2)};
    for (const std::string& params : withNul) EXPECT_FALSE(FormatKernelMessage(162, 0, params)) << params.size();
}

TEST(KernelMessageKeys, FindsTheFirstOccurrenceUpToTheSeparator)
{
    EXPECT_EQ(GetKeyValue(L"Key=1&&&&Value=2", L"Value"), L"2");
    EXPECT_EQ(GetKeyValue(L"Key=1&&&&Value=2", L"Key="), L"1");
    EXPECT_EQ(GetKeyValue(L"Key=1&&&&Value=2", L"Other"), L"");
    // Not anchored to a field start: "Key=" is found inside "MyKey=".
    EXPECT_EQ(GetKeyValue(L"MyKey=1&&&&Key=2", L"Key"), L"1");
    EXPECT_EQ(GetKeyValue(L"RetData=", L"RetData="), L"");
    EXPECT_EQ(GetKeyValue(L"", L""), L"");
}

TEST(KernelMessageParse, TakesLeadingDigitsAndKeepsTheWholeParameterText)
{
    auto m = ParseKernelMessage(L"CmdID=7x&&&&SerialNum= 12&&&&Params=RetData=ok");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->cmdId, 7);
    EXPECT_EQ(m->serialNum, 12);
    EXPECT_EQ(m->params, L"RetData=ok");

    m = ParseKernelMessage(L"CmdID=162&&&&SerialNum=0&&&&Params=Key=a&&&&Value=b");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->params, L"Key=a&&&&Value=b");

    m = ParseKernelMessage(L"CmdID=abc&&&&SerialNum=-3&&&&Params=");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->cmdId, 0);
    EXPECT_EQ(m->serialNum, -3);
    EXPECT_EQ(m->params, L"");

    m = ParseKernelMessage(L"CmdID=4294967297&&&&SerialNum=+5");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->cmdId, 1); // wraps modulo 2^32
    EXPECT_EQ(m->serialNum, 5);
    EXPECT_EQ(m->params, L""); // no "Params=" at all: no parameters
}

TEST(KernelMessageParse, RejectsAMissingOrEmptyCmdIdOrSerialNum)
{
    EXPECT_FALSE(ParseKernelMessage(L"SerialNum=5&&&&Params=x"));
    EXPECT_FALSE(ParseKernelMessage(L"CmdID=&&&&SerialNum=5&&&&Params=x"));
    EXPECT_FALSE(ParseKernelMessage(L"CmdID=5&&&&Params=x"));
    EXPECT_FALSE(ParseKernelMessage(L""));
}

TEST(MessageFramerTest, KeepsEveryMessageOfOneReadAndWaitsForAPartialOne)
{
    MessageFramer framer;
    const char bytes[] = "CmdID=2&&&&SerialNum=1&&&&Params=a\0CmdID=2&&&&SerialNum=2&&&&Params=b\0CmdID=2&&&";
    framer.Append(bytes, sizeof bytes - 1);
    EXPECT_EQ(framer.Next(), "CmdID=2&&&&SerialNum=1&&&&Params=a");
    EXPECT_EQ(framer.Next(), "CmdID=2&&&&SerialNum=2&&&&Params=b");
    EXPECT_FALSE(framer.Next());
    EXPECT_FALSE(framer.Empty());
    const char rest[] = "&SerialNum=3&&&&Params=c";
    framer.Append(rest, sizeof rest); // with its NUL
    EXPECT_EQ(framer.Next(), "CmdID=2&&&&SerialNum=3&&&&Params=c");
    EXPECT_TRUE(framer.Empty());
}

TEST(MessageFramerTest, BoundsARunWithoutNul)
{
    MessageFramer framer;
    const std::string run(kPipeBufferSize + 10, 'x');
    framer.Append(run.data(), run.size());
    const auto first = framer.Next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), kPipeBufferSize);
    EXPECT_FALSE(framer.Next());
}
