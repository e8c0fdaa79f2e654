// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldTexts.h"

#include "CodeTextTable.h"
#include "log/Bytes.h"

namespace kestrun {

namespace {

constexpr TCodeText FieldTypes[] = {
    {0, u"Int"},
    {1, u"Str"},
};

constexpr TCodeText CheckTypes[] = {
    {0, u"Приход"},
    {1, u"Расход"},
    {2, u"Возврат прихода"},
    {3, u"Возврат расхода"},
};

constexpr TCodeText CheckTypes2[] = {
    {1, u"Приход"},
    {2, u"Возврат прихода"},
    {3, u"Расход"},
    {4, u"Возврат расхода"},
};

constexpr TCodeText PaymentTypeSigns[] = {
    {1, u"Предоплата 100%"},
    {2, u"Частичная предоплата"},
    {3, u"Аванс"},
    {4, u"Полный расчет"},
    {5, u"Частичный расчет и кредит"},
    {6, u"Передача в кредит"},
    {7, u"Оплата кредита"},
};

constexpr TCodeText PaymentItemSigns[] = {
    {1, u"Товар"},
    {2, u"Подакцизный товар"},
    {3, u"Работа"},
    {4, u"Услуга"},
    {5, u"Ставка азартной игры"},
    {6, u"Выигрыш азартной игры"},
    {7, u"Лотерейный билет"},
    {8, u"Выигрыш лотереи"},
    {9, u"Предоставление РИД"},
    {10, u"Платеж"},
    {11, u"Агентское вознаграждение"},
    {12, u"Выплата"},
    {13, u"Иной предмет расчета"},
    {14, u"Имущественное право"},
    {15, u"Внереализационный доход"},
    {16, u"Страховые взносы"},
    {17, u"Торговый сбор"},
    {18, u"Курортный сбор"},
    {19, u"Залог"},
    {20, u"Расход"},
    {21, u"Взносы на ОПС ИП"},
    {22, u"Взносы на ОПС"},
    {23, u"Взносы на ОМС ИП"},
    {24, u"Взносы на ОМС"},
    {25, u"Взносы на ОСС"},
    {26, u"Платеж казино"},
    {27, u"Выдача ДС"},
    {30, u"АТНМ"},
    {31, u"АТМ"},
    {32, u"ТНМ"},
    {33, u"ТМ"},
};

constexpr TCodeText TaxTypes[] = {
    {1, u"ОСН"},
    {2, u"УСНД"},
    {4, u"УСНДМР"},
    {8, u"ЕНВД"},
    {16, u"ЕСХН"},
    {32, u"ПСН"},
};

constexpr TCodeText Taxes1[] = {
    {1, u"НДС 20%"},
    {2, u"НДС 10%"},
    {4, u"НДС 0%"},
    {8, u"БЕЗ НДС"},
    {16, u"НДС 20/120"},
    {32, u"НДС 10/110"},
    {129, u"НДС 5%"},
    {130, u"НДС 7%"},
    {132, u"НДС 5/105"},
    {136, u"НДС 7/107"},
};

constexpr TCodeText PortNumbers[] = {
    {0, u"RS-232"},
    {1, u"USB vCOM"},
    {2, u"TCP сокет (RNDIS, Ethernet, WI-FI, ppp)"},
    {3, u"I2C (Основная плата)"},
};

constexpr TCodeText ItemStatuses[] = {
    {1, u"Штучный товар, реализован"},
    {2, u"Мерный товар, в стадии реализации"},
    {3, u"Штучный товар, возвращен"},
    {4, u"Часть товара, возвращена"},
};

constexpr TCodeText CheckItemLocalErrors[] = {
    {0, u"КМ проверен в ФН"},
    {1, u"КМ данного типа не подлежит проверке в ФН"},
    {2, u"ФН не содержит ключ проверки кода проверки этого КМ"},
    {3, u"Проверка невозможна, так как отсутствуют теги 91 и / или 92 или их формат неверный"},
    {4, u"Внутренняя ошибка в ФН при проверке этого КМ"},
};

constexpr TCodeText MarkingTypes2[] = {
    {0, u"Тип КМ не идентифицирован"},
    {1, u"Короткий КМ"},
    {2, u"КМ со значением кода проверки длиной 88 символов, подлежащим проверке в ФН"},
    {3, u"КМ со значением кода проверки длиной 44 символа, не подлежащим проверке в ФН"},
    {4, u"КМ со значением кода проверки длиной 44 символа, подлежащим проверке в ФН"},
    {5, u"КМ со значением кода проверки длиной 4 символа, не подлежащим проверке в ФН"},
};

// Keyed by the big-endian 16-bit value.
constexpr TCodeText MarkingTypes[] = {
    {0x0000, u"Нераспознанный код"},
    {0x444D, u"Код GS1 Data Matrix"},
    {0x4508, u"Код EAN-8, UPC-E"},
    {0x450D, u"Код EAN-13, UPC-A"},
    {0x490E, u"Код ITF-14"},
    {0x4F08, u"ОСУ EAN-8"},
    {0x4F0D, u"ОСУ EAN-13"},
    {0x4F0E, u"ОСУ GTIN ITF14"},
    {0x5246, u"Код мехового изделия"},
    {0xC514, u"Код EGAIS 2.0 PDF14"},
    {0xC51E, u"Код EGAIS 3.0 Data Matrix"},
};

constexpr TCodeText MarkingTypesEx[] = {
    {0, u"КМ-88"},
    {1, u"Симметричный"},
    {2, u"Табачный"},
    {3, u"КМ-44"},
    {255, u"GS-1 без маркировки"},
};

constexpr TCodeText FNSessionStates[] = {
    {0, u"Смена закрыта"},
    {1, u"Смена открыта"},
};

constexpr TCodeText FNCurrentDocuments[] = {
    {0, u"Нет открытого документа"},
    {1, u"Отчет о регистрации"},
    {2, u"Отчет об открытии смены"},
    {4, u"Кассовый чек"},
    {8, u"Отчет о закрытии смены"},
    {16, u"Отчет о закрытии фискального накопителя"},
    {17, u"Бланк строгой отчетности"},
    {18, u"Отчет об изменении параметров регистрации в связи с заменой ФН"},
    {19, u"Отчет об изменении параметров регистрации"},
    {20, u"Кассовый чек коррекции"},
    {21, u"Бланк строгой отчетности коррекции"},
    {23, u"Отчет о текущем состоянии расчетов"},
};

constexpr TCodeText FNDocumentData[] = {
    {0, u"Нет данных документа"},
    {1, u"Получены данные документа"},
};

constexpr TCodeText KMServerErrors[] = {
    {0, u"Ошибок нет"},
    {255, u"Сервер не ответил в течение таймаута"},
};

struct TCodeTableInfo
{
    TCodeTable Table;
    std::span<const TCodeText> Codes;
    std::u16string_view Other;
};

constexpr TCodeTableInfo CodeTables[] = {
    {TCodeTable::ctFieldType, FieldTypes, u"Unknown"},
    {TCodeTable::ctCheckType, CheckTypes, u""},
    {TCodeTable::ctCheckType2, CheckTypes2, u""},
    {TCodeTable::ctPaymentTypeSign, PaymentTypeSigns, u""},
    {TCodeTable::ctPaymentItemSign, PaymentItemSigns, u""},
    {TCodeTable::ctTaxType, TaxTypes, u""},
    {TCodeTable::ctTax1, Taxes1, u""},
    {TCodeTable::ctPortNumber, PortNumbers, u"неизвестный тип"},
    {TCodeTable::ctItemStatus, ItemStatuses, u"Неизвестный статус"},
    {TCodeTable::ctCheckItemLocalError, CheckItemLocalErrors, u"неизвестное значение"},
    {TCodeTable::ctMarkingType2, MarkingTypes2, u"неизвестное значение"},
    {TCodeTable::ctMarkingType, MarkingTypes, u"Неизвестный тип"},
    {TCodeTable::ctMarkingTypeEx, MarkingTypesEx, u""},
    {TCodeTable::ctFNSessionState, FNSessionStates, u"Неизвестное значение"},
    {TCodeTable::ctFNCurrentDocument, FNCurrentDocuments, u"Неизвестный тип документа"},
    {TCodeTable::ctFNDocumentData, FNDocumentData, u"Неизвестное значение"},
    {TCodeTable::ctKMServerError, KMServerErrors, u""},
};

constexpr bool CodeTablesComplete()
{
    if (std::size(CodeTables) != static_cast<size_t>(TCodeTable::ctKMServerError) + 1)
        return false;
    for (size_t i = 0; i < std::size(CodeTables); ++i)
        if (CodeTables[i].Table != static_cast<TCodeTable>(i) || !IsStrictlyAscending(CodeTables[i].Codes))
            return false;
    return true;
}
static_assert(CodeTablesComplete(), "one ascending table per TCodeTable member, in enum order");

constexpr QStringView LineBreak = u"\r\n";

struct TFlagText
{
    unsigned Bit;
    std::u16string_view Label;
    std::u16string_view Set;
    std::u16string_view Clear;
};

// Labels are padded to one width so the values line up.
constexpr TFlagText ECRFlags[] = {
    {0, u"    Рулон контр. ленты        : ", u"есть", u"нет"},
    {1, u"    Рулон чековой ленты       : ", u"есть", u"нет"},
    {6, u"    Опт. датчик контр. ленты  : ", u"бумага есть", u"бумаги нет"},
    {7, u"    Опт датчик чеков. ленты   : ", u"бумага есть", u"бумаги нет"},
    {8, u"    Рычаг термог. контр. ленты: ", u"опущен", u"поднят"},
    {9, u"    Рычаг термог. чеков. ленты: ", u"опущен", u"поднят"},
    {10, u"    Крышка корпуса ККТ        : ", u"поднята", u"опущена"},
    {11, u"    Денежный ящик             : ", u"открыт", u"закрыт"},
    {12, u"    Крышка контр. ленты       : ", u"поднята", u"опущена"},
};

constexpr bool LabelsAligned()
{
    for (const TFlagText& flag : ECRFlags)
        if (flag.Label.size() != 32)
            return false;
    return true;
}
static_assert(LabelsAligned());

// Indexed by bit.
constexpr std::u16string_view FNLifeStates[] = {
    u"Проведена настройка ФН",
    u"Открыт фискальный режим",
    u"Закрыт фискальный режим",
    u"Закончена передача фискальных данных в ОФД",
};

constexpr std::u16string_view LocalCheckDone = u"код маркировки проверен фискальным накопителем с использованием ключа проверки КП";
constexpr std::u16string_view LocalCheckImpossible = u"код маркировки не может быть проверен фискальным накопителем с использованием ключа проверки КП";
constexpr std::u16string_view LocalCheckPositive = u"результат проверки КП КМ фискальным накопителем с использованием ключа проверки КП положительный";
constexpr std::u16string_view LocalCheckNegative = u"результат проверки КП КМ фискальным накопителем с использованием ключа проверки КП отрицательный";

struct TBitPhrase
{
    unsigned Bit;
    std::u16string_view Set;
    std::u16string_view Clear;
};

constexpr TBitPhrase KMCheckingStatuses[] = {
    {0, u"код маркировки проверен", u"код маркировки не был проверен ФН и (или) ОИСМ"},
    {1, u"результат проверки КП КМ положительный", u"результат проверки КП КМ отрицательный или код маркировки не был проверен"},
    {2, u"проверка статуса ОИСМ выполнена", u"сведения о статусе товара от ОИСМ не получены"},
    {3, u"от ОИСМ получены сведения, что планируемый статус товара корректен", u"от ОИСМ получены сведения, что планируемый статус товара некорректен или сведения о статусе товара от ОИСМ не получены"},
    {4, u"результат проверки КП КМ сформирован ККТ, работающей в автономном режиме", u"результат проверки КП КМ и статуса товара сформирован ККТ, работающей в режиме передачи данных"},
};

// Two blanks and the phrase in double quotation marks, on a line of its own.
void AppendQuotedLine(QString& text, std::u16string_view phrase)
{
    if (!text.isEmpty())
        text += LineBreak;
    text += QLatin1String("  \"");
    text += ViewOf(phrase);
    text += u'"';
}

} // namespace

QString CodeText(TCodeTable table, int64_t code)
{
    const auto index = static_cast<size_t>(table);
    if (index >= std::size(CodeTables))
        return {};
    const TCodeTableInfo& info = CodeTables[index];
    return CodeTextOr(info.Codes, code, info.Other);
}

QString ECRFlagsText(uint16_t flags)
{
    QString text = QStringLiteral("0x") + QString::number(flags, 16).toUpper().rightJustified(4, u'0');
    for (const TFlagText& flag : ECRFlags) {
        text += LineBreak;
        text += ViewOf(flag.Label);
        text += ViewOf(TestBit(flags, flag.Bit) ? flag.Set : flag.Clear);
    }
    return text;
}

QString FNLifeStateText(uint8_t state)
{
    QString text;
    for (unsigned bit = 0; bit < std::size(FNLifeStates); ++bit) {
        text += LineBreak;
        text += QStringLiteral("  ");
        text += ViewOf(FNLifeStates[bit]);
        text += TestBit(state, bit) ? QStringLiteral(" Да") : QStringLiteral(" Нет");
    }
    return text;
}

QString CheckItemLocalResultText(uint8_t result)
{
    const bool checked = TestBit(result, 0);
    QString text;
    AppendQuotedLine(text, checked ? LocalCheckDone : LocalCheckImpossible);
    if (TestBit(result, 1))
        AppendQuotedLine(text, LocalCheckPositive);
    else if (checked)
        AppendQuotedLine(text, LocalCheckNegative);
    return text;
}

QString KMCheckingStatusText(uint8_t status)
{
    QString text;
    for (const TBitPhrase& phrase : KMCheckingStatuses)
        AppendQuotedLine(text, TestBit(status, phrase.Bit) ? phrase.Set : phrase.Clear);
    return text;
}

} // namespace kestrun
