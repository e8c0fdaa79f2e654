// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "decode/CommandCatalogue.h"
#include "log/Codepages.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace kestrun {
namespace {

const QString Unknown = QStringLiteral("Неизвестная команда");

struct CodeCase
{
    const char* Name;
    uint16_t Code;
    QString Expected;
};

class NameByCode : public testing::TestWithParam<CodeCase> {};

TEST_P(NameByCode, GivesCatalogueText)
{
    EXPECT_EQ(GetCommandNameByCode(GetParam().Code), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, NameByCode, testing::Values(
    CodeCase{"Zero", 0x0000, Unknown},
    CodeCase{"First", 0x0001, QStringLiteral("Запрос дампа")},
    CodeCase{"GapBefore0D", 0x0004, Unknown},
    CodeCase{"Last0x", 0x000F, QStringLiteral("Запрос длинного заводского номера")},
    CodeCase{"Last2x", 0x002F, QStringLiteral("Печать строки данным шрифтом")},
    CodeCase{"Gap30", 0x0030, Unknown},
    CodeCase{"Gap44", 0x0044, Unknown},
    CodeCase{"Gap4C", 0x004C, Unknown},
    CodeCase{"Graphics4F", 0x004F, QStringLiteral("Печать графики с масштабированием")},
    CodeCase{"Gap55", 0x0055, Unknown},
    CodeCase{"Gap58", 0x0058, Unknown},
    CodeCase{"Gap5F", 0x005F, Unknown},
    CodeCase{"Serial60", 0x0060, QStringLiteral("Ввод заводского номера")},
    CodeCase{"Gap8E", 0x008E, Unknown},
    CodeCase{"Fuel90", 0x0090, QStringLiteral("Формирование чека отпуска нефтепродуктов в режиме предоплаты заданной дозы")},
    CodeCase{"EklzBC", 0x00BC, QStringLiteral("Вернуть ошибку ЭКЛЗ")},
    CodeCase{"OpenShiftE0", 0x00E0, QStringLiteral("Открытие смены")},
    CodeCase{"OneByteFE", 0x00FE, QStringLiteral("Сервисная команда")},
    CodeCase{"OneByteFF", 0x00FF, Unknown},
    CodeCase{"NoPrefixMasking", 0x0145, Unknown},
    CodeCase{"FE00", 0xFE00, Unknown},
    CodeCase{"FE03", 0xFE03, QStringLiteral("Загрузка символа шрифта")},
    CodeCase{"FEF5SharesText", 0xFEF5, QStringLiteral("Ввод заводского номера")},
    CodeCase{"FEFF", 0xFEFF, Unknown},
    CodeCase{"FF00", 0xFF00, Unknown},
    CodeCase{"FF01", 0xFF01, QStringLiteral("Запрос статуса ФН")},
    CodeCase{"DoubleBlankFF39", 0xFF39, QStringLiteral("Получить статус информационного  обмена")},
    CodeCase{"TrailingBlankFF60", 0xFF60, QStringLiteral("Запрос параметра фискализации ")},
    CodeCase{"DoubleBlankFF61", 0xFF61, QStringLiteral("Проверка  маркированного товара")},
    CodeCase{"LastFF76", 0xFF76, QStringLiteral("Закрытие чека расширенное вариант V3")},
    CodeCase{"FF77", 0xFF77, Unknown},
    CodeCase{"FFFF", 0xFFFF, Unknown}),
    kestrun::test::CaseName());

struct DataCase
{
    const char* Name;
    QByteArray Data;
    QString Expected;
};

class NameByData : public testing::TestWithParam<DataCase> {};

TEST_P(NameByData, ReadsCodeFromHexText)
{
    EXPECT_EQ(GetCommandNameByData(GetParam().Data), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, NameByData, testing::Values(
    DataCase{"Empty", "", Unknown},
    DataCase{"Unreadable", "zz 10", Unknown},
    DataCase{"OneByte", "10 1E 00 00 00", QStringLiteral("Короткий запрос состояния")},
    DataCase{"LoneFE", "FE", Unknown},
    DataCase{"LoneFF", "FF", Unknown},
    DataCase{"LowerCase", "ff 45", QStringLiteral("Закрытие чека расширенное вариант V2")},
    DataCase{"FEPrefix", "FE F5 00", QStringLiteral("Ввод заводского номера")},
    DataCase{"StopsAtInvalidToken", "FF xx 45", Unknown}),
    kestrun::test::CaseName());

TCommand Record(TProtocol protocol, QByteArray data, QString attributes = {})
{
    TCommand command;
    command.Protocol = protocol;
    command.SetData(std::move(data));
    command.SetAttributes(UnicodeToCp1251(attributes));
    return command;
}

TEST(CommandName, EmptyProtocol2FrameIsSync)
{
    EXPECT_EQ(GetCommandName(Record(TProtocol::pProtocol2, "")), QStringLiteral("Sync"));
    EXPECT_EQ(GetCommandName(Record(TProtocol::pProtocol1, "")), Unknown);
    EXPECT_EQ(GetCommandName(Record(TProtocol::pProtocol2, "11 1E 00 00 00")), QStringLiteral("Запрос состояния"));
}

struct MatchCase
{
    const char* Name;
    TCommand Command;
    QString Search;
    bool Expected;
};

class Matches : public testing::TestWithParam<MatchCase> {};

TEST_P(Matches, SearchesAttributesAndName)
{
    EXPECT_EQ(CommandMatches(GetParam().Command, GetParam().Search), GetParam().Expected);
}

const TCommand Status = Record(TProtocol::pProtocol1, "10 1E 00 00 00", QStringLiteral("[10:21:33.125] [Поток-7] "));

INSTANTIATE_TEST_SUITE_P(Search, Matches, testing::Values(
    MatchCase{"EmptyText", Status, QString(), false},
    MatchCase{"NameCyrillicUpperCase", Status, QStringLiteral("КОРОТКИЙ ЗАПРОС"), true},
    MatchCase{"NameMixedCase", Status, QStringLiteral("зАпРоС"), true},
    MatchCase{"Time", Status, QStringLiteral("10:21:33"), true},
    MatchCase{"Cp1251AttributesFolded", Status, QStringLiteral("поток-7"), true},
    MatchCase{"RequestBytesNotSearched", Status, QStringLiteral("1E 00"), false},
    MatchCase{"Absent", Status, QStringLiteral("Гудок"), false},
    MatchCase{"SyncName", Record(TProtocol::pProtocol2, ""), QStringLiteral("SYNC"), true}),
    kestrun::test::CaseName());

TEST(Search, FoldsCyrillicUnderRussianLocale)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const bool matched = CommandMatches(Status, QStringLiteral("СОСТОЯНИЯ"));
    QLocale::setDefault(QLocale::c());
    EXPECT_TRUE(matched);
}

} // namespace
} // namespace kestrun

