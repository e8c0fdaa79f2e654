// SPDX-License-Identifier: GPL-3.0-or-later
// The device's settings tables: write and read a cell, table and field structure.
#include "ParserCommandClasses.h"

namespace kestrun {

using namespace Qt::StringLiterals;

void TParserCommand1E::CreateFields()
{
    static const TFields Layout = TLayout()
        .Field(u"Password", ftUInt32)
        .Field(u"TableNumber", ftByte)
        .Field(u"Row", ftUint16)
        .Field(u"Field", ftByte)
        .Field(u"Value", ftTableValue);
    AddFields(Layout);
}

void TParserCommand1E::CreateAnswerFields() {}

QString TParserCommand1E::GetShortValue()
{
    return FormatText(u"Запись Т%sР%sП%s = %s"_s, {GetFieldValue(u"TableNumber"_s), GetFieldValue(u"Row"_s),
                                                   GetFieldValue(u"Field"_s), GetFieldValue(u"Value"_s)});
}

void TParserCommand1F::CreateFields()
{
    static const TFields Layout = TLayout()
        .Field(u"Password", ftUInt32)
        .Field(u"TableNumber", ftByte)
        .Field(u"Row", ftUint16)
        .Field(u"Field", ftByte);
    AddFields(Layout);
}

void TParserCommand1F::CreateAnswerFields()
{
    static const TFields Layout = TLayout().Field(u"Value", ftTableValue);
    AddAnswerFields(Layout);
}

QString TParserCommand1F::GetShortValue()
{
    return FormatText(u"Чтение Т%sР%sП%s = %s"_s,
                      {GetFieldValue(u"TableNumber"_s), GetFieldValue(u"Row"_s), GetFieldValue(u"Field"_s),
                       JoinLines(GetAnswerFieldValue(u"Value"_s))});
}

void TParserCommand2D::CreateFields()
{
    static const TFields Layout = TLayout().Field(u"Password", ftUInt32).Field(u"TableNumber", ftByte);
    AddFields(Layout);
}

void TParserCommand2D::CreateAnswerFields()
{
    static const TFields Layout = TLayout()
        .Field(u"TableName", ftString40)
        .Field(u"RowCount", ftUint16)
        .Field(u"FieldCount", ftByte);
    AddAnswerFields(Layout);
}

void TParserCommand2E::CreateFields()
{
    static const TFields Layout = TLayout()
        .Field(u"Password", ftUInt32)
        .Field(u"TableNumber", ftByte)
        .Field(u"FieldNumber", ftByte);
    AddFields(Layout);
}

void TParserCommand2E::CreateAnswerFields()
{
    static const TFields Layout = TLayout().Field(u"FieldName", ftString40).Field(u"FieldType", ftFieldType);
    AddAnswerFields(Layout);
}

QString TParserCommand2E::GetShortValue()
{
    return FormatText(u"Т%sП%s %s"_s, {GetFieldValue(u"TableNumber"_s), GetFieldValue(u"FieldNumber"_s),
                                       GetAnswerFieldValue(u"FieldName"_s)});
}

} // namespace kestrun
