// SPDX-License-Identifier: GPL-3.0-or-later
// Fiscal-data TLV transfer and the checking of marked goods.
#include "ParserCommandClasses.h"

namespace kestrun {

using namespace Qt::StringLiterals;

void TParserCommandFF0C::CreateFields()
{
    static const TFields Layout = TLayout().Field(u"Password", ftUInt32).Field(u"TLVData", ftTLV);
    AddFields(Layout);
}

void TParserCommandFF0C::CreateAnswerFields() {}

QString TParserCommandFF0C::GetShortValue() { return JoinLines(GetFieldValue(u"TLVData"_s)); }

void TParserCommandFF61::CreateFields()
{
    static const TFields Layout = TLayout()
        .Field(u"Password", ftUInt32)
        .Field(u"ItemStatus", ftItemStatus)
        .Field(u"CheckItemMode", ftByte)
        .Field(u"Barcode", ftBarcodeTLV);
    AddFields(Layout);
}

void TParserCommandFF61::CreateAnswerFields()
{
    static const TFields Layout = TLayout()
        .Field(u"CheckItemLocalResult", ftCheckItemLocalResult)
        .Field(u"CheckItemLocalError", ftCheckItemLocalError)
        .Field(u"MarkingType2", ftMarkingType2)
        .Field(u"KM Server Answer", ftKMAnswer);
    AddAnswerFields(Layout);
}

QString TParserCommandFF61::GetShortValue() { return u"[M] "_s + GetFieldValue(u"Barcode"_s); }

void TParserCommandFF67::CreateFields()
{
    static const TFields Layout = TLayout().Field(u"Password", ftUInt32).Field(u"Barcode", ftBarcodeOSU);
    AddFields(Layout);
}

void TParserCommandFF67::CreateAnswerFields()
{
    static const TFields Layout = TLayout()
        .Field(u"MarkingType", ftMarkingType)
        .Field(u"MarkingTypeEx", ftMarkingTypeEx)
        .Field(u"KM Server Answer", ftKMSendAnswer);
    AddAnswerFields(Layout);
}

QString TParserCommandFF67::GetShortValue() { return u"[M] "_s + GetFieldValue(u"Barcode"_s); }

void TParserCommandFF69::CreateFields()
{
    static const TFields Layout = TLayout().Field(u"Password", ftUInt32).Field(u"Accept or Decline", ftAcceptOrDecline);
    AddFields(Layout);
}

void TParserCommandFF69::CreateAnswerFields() {}

QString TParserCommandFF69::GetShortValue() { return GetFieldValue(u"Accept or Decline"_s); }

} // namespace kestrun
