// SPDX-License-Identifier: GPL-3.0-or-later
#include "FlagTexts.h"
#include "CaseName.h"
#include "decode/FieldTexts.h"

#include <gtest/gtest.h>

namespace kestrun {
namespace {

struct CodeCase
{
    const char* Name;
    TCodeTable Table;
    int64_t Code;
    QString Expected;
};

class CodeTexts : public testing::TestWithParam<CodeCase> {};

TEST_P(CodeTexts, GivesTextOrFallback)
{
    EXPECT_EQ(CodeText(GetParam().Table, GetParam().Code), GetParam().Expected);
}

using enum TCodeTable;

INSTANTIATE_TEST_SUITE_P(Tables, CodeTexts, testing::Values(
    CodeCase{"FieldTypeStr", ctFieldType, 1, QStringLiteral("Str")},
    CodeCase{"FieldTypeOther", ctFieldType, 2, QStringLiteral("Unknown")},
    CodeCase{"CheckTypeZero", ctCheckType, 0, QStringLiteral("Приход")},
    CodeCase{"CheckTypeOther", ctCheckType, 4, QString()},
    CodeCase{"CheckType2Four", ctCheckType2, 4, QStringLiteral("Возврат расхода")},
    CodeCase{"CheckType2Zero", ctCheckType2, 0, QString()},
    CodeCase{"PaymentTypeSignPercent", ctPaymentTypeSign, 1, QStringLiteral("Предоплата 100%")},
    CodeCase{"PaymentTypeSignOther", ctPaymentTypeSign, 8, QString()},
    CodeCase{"PaymentItemSign27", ctPaymentItemSign, 27, QStringLiteral("Выдача ДС")},
    CodeCase{"PaymentItemSign28", ctPaymentItemSign, 28, QString()},
    CodeCase{"PaymentItemSign33", ctPaymentItemSign, 33, QStringLiteral("ТМ")},
    CodeCase{"PaymentItemSign0", ctPaymentItemSign, 0, QString()},
    CodeCase{"TaxType32", ctTaxType, 32, QStringLiteral("ПСН")},
    CodeCase{"TaxTypeNotBitSet", ctTaxType, 3, QString()},
    CodeCase{"Tax1Three", ctTax1, 3, QString()},
    CodeCase{"Tax1Last", ctTax1, 136, QStringLiteral("НДС 7/107")},
    CodeCase{"PortTcp", ctPortNumber, 2, QStringLiteral("TCP сокет (RNDIS, Ethernet, WI-FI, ppp)")},
    CodeCase{"PortOther", ctPortNumber, 4, QStringLiteral("неизвестный тип")},
    CodeCase{"ItemStatusOther", ctItemStatus, 0, QStringLiteral("Неизвестный статус")},
    CodeCase{"LocalError3", ctCheckItemLocalError, 3, QStringLiteral("Проверка невозможна, так как отсутствуют теги 91 и / или 92 или их формат неверный")},
    CodeCase{"LocalErrorOther", ctCheckItemLocalError, 5, QStringLiteral("неизвестное значение")},
    CodeCase{"MarkingType2Five", ctMarkingType2, 5, QStringLiteral("КМ со значением кода проверки длиной 4 символа, не подлежащим проверке в ФН")},
    CodeCase{"MarkingType2Other", ctMarkingType2, 6, QStringLiteral("неизвестное значение")},
    CodeCase{"MarkingTypeZero", ctMarkingType, 0, QStringLiteral("Нераспознанный код")},
    CodeCase{"MarkingTypeOne", ctMarkingType, 1, QStringLiteral("Неизвестный тип")},
    CodeCase{"MarkingTypeDataMatrix", ctMarkingType, 0x444D, QStringLiteral("Код GS1 Data Matrix")},
    CodeCase{"MarkingTypeLast", ctMarkingType, 0xC51E, QStringLiteral("Код EGAIS 3.0 Data Matrix")},
    CodeCase{"MarkingTypeExGs1", ctMarkingTypeEx, 255, QStringLiteral("GS-1 без маркировки")},
    CodeCase{"MarkingTypeExOther", ctMarkingTypeEx, 4, QString()},
    CodeCase{"SessionOpen", ctFNSessionState, 1, QStringLiteral("Смена открыта")},
    CodeCase{"SessionOther", ctFNSessionState, 2, QStringLiteral("Неизвестное значение")},
    CodeCase{"Document3", ctFNCurrentDocument, 3, QStringLiteral("Неизвестный тип документа")},
    CodeCase{"Document22", ctFNCurrentDocument, 22, QStringLiteral("Неизвестный тип документа")},
    CodeCase{"Document23", ctFNCurrentDocument, 23, QStringLiteral("Отчет о текущем состоянии расчетов")},
    CodeCase{"DocumentDataOther", ctFNDocumentData, 2, QStringLiteral("Неизвестное значение")},
    CodeCase{"ServerTimeout", ctKMServerError, 255, QStringLiteral("Сервер не ответил в течение таймаута")},
    CodeCase{"ServerOther", ctKMServerError, 1, QString()},
    CodeCase{"NegativeCode", ctFieldType, -1, QStringLiteral("Unknown")}),
    kestrun::test::CaseName());

struct BitCase
{
    const char* Name;
    QString (*Text)(uint8_t);
    uint8_t Value;
    QString Expected;
};

class BitTexts : public testing::TestWithParam<BitCase> {};

TEST_P(BitTexts, JoinsLinesWithCrLf)
{
    EXPECT_EQ(GetParam().Text(GetParam().Value), GetParam().Expected);
}

const QString LocalDone = QStringLiteral("  \"код маркировки проверен фискальным накопителем с использованием ключа проверки КП\"");
const QString LocalImpossible = QStringLiteral("  \"код маркировки не может быть проверен фискальным накопителем с использованием ключа проверки КП\"");
const QString LocalPositive = QStringLiteral("\r\n  \"результат проверки КП КМ фискальным накопителем с использованием ключа проверки КП положительный\"");
const QString LocalNegative = QStringLiteral("\r\n  \"результат проверки КП КМ фискальным накопителем с использованием ключа проверки КП отрицательный\"");

INSTANTIATE_TEST_SUITE_P(Bits, BitTexts, testing::Values(
    BitCase{"LifeState0", FNLifeStateText, 0, QStringLiteral(
        "\r\n  Проведена настройка ФН Нет"
        "\r\n  Открыт фискальный режим Нет"
        "\r\n  Закрыт фискальный режим Нет"
        "\r\n  Закончена передача фискальных данных в ОФД Нет")},
    BitCase{"LifeState3", FNLifeStateText, 3, QStringLiteral(
        "\r\n  Проведена настройка ФН Да"
        "\r\n  Открыт фискальный режим Да"
        "\r\n  Закрыт фискальный режим Нет"
        "\r\n  Закончена передача фискальных данных в ОФД Нет")},
    BitCase{"LifeStateHighBitsHidden", FNLifeStateText, 0xF8, QStringLiteral(
        "\r\n  Проведена настройка ФН Нет"
        "\r\n  Открыт фискальный режим Нет"
        "\r\n  Закрыт фискальный режим Нет"
        "\r\n  Закончена передача фискальных данных в ОФД Да")},
    BitCase{"LocalResult0", CheckItemLocalResultText, 0, LocalImpossible},
    BitCase{"LocalResult1", CheckItemLocalResultText, 1, LocalDone + LocalNegative},
    BitCase{"LocalResult2", CheckItemLocalResultText, 2, LocalImpossible + LocalPositive},
    BitCase{"LocalResult3", CheckItemLocalResultText, 3, LocalDone + LocalPositive},
    BitCase{"LocalResultHighBitsHidden", CheckItemLocalResultText, 0xFC, LocalImpossible},
    BitCase{"Status0", KMCheckingStatusText, 0, QStringLiteral(
        "  \"код маркировки не был проверен ФН и (или) ОИСМ\""
        "\r\n  \"результат проверки КП КМ отрицательный или код маркировки не был проверен\""
        "\r\n  \"сведения о статусе товара от ОИСМ не получены\""
        "\r\n  \"от ОИСМ получены сведения, что планируемый статус товара некорректен или сведения о статусе товара от ОИСМ не получены\""
        "\r\n  \"результат проверки КП КМ и статуса товара сформирован ККТ, работающей в режиме передачи данных\"")},
    BitCase{"Status1F", KMCheckingStatusText, 0x1F, QStringLiteral(
        "  \"код маркировки проверен\""
        "\r\n  \"результат проверки КП КМ положительный\""
        "\r\n  \"проверка статуса ОИСМ выполнена\""
        "\r\n  \"от ОИСМ получены сведения, что планируемый статус товара корректен\""
        "\r\n  \"результат проверки КП КМ сформирован ККТ, работающей в автономном режиме\"")}),
    kestrun::test::CaseName());

struct FlagsCase
{
    const char* Name;
    uint16_t Flags;
    QString Expected;
};

class FlagsText : public testing::TestWithParam<FlagsCase> {};

TEST_P(FlagsText, AlignsOneLinePerShownBit)
{
    EXPECT_EQ(ECRFlagsText(GetParam().Flags), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Flags, FlagsText, testing::Values(
    FlagsCase{"Rolls", 0x0003, test::RollsFlags},
    FlagsCase{"UpperCaseHexHiddenBits", 0xE03C, QStringLiteral(
        "0xE03C"
        "\r\n    Рулон контр. ленты        : нет"
        "\r\n    Рулон чековой ленты       : нет"
        "\r\n    Опт. датчик контр. ленты  : бумаги нет"
        "\r\n    Опт датчик чеков. ленты   : бумаги нет"
        "\r\n    Рычаг термог. контр. ленты: поднят"
        "\r\n    Рычаг термог. чеков. ленты: поднят"
        "\r\n    Крышка корпуса ККТ        : опущена"
        "\r\n    Денежный ящик             : закрыт"
        "\r\n    Крышка контр. ленты       : опущена")},
    FlagsCase{"AllShownBitsSet", 0x1FC3, QStringLiteral(
        "0x1FC3"
        "\r\n    Рулон контр. ленты        : есть"
        "\r\n    Рулон чековой ленты       : есть"
        "\r\n    Опт. датчик контр. ленты  : бумага есть"
        "\r\n    Опт датчик чеков. ленты   : бумага есть"
        "\r\n    Рычаг термог. контр. ленты: опущен"
        "\r\n    Рычаг термог. чеков. ленты: опущен"
        "\r\n    Крышка корпуса ККТ        : поднята"
        "\r\n    Денежный ящик             : открыт"
        "\r\n    Крышка контр. ленты       : поднята")}),
    kestrun::test::CaseName());

} // namespace
} // namespace kestrun
