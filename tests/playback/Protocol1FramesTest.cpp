// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "QtPrint.h"
#include "playback/Protocol1Frames.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

// The bytes after an STX, fed one by one: the outcome of the last, the data read and what the
// assembler waits for next.
struct TAssemblerCase
{
    const char* Name;
    const char* Bytes; // hex
    TFrameAssembler::TResult Result;
    const char* Data; // hex
    TFrameAssembler::TPart Next;
};

class FrameAssembler : public ::testing::TestWithParam<TAssemblerCase>
{
};

TEST_P(FrameAssembler, ReadsTheFrame)
{
    const TAssemblerCase& c = GetParam();
    const QByteArray bytes = QByteArray::fromHex(c.Bytes);
    TFrameAssembler frame;
    frame.Start();
    TFrameAssembler::TResult result = TFrameAssembler::frMore;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        ASSERT_EQ(result, TFrameAssembler::frMore) << "the frame ended before byte " << i;
        result = frame.Feed(static_cast<uint8_t>(bytes[i]));
    }
    EXPECT_EQ(result, c.Result);
    EXPECT_EQ(frame.Data(), QByteArray::fromHex(c.Data));
    EXPECT_EQ(frame.Next(), c.Next);
    EXPECT_EQ(frame.Reading(), c.Next != TFrameAssembler::fpNone);
}

// LRCs: 03 10 AA BB gives 02, 04 02 05 06 15 gives 10.
INSTANTIATE_TEST_SUITE_P(
    Protocol1, FrameAssembler,
    ::testing::Values(
        TAssemblerCase{"Whole", "0310AABB02", TFrameAssembler::frGood, "10AABB", TFrameAssembler::fpNone},
        TAssemblerCase{"Empty", "0000", TFrameAssembler::frGood, "", TFrameAssembler::fpNone},
        TAssemblerCase{"BadLrc", "0310AABB03", TFrameAssembler::frBadLrc, "10AABB", TFrameAssembler::fpNone},
        // No escaping: STX, ENQ, ACK and NAK inside a frame are data, and the length alone ends it.
        TAssemblerCase{"ControlBytesAreData", "040205061510", TFrameAssembler::frGood, "02050615", TFrameAssembler::fpNone},
        TAssemblerCase{"LengthOnly", "03", TFrameAssembler::frMore, "", TFrameAssembler::fpData},
        TAssemblerCase{"ShortData", "0310AA", TFrameAssembler::frMore, "10AA", TFrameAssembler::fpData},
        TAssemblerCase{"NoLrc", "0310AABB", TFrameAssembler::frMore, "10AABB", TFrameAssembler::fpLrc},
        TAssemblerCase{"NothingYet", "", TFrameAssembler::frMore, "", TFrameAssembler::fpLength}),
    CaseName());

TEST(FrameAssembler, LongestFrame)
{
    const QByteArray data(MaxFrameData, char(0x5A));
    const QByteArray frame = Protocol1Frame(data);
    TFrameAssembler assembler;
    assembler.Start();
    TFrameAssembler::TResult result = TFrameAssembler::frMore;
    for (qsizetype i = 1; i < frame.size(); ++i)
        result = assembler.Feed(static_cast<uint8_t>(frame[i]));
    EXPECT_EQ(result, TFrameAssembler::frGood);
    EXPECT_EQ(assembler.Data(), data);
}

TEST(FrameAssembler, StartForgetsTheFrameBefore)
{
    TFrameAssembler frame;
    frame.Start();
    for (const char c : QByteArray::fromHex("0310AA"))
        frame.Feed(static_cast<uint8_t>(c));
    frame.Start();
    for (const char c : QByteArray::fromHex("011011"))
        frame.Feed(static_cast<uint8_t>(c));
    EXPECT_EQ(frame.Data(), QByteArray::fromHex("10"));
    EXPECT_FALSE(frame.Reading());
}

TEST(FrameAssembler, ResetEndsTheFrame)
{
    TFrameAssembler frame;
    frame.Start();
    frame.Feed(0x03);
    frame.Feed(0x10);
    frame.Reset();
    EXPECT_FALSE(frame.Reading());
    EXPECT_TRUE(frame.Data().isEmpty());
}

} // namespace
} // namespace kestrun::test
