// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/BinStream.h"
#include "log/Exception.h"

#include <gtest/gtest.h>

using namespace kestrun;

namespace {

TEST(BinStreamTest, EmptyStream)
{
    const IBinStreamPtr s = TBinStream::Create({});
    EXPECT_EQ(s->Size(), 0);
    EXPECT_EQ(s->Remaining(), 0);
    EXPECT_TRUE(s->ReadString().isEmpty());
    EXPECT_TRUE(s->ReadString(4).isEmpty());
    EXPECT_EQ(s->ReadBytes(2), QByteArray(2, '\0'));
    EXPECT_TRUE(s->ReadBytes(0).isEmpty());
    EXPECT_EQ(s->ReadByte(), 0);
    EXPECT_EQ(s->ReadUInt32(), 0u);
    EXPECT_EQ(s->ReadTime(), 0.0);
    EXPECT_THROW(s->ReadDate(), Exception);
}

TEST(BinStreamTest, LittleEndianReads)
{
    const IBinStreamPtr s = TBinStream::Create(QByteArray("\x34\x12\x56", 3));
    EXPECT_EQ(s->ReadUInt16(), 0x1234);
    EXPECT_EQ(s->Remaining(), 1);
    EXPECT_EQ(s->ReadByte(), 0x56);
    EXPECT_EQ(s->Remaining(), 0);
}

TEST(BinStreamTest, IntegersBothWays)
{
    const QByteArray bytes("\x01\x02\x03\x04\x05", 5);
    EXPECT_EQ(TBinStream::Create(bytes)->ReadInt(5), 0x0504030201);
    EXPECT_EQ(TBinStream::Create(bytes)->ReadIntRev(5), 0x0102030405);
    EXPECT_EQ(TBinStream::Create(QByteArray("\x12\x34", 2))->ReadIntRev(2), 0x1234);
    EXPECT_EQ(TBinStream::Create(QByteArray("\x12", 1))->ReadIntRev(2), 0x1200);
    EXPECT_EQ(TBinStream::Create(QByteArray("\x12", 1))->ReadInt(3), 0x12);
    EXPECT_EQ(TBinStream::Create(QByteArray(8, '\xFF'))->ReadInt(8), -1);
}

TEST(BinStreamTest, ShortStringIsPadded)
{
    const IBinStreamPtr s = TBinStream::Create("ab");
    s->ReadByte();
    EXPECT_EQ(s->ReadString(3), QByteArray("b\0\0", 3));
}

TEST(BinStreamTest, DatesAndTimes)
{
    EXPECT_EQ(TBinStream::Create("\x1F\x0C\x18")->ReadDate(), EncodeDate(2024, 12, 31));
    EXPECT_EQ(TBinStream::Create("\x17\x3B\x3B")->ReadTime(), EncodeTime(23, 59, 59));
    try {
        TBinStream::Create("\x1F\x02\x18")->ReadDate();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid argument to date encode"));
    }
    try {
        TBinStream::Create("\x18\x00\x00")->ReadTime();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid argument to time encode"));
    }
}

TEST(BinStreamTest, DataReadTwiceLeavesPositionAtEnd)
{
    const IBinStreamPtr s = TBinStream::Create("\xAA\xBB");
    EXPECT_EQ(s->Data(), "\xAA\xBB");
    EXPECT_EQ(s->DataAsStr(), "\xAA\xBB");
    EXPECT_EQ(s->Remaining(), 0);
}

TEST(BinStreamTest, SetDataReplacesContentAndRewinds)
{
    const IBinStreamPtr s = TBinStream::Create("abc");
    s->ReadByte();
    s->SetData("de");
    EXPECT_EQ(s->Size(), 2);
    EXPECT_EQ(s->ReadChar(), 'd');
    s->SetData({});
    EXPECT_EQ(s->Size(), 0);
    EXPECT_EQ(s->Remaining(), 0);
}

} // namespace
