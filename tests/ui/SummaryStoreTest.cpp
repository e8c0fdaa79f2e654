// SPDX-License-Identifier: GPL-3.0-or-later
#include "SummaryStore.h"

#include <gtest/gtest.h>

using namespace kestrun;

namespace {

class SummaryStoreTest : public ::testing::Test
{
protected:
    void SetUp() override { FStore.Resize(3); }

    TSummaryStore FStore;
};

TEST_F(SummaryStoreTest, UnknownUntilSet)
{
    EXPECT_FALSE(FStore.Get(0).has_value());
    FStore.Set(0, QString());
    ASSERT_TRUE(FStore.Get(0).has_value());
    EXPECT_TRUE(FStore.Get(0)->isEmpty());
    EXPECT_FALSE(FStore.Get(1).has_value());
}

TEST_F(SummaryStoreTest, TextsReadBackAsSet)
{
    // A long text and short ones, in one byte a letter or not, must come back whole.
    const QString longText = QStringLiteral("1021,КАССИР:Кассир Иванова А.П.     ").repeated(40);
    FStore.Set(0, QStringLiteral("ПРОДАЖА 528.40X1.000 Молоко 3,2% 1 л"));
    FStore.Set(1, longText);
    FStore.Set(2, QStringLiteral("2 [Открытая смена]"));
    // Characters Windows-1251 lacks, and a '?' of its own next to them.
    const QString beyond = QStringLiteral("Итого? 100 ₽ ✓ 日本");
    FStore.Resize(4);
    FStore.Set(3, beyond);
    EXPECT_EQ(FStore.Get(3), beyond);
    FStore.Set(3, beyond.repeated(40));
    EXPECT_EQ(FStore.Get(3), beyond.repeated(40));
    EXPECT_EQ(FStore.Get(0), QStringLiteral("ПРОДАЖА 528.40X1.000 Молоко 3,2% 1 л"));
    EXPECT_EQ(FStore.Get(1), longText);
    EXPECT_EQ(FStore.Get(2), QStringLiteral("2 [Открытая смена]"));
}

TEST_F(SummaryStoreTest, ForgottenTextIsMadeAgainWithoutDisturbingOthers)
{
    FStore.Set(0, QStringLiteral("первый"));
    FStore.Set(1, QStringLiteral("второй"));
    FStore.Forget(0);
    EXPECT_FALSE(FStore.Get(0).has_value());
    FStore.Set(0, QStringLiteral("короче"));
    EXPECT_EQ(FStore.Get(0), QStringLiteral("короче"));
    FStore.Set(0, QStringLiteral("а теперь текст длиннее прежнего"));
    EXPECT_EQ(FStore.Get(0), QStringLiteral("а теперь текст длиннее прежнего"));
    EXPECT_EQ(FStore.Get(1), QStringLiteral("второй"));
}

TEST_F(SummaryStoreTest, GrowsForAppendedCommands)
{
    FStore.Set(2, QStringLiteral("x"));
    FStore.Resize(5);
    EXPECT_EQ(FStore.Size(), 5u);
    EXPECT_EQ(FStore.Get(2), QStringLiteral("x"));
    EXPECT_FALSE(FStore.Get(4).has_value());
}

TEST(SummaryStoreBlocks, TextsOverManyBlocksReadBackInAnyOrder)
{
    // Far more text than one block holds, so most texts are read from packed blocks, and
    // reading them out of order unpacks block after block.
    constexpr size_t Count = 20000;
    const auto text = [](size_t k) {
        const QString line = QStringLiteral("%1 [Открытая смена; 24 часа не кончились] %2").arg(k).arg(QString(int(k % 97), u'ж'));
        // Now and then a long one, as a fiscal document's fields are.
        return k % 50 == 0 ? line.repeated(10) : line;
    };
    TSummaryStore store;
    store.Resize(Count);
    for (size_t k = 0; k < Count; ++k)
        store.Set(k, text(k));
    // Made again after the blocks were sealed: the new text wins.
    store.Forget(3);
    EXPECT_FALSE(store.Has(3));
    store.Set(3, QStringLiteral("после повтора"));
    store.Set(Count - 1, QStringLiteral("последний ✓"));
    const auto expected = [&](size_t command) {
        return command == 3 ? QStringLiteral("после повтора")
               : command == Count - 1 ? QStringLiteral("последний ✓")
                                      : text(command);
    };
    // Scattered reads unpack a block each; a pass in order reads every text.
    for (size_t k = 0; k < 500; ++k) {
        const size_t command = (k * 7919) % Count;
        ASSERT_EQ(store.Get(command), expected(command)) << command;
    }
    for (size_t command = 0; command < Count; ++command)
        ASSERT_EQ(store.Get(command), expected(command)) << command;
}

} // namespace