namespace kestrun {
namespace {

struct FiscalCase
{
    const char* Name;
    TProtocol Protocol;
    QByteArray Data;
    bool Changes;
};

class FiscalState : public testing::TestWithParam<FiscalCase> {};

TEST_P(FiscalState, ComesFromTheCatalogue)
{
    TCommand command;
    command.Protocol = GetParam().Protocol;
    command.SetData(GetParam().Data);
    EXPECT_EQ((CommandProperties(command) & cpChangesFiscalState) != 0, GetParam().Changes);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, FiscalState, testing::Values(
    FiscalCase{"Sale", TProtocol::pProtocol1, "80 1E 00 00 00", true},
    FiscalCase{"ReturnOfSale", TProtocol::pProtocol1, "82 1E 00 00 00", true},
    FiscalCase{"CloseReceipt", TProtocol::pProtocol1, "85 1E 00 00 00", true},
    FiscalCase{"CancelReceipt", TProtocol::pProtocol1, "88 1E 00 00 00", true},
    FiscalCase{"OpenShift", TProtocol::pProtocol1, "E0 1E 00 00 00", true},
    FiscalCase{"ZReport", TProtocol::pProtocol1, "41 1E 00 00 00", true},
    FiscalCase{"CloseShiftInFN", TProtocol::pProtocol1, "FF 43 1E 00 00 00", true},
    FiscalCase{"CloseReceiptV2", TProtocol::pProtocol1, "FF 45 1E 00 00 00", true},
    FiscalCase{"OperationV2", TProtocol::pProtocol1, "FF 46 1E 00 00 00", true},
    FiscalCase{"CorrectionV2", TProtocol::pProtocol1, "FF 4A 1E 00 00 00", true},
    FiscalCase{"CloseReceiptV3", TProtocol::pProtocol1, "FF 76 1E 00 00 00", true},
    FiscalCase{"ShortStatus", TProtocol::pProtocol1, "10 1E 00 00 00", false},
    FiscalCase{"Status", TProtocol::pProtocol1, "11 1E 00 00 00", false},
    FiscalCase{"XReport", TProtocol::pProtocol1, "40 1E 00 00 00", false},
    FiscalCase{"Subtotal", TProtocol::pProtocol1, "89 1E 00 00 00", false},
    FiscalCase{"FNStatus", TProtocol::pProtocol1, "FF 01 1E 00 00 00", false},
    FiscalCase{"FindDocument", TProtocol::pProtocol1, "FF 0A 1E 00 00 00", false},
    FiscalCase{"Unknown", TProtocol::pProtocol1, "FF 77", false},
    FiscalCase{"Sync", TProtocol::pProtocol2, "", false}),
    kestrun::test::CaseName());

struct PropertyCase
{
    const char* Name;
    uint16_t Code;
    TCommandProperties Expected;
};

class CatalogueProperties : public testing::TestWithParam<PropertyCase> {};

// What else than its name the catalogue tells of a code, one column of its row each.
TEST_P(CatalogueProperties, AreTheRowsColumns)
{
    EXPECT_EQ(CommandProperties(GetParam().Code), GetParam().Expected);
}

constexpr TCommandProperties Waits = cpPrints | cpPlayerWaits;

INSTANTIATE_TEST_SUITE_P(Catalogue, CatalogueProperties, testing::Values(
    PropertyCase{"ShortStatusIsAPoll", 0x10, cpStatusPoll},
    PropertyCase{"StatusIsAPoll", 0x11, cpStatusPoll},
    PropertyCase{"StatusOfTheDispenserIsNoPoll", 0x9F, 0},
    PropertyCase{"FNStatusIsNoPoll", 0xFF01, 0},
    PropertyCase{"PrintedLine", 0x17, cpPrints},
    PropertyCase{"LineInAFont", 0x2F, cpPrints | cpFixedFontData},
    PropertyCase{"XReport", 0x40, Waits},
    PropertyCase{"ZReport", 0x41, cpChangesFiscalState | Waits | cpBold},
    PropertyCase{"OpenShift", 0xE0, cpChangesFiscalState | Waits | cpBold},
    PropertyCase{"CloseReceiptV2", 0xFF45, cpChangesFiscalState | Waits | cpBold},
    PropertyCase{"CorrectionV2", 0xFF4A, cpChangesFiscalState | Waits},
    PropertyCase{"SettlementReport", 0xFF38, cpChangesFiscalState | Waits},
    PropertyCase{"ReregistrationReport", 0xFF34, cpChangesFiscalState | Waits},
    PropertyCase{"RegistrationReport", 0xFF06, cpChangesFiscalState | Waits},
    // These print, yet the player goes straight on after them.
    PropertyCase{"CloseReceiptPrintsWithoutAWait", 0x85, cpChangesFiscalState | cpPrints | cpBold},
    PropertyCase{"CloseReceiptV3PrintsWithoutAWait", 0xFF76, cpChangesFiscalState | cpPrints | cpBold},
    PropertyCase{"Sale", 0x80, cpChangesFiscalState | cpBold},
    PropertyCase{"Subtotal", 0x89, cpBold},
    PropertyCase{"ErrorText", 0x6B, cpRedData},
    PropertyCase{"ServiceCommandOfOneByte", 0xFE, 0},
    PropertyCase{"Unknown", 0x8E, 0}),
    kestrun::test::CaseName());

TEST(CatalogueProperties, SyncFrameHasNone)
{
    TCommand sync;
    sync.Protocol = TProtocol::pProtocol2;
    EXPECT_EQ(CommandProperties(sync), 0);
}

} // namespace
} // namespace kestrun
