// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "log/Bytes.h"
#include "log/Frames.h"

#include <gtest/gtest.h>

namespace kestrun {
namespace {

// One frame's bytes, and what the request and answer rules read of them.
struct FrameCase
{
    const char* Name;
    QByteArray Hex;
    uint16_t Code;
    qsizetype CodeSize;
    qsizetype EchoedSize;
    int ErrorByte;
};

class FrameFacts : public testing::TestWithParam<FrameCase> {};

TEST_P(FrameFacts, CodeAndErrorByte)
{
    const QByteArray bytes = HexToStr(GetParam().Hex);
    EXPECT_EQ(CommandCodeOf(bytes), GetParam().Code);
    EXPECT_EQ(CommandCodeSize(bytes), GetParam().CodeSize);
    EXPECT_EQ(EchoedCodeSize(bytes), GetParam().EchoedSize);
    EXPECT_EQ(AnswerErrorByte(bytes), GetParam().ErrorByte);
}

INSTANTIATE_TEST_SUITE_P(Frames, FrameFacts, testing::Values(
    FrameCase{"Empty", "", 0, 0, 0, -1},
    FrameCase{"OneByteCode", "10 00 1E", 0x10, 1, 1, 0},
    FrameCase{"OneByteCodeAlone", "10", 0x10, 1, 1, -1},
    FrameCase{"PrefixFF", "FF 45 37", 0xFF45, 2, 2, 0x37},
    FrameCase{"PrefixFFAlone", "FF", 0xFF00, 1, 2, -1},
    FrameCase{"PrefixFFWithoutErrorByte", "FF 45", 0xFF45, 2, 2, -1},
    // FE makes a two-byte code of a request, but an answer echoes only the FE.
    FrameCase{"PrefixFE", "FE F3 00", 0xFEF3, 2, 1, 0xF3}
), kestrun::test::CaseName());

TEST(FrameFacts, ErrorAnswerEchoesThePrefix)
{
    EXPECT_EQ(ErrorAnswer(HexToStr("FF 45 01 02"), 0x37), HexToStr("FF 45 37"));
    EXPECT_EQ(ErrorAnswer(HexToStr("FE F3 01"), 0x10), HexToStr("FE 10"));
    EXPECT_EQ(ErrorAnswer(QByteArray(), 0x01), HexToStr("01"));
}

} // namespace
} // namespace kestrun
