// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "playback/Notifications.h"
#include "playback/StatusQuery.h"

#include "QtPrint.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

TEST(Notifications, MessageFormats)
{
    EXPECT_EQ(CommandRunMessage(5, -1), "5");
    EXPECT_EQ(CommandRunMessage(5, 2), "5 2");
    EXPECT_EQ(ErrorQueryMessage(12, QStringLiteral("80, Идет печать предыдущей команды")),
              "12 80, Идет печать предыдущей команды");
    EXPECT_EQ(ErrorMessage(7, -1, QStringLiteral("80, Идет печать")), "7 -1 80, Идет печать");
    EXPECT_EQ(ErrorMessage(7, 3, QStringLiteral("80, Идет печать")), "7 3 80, Идет печать");
}

TEST(Notifications, CommandRunReadBack)
{
    EXPECT_FALSE(ParseCommandRunMessage({}));
    const auto once = ParseCommandRunMessage(QStringLiteral("5"));
    ASSERT_TRUE(once);
    EXPECT_EQ(once->Index, 5);
    EXPECT_EQ(once->Cycle, -1);
    const auto loop = ParseCommandRunMessage(QStringLiteral("5 2"));
    ASSERT_TRUE(loop);
    EXPECT_EQ(loop->Cycle, 2);
}

TEST(Notifications, ErrorReadBackKeepsTheWholeText)
{
    const auto notice = ParseErrorMessage(QStringLiteral("7 3 80, Идет печать предыдущей команды"));
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->Index, 7);
    EXPECT_EQ(notice->Cycle, 3);
    EXPECT_EQ(notice->Text, "80, Идет печать предыдущей команды");
    const auto negative = ParseErrorMessage(QStringLiteral("-2 -1"));
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->Index, 0);
    EXPECT_EQ(negative->Cycle, -1);
    EXPECT_EQ(negative->Text, "");
}

struct TResultCodeCase
{
    const char* Name;
    const char* Message;
    int32_t Code;
};

class ResultCodeTest : public ::testing::TestWithParam<TResultCodeCase>
{
};

TEST_P(ResultCodeTest, ReadsTheCodeBetweenBlankAndComma)
{
    EXPECT_EQ(GetResultCode(QString::fromUtf8(GetParam().Message)), GetParam().Code);
}

INSTANTIATE_TEST_SUITE_P(Notifications, ResultCodeTest,
                         ::testing::Values(TResultCodeCase{"Device", "12 80, Идет печать предыдущей команды", 80},
                                           TResultCodeCase{"Driver", "12 -3, Неподдерживаемый формат данных", -3},
                                           TResultCodeCase{"NoComma", "12 Порт закрыт", -1},
                                           TResultCodeCase{"NotANumber", "12 Порт, закрыт", -1},
                                           TResultCodeCase{"NoBlank", "12,", -1}),
                         kestrun::test::CaseName());

TEST(Notifications, StatusLines)
{
    const QString name = QStringLiteral("Продажа");
    EXPECT_EQ(CommandStatusText(3, 3, 20, name), "Цикл 3 (4/20) Продажа");
    EXPECT_EQ(CommandStatusText(3, -1, 20, name), "(4/20) Продажа");
    EXPECT_EQ(ErrorStatusText(3, -1, 20, name, QStringLiteral("61, Смена не открыта - операция невозможна")),
              "(4/20) Продажа: Ошибка: 61, Смена не открыта - операция невозможна");
    EXPECT_EQ(ErrorStatusText(3, 2, 20, name, QStringLiteral("x")), "Цикл 2 (4/20) Продажа: Ошибка: x");
}

TEST(Notifications, ErrorQuestionWritesRowsAndCodesAsTheWindow)
{
    const QString name = QStringLiteral("Запрос состояния");
    EXPECT_EQ(ResultCodeText(78), "78 (0x4E)");
    EXPECT_EQ(ResultCodeText(5), "5 (0x05)");
    EXPECT_EQ(ResultCodeText(-9), "-9");
    EXPECT_EQ(ErrorQuestionText(1, name, 74, QStringLiteral("74, Ошибка ОЗУ")),
              "Ошибка: строка 2 (Запрос состояния): 74 (0x4A), Ошибка ОЗУ\r\nПродолжить?");
    EXPECT_EQ(ErrorQuestionText(0, name, -9, QStringLiteral("-9, Нет ответа")),
              "Ошибка: строка 1 (Запрос состояния): -9, Нет ответа\r\nПродолжить?");
    // A failed call's message is shown as it is.
    EXPECT_EQ(ErrorQuestionText(4, name, 0, QStringLiteral("5, сбой")),
              "Ошибка: строка 5 (Запрос состояния): 5, сбой\r\nПродолжить?");
}

TEST(StatusQuery, ResultLine)
{
    EXPECT_EQ(DriverResultText(QStringLiteral("Запрос состояния"), 0, QStringLiteral("Ошибок нет")),
              "Запрос состояния: Успешно");
    EXPECT_EQ(DriverResultText(QStringLiteral("Запрос состояния"), 5, QStringLiteral("текст")),
              "Запрос состояния: Ошибка: 5, текст");
}

} // namespace
} // namespace kestrun::test
