// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FieldTypes.h"
#include "log/BinStream.h"
#include "log/Command.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <memory>

namespace kestrun {

// Which bytes of a command one Parse call decodes.
enum TParseType : uint8_t {
    pFields,       // the request
    pAnswerFields, // the answer the log recorded
    pPlayedFields, // the answer received during replay
};

struct TField
{
    QString Name;
    TFieldType FieldType;
    bool AsciiName = IsAsciiText(Name); // passed on to its values
};
using TFields = QList<TField>;

// Builds a layout once, so a decoder class can keep it as a constant and hand it out cheaply.
class TLayout
{
public:
    // The name is a literal, referred to rather than copied: the values decoded by the million on
    // every thread share it without counting references.
    template <qsizetype N>
    TLayout& Field(const char16_t (&name)[N], TFieldType type)
    {
        return Literal(name, N - 1, type);
    }
    // The fields prefix+first .. prefix+last, e.g. "Summ1".."Summ16".
    TLayout& Run(const char16_t* prefix, int first, int last, TFieldType type);
    operator TFields() const { return FFields; }

private:
    TLayout& Literal(const char16_t* name, qsizetype size, TFieldType type);

    TFields FFields;
};

class TParserCommand;
// Stands for a decoder class: constructs a ready decoder of that class.
using TParserCommandClass = std::unique_ptr<TParserCommand> (*)();

// Decodes the request and answers of one command by the layouts its class declares.
class TParserCommand
{
public:
    virtual ~TParserCommand() = default;
    TParserCommand(const TParserCommand&) = delete;
    TParserCommand& operator=(const TParserCommand&) = delete;

    // Layouts are declared by virtual calls, which only dispatch once the object is complete.
    template <class T>
    static std::unique_ptr<TParserCommand> Create()
    {
        std::unique_ptr<TParserCommand> decoder(new T);
        decoder->CreateFields();
        decoder->CreateAnswerFields();
        decoder->FMayFault = decoder->LayoutsChecked();
        return decoder;
    }

    // Name, ": ", value and CR LF per decoded value; throws what the TLV renderer throws.
    QString Parse(const TCommand& ACmd, TParseType Source);
    // The value lists Parse fills, without the text; for callers that only want the summary.
    void Decode(const TCommand& ACmd, TParseType Source);
    // One-line summary from the values of the last request and logged-answer Parse.
    virtual QString GetShortValue();

    // Last value whose name equals Name after locale lower-casing; empty when none.
    QString GetFieldValue(const QString& Name) const;
    QString GetAnswerFieldValue(const QString& Name) const;

    const TFields& Fields() const { return FFields; }
    const TFields& AnswerFields() const { return FAnswerFields; }
    // Whether decoding can fail at all: only a layout that holds a TLV document can.
    bool MayFault() const { return FMayFault; }
    // Throws what Decode throws for the source, making no text of its documents.
    void Check(const TCommand& ACmd, TParseType Source);

protected:
    TParserCommand() = default;

    virtual void CreateFields();
    virtual void CreateAnswerFields();

    void AddField(const QString& Name, TFieldType FieldType);
    void AddAnswerField(const QString& Name, TFieldType FieldType);
    // A whole layout kept as a constant by the class; shared, not copied.
    void AddFields(const TFields& Layout);
    void AddAnswerFields(const TFields& Layout);

private:
    bool LayoutsChecked() const;
    void AddFieldValue(const TField& Field, const QString& Value, TParseType Source);
    TFieldValues* ValuesOf(TParseType Source);
    // The bytes now in FStream.
    TBytes LoadSource(const TCommand& ACmd, TParseType Source);
    // Walks the layout; false, with the error line when the answer carries one, if no field was read.
    // `checking`: the fields that have a check are checked rather than read.
    bool Walk(const TCommand& ACmd, TParseType Source, QString& errorLine, bool checking = false);
    void ReadNumbers(const TFields& layout, qsizetype begin, qsizetype end, TParseType Source);
    const QString& TextOf(const TFieldValue& value) const;

    TFields FFields;
    TFieldValues FFieldsValues;
    TFieldValues FAnswerFieldsValues;
    TFields FAnswerFields;
    IBinStreamPtr FStream;
    bool FMayFault = false;
};

// The summaries fill formats written with "%s" places; values are inserted verbatim.
QString FormatText(const QString& format, std::initializer_list<QString> values);
// Every CR LF replaced by one blank, as the one-line summaries show multi-line values.
QString JoinLines(const QString& text);
// Without the trailing characters 0x20 and below.
QString TrimRightText(const QString& text);
// Without the leading and trailing characters 0x20 and below.
QString TrimText(const QString& text);

} // namespace kestrun
