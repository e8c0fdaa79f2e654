// SPDX-License-Identifier: GPL-3.0-or-later
// Receipts: printed lines, item operations, opening, subtotal and closing of a receipt.
#include "ParserCommandClasses.h"

namespace kestrun {

using namespace Qt::StringLiterals;

namespace {

// Sale, purchase and their returns (80 to 83) share one request layout.
const TFields& ItemLayout()
{
    static const TFields Layout = TLayout()
        .Field(u"Password", ftUInt32)
        .Field(u"Quantity", ftQuantity5)
        .Field(u"Price", ftSum)
        .Field(u"Department", ftByte)
        .Run(u"Tax", 1, 4, ftTax)
        .Field(u"StringForPrinting", ftString);
    return Layout;
}

QString ItemSummary(const TParserCommand& decoder, const QString& format)
{
    return FormatText(format, {decoder.GetFieldValue(u"Price"_s), decoder.GetFieldValue(u"Quantity"_s),
                               decoder.GetFieldValue(u"StringForPrinting"_s)});
}

// The extended closings V2 and V3 differ only in the number of tax values.
TFields CloseCheckLayout(int taxValues)
{
    return TLayout()
        .Field(u"Password", ftUInt32)
        .Run(u"Summ", 1, 16, ftSum)
        .Field(u"RoundingSumm", ftByte)
        .Run(u"TaxValue", 1, taxValues, ftTaxValue)
        .Field(u"TaxType", ftTaxType)
        .Field(u"StringForPrinting", ftString);
}

const TFields& CloseCheckAnswerLayout()
{
    static const TFields Layout = TLayout()
        .Field(u"Change", ftSum)
        .Field(u"DocumentNumber", ftUInt32)
        .Field(u"FiscalSign", ftUInt32);
    return Layout;
}

QString CloseCheckSummary(const TParserCommand& decoder, const QString& format)
{
    return FormatText(format, {decoder.GetAnswerFieldValue(u"DocumentNumber"_s),
                               decoder.GetAnswerFieldValue(u"FiscalSign"_s)});
}

} // namespace

void TParserCommand17::CreateFields()
{
    static const TFields Layout = TLayout()
        .Field(u"Password", ftUInt32)
        .Field(u"Tape type", ftByte)
        .Field(u"StringForPrinting", ftString);
    AddFields(Layout);
}

void TParserCommand17::CreateAnswerFields() {}

QString TParserCommand17::GetShortValue() { return GetFieldValue(u"StringForPrinting"_s); }

void TParserCommand2F::CreateFields()
{
    static const TFields Layout = TLayout()
        .Field(u"Password", ftUInt32)
        .Field(u"Tape type", ftByte)
        .Field(u"FontType", ftByte)
        .Field(u"StringForPrinting", ftString);
    AddFields(Layout);
}

void TParserCommand2F::CreateAnswerFields() {}

QString TParserCommand2F::GetShortValue() { return GetFieldValue(u"StringForPrinting"_s); }

void TParserCommand80::CreateFields() { AddFields(ItemLayout()); }

void TParserCommand80::CreateAnswerFields() {}

QString TParserCommand80::GetShortValue() { return ItemSummary(*this, u"ПРОДАЖА %sX%s %s"_s); }

void TParserCommand81::CreateFields() { AddFields(ItemLayout()); }

void TParserCommand81::CreateAnswerFields() {}

QString TParserCommand81::GetShortValue() { return ItemSummary(*this, u"ПОКУПКА %sX%s %s"_s); }

void TParserCommand82::CreateFields() { AddFields(ItemLayout()); }

void TParserCommand82::CreateAnswerFields() {}

QString TParserCommand82::GetShortValue() { return ItemSummary(*this, u"ВОЗВРАТ ПРОДАЖИ %sX%s %s"_s); }

void TParserCommand83::CreateFields() { AddFields(ItemLayout()); }

void TParserCommand83::CreateAnswerFields() {}

QString TParserCommand83::GetShortValue() { return ItemSummary(*this, u"ВОЗВРАТ ПОКУПКИ %sX%s %s"_s); }

void TParserCommand85::CreateFields()
{
    // The four sums are thousandths here, unlike the sums of the other closings.
    static const TFields Layout = TLayout()
        .Field(u"Password", ftUInt32)
        .Run(u"Summ", 1, 4, ftQuantity5)
        .Field(u"DiscountOnCheck", ftUint16)
        .Run(u"Tax", 1, 4, ftTax)
        .Field(u"StringForPrinting", ftString);
    AddFields(Layout);
}

void TParserCommand85::CreateAnswerFields()
{
    static const TFields Layout = TLayout().Field(u"OperatorNumber", ftByte).Field(u"Change", ftSum);
    AddAnswerFields(Layout);
}

QString TParserCommand85::GetShortValue() { return u"ЗАКРЫТИЕ ЧЕКА"_s; }

void TParserCommand89::CreateFields()
{
    static const TFields Layout = TLayout().Field(u"Password", ftUInt32);
    AddFields(Layout);
}

void TParserCommand89::CreateAnswerFields()
{
    static const TFields Layout = TLayout().Field(u"OperatorNumber", ftByte).Field(u"Summ1", ftSum);
    AddAnswerFields(Layout);
}

QString TParserCommand89::GetShortValue() { return u"ПОДЫТОГ "_s + GetAnswerFieldValue(u"Summ1"_s); }

void TParserCommand8D::CreateFields()
{
    static const TFields Layout = TLayout().Field(u"Password", ftUInt32).Field(u"CheckType", ftCheckType);
    AddFields(Layout);
}

void TParserCommand8D::CreateAnswerFields()
{
    static const TFields Layout = TLayout().Field(u"OperatorNumber", ftByte);
    AddAnswerFields(Layout);
}

QString TParserCommand8D::GetShortValue() { return u"ОТКРЫТИЕ ЧЕКА "_s + GetFieldValue(u"CheckType"_s); }

void TParserCommandFF45::CreateFields()
{
    static const TFields Layout = CloseCheckLayout(6);
    AddFields(Layout);
}

void TParserCommandFF45::CreateAnswerFields() { AddAnswerFields(CloseCheckAnswerLayout()); }

QString TParserCommandFF45::GetShortValue()
{
    return CloseCheckSummary(*this, u"ЗАКРЫТИЕ ЧЕКА [ДОК: %s] [ФП: %s]  "_s);
}

void TParserCommandFF46::CreateFields()
{
    static const TFields Layout = TLayout()
        .Field(u"Password", ftUInt32)
        .Field(u"CheckType", ftCheckType2)
        .Field(u"Quantity", ftQuantity6)
        .Field(u"Price", ftSum)
        .Field(u"Summ1", ftSumm1Value)
        .Field(u"TaxValue", ftTaxValue)
        .Field(u"Tax1", ftTax1)
        .Field(u"Department", ftByte)
        .Field(u"PaymentTypeSign", ftPaymentTypeSign)
        .Field(u"PaymentItemSign", ftPaymentItemSign)
        .Field(u"StringForPrinting", ftString);
    AddFields(Layout);
}

void TParserCommandFF46::CreateAnswerFields() {}

QString TParserCommandFF46::GetShortValue()
{
    return FormatText(u"%s %s X %s (%s %s ) %s"_s,
                      {GetFieldValue(u"CheckType"_s), GetFieldValue(u"Price"_s), GetFieldValue(u"Quantity"_s),
                       GetFieldValue(u"PaymentTypeSign"_s), GetFieldValue(u"PaymentItemSign"_s),
                       GetFieldValue(u"StringForPrinting"_s)});
}

void TParserCommandFF76::CreateFields()
{
    static const TFields Layout = CloseCheckLayout(10);
    AddFields(Layout);
}

void TParserCommandFF76::CreateAnswerFields() { AddAnswerFields(CloseCheckAnswerLayout()); }

QString TParserCommandFF76::GetShortValue()
{
    return CloseCheckSummary(*this, u"ЗАКРЫТИЕ ЧЕКА V3 [ДОК: %s] [ФП: %s]  "_s);
}

} // namespace kestrun
