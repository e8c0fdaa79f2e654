// SPDX-License-Identifier: GPL-3.0-or-later
#include "ParserCommand.h"

#include "PrinterError.h"
#include "log/Frames.h"

#include <QLocale>
#include <QStringBuilder>
#include <algorithm>

namespace kestrun {

namespace {

const QString LineBreak = QStringLiteral("\r\n");

// Lower-casing maps distinct ASCII letters to distinct letters and keeps the length, so two ASCII
// names can only match when they are equal but for case; only those and other names need the
// locale. Each name is looked at once: a summary looks up a few names among dozens of values.
const TFieldValue* FindLast(const TFieldValues& values, const QString& name)
{
    const bool asciiName = IsAsciiText(name);
    for (auto it = values.crbegin(); it != values.crend(); ++it) {
        const QString& candidate = it->Name;
        if (candidate == name)
            return &*it;
        if (asciiName && it->AsciiName
            && (candidate.size() != name.size() || candidate.compare(name, Qt::CaseInsensitive) != 0))
            continue;
        const QLocale locale;
        if (locale.toLower(candidate) == locale.toLower(name))
            return &*it;
    }
    return nullptr;
}

} // namespace

TLayout& TLayout::Literal(const char16_t* name, qsizetype size, TFieldType type)
{
    FFields.append({QString::fromRawData(reinterpret_cast<const QChar*>(name), size), type});
    return *this;
}

TLayout& TLayout::Run(const char16_t* prefix, int first, int last, TFieldType type)
{
    const QString base = QString::fromUtf16(prefix);
    for (int i = first; i <= last; ++i)
        FFields.append({base + QString::number(i), type});
    return *this;
}

QString FormatText(const QString& format, std::initializer_list<QString> values)
{
    QString result;
    auto value = values.begin();
    qsizetype from = 0;
    for (qsizetype at = format.indexOf(QLatin1String("%s")); at >= 0; at = format.indexOf(QLatin1String("%s"), from)) {
        result += QStringView(format).mid(from, at - from);
        if (value != values.end())
            result += *value++;
        from = at + 2;
    }
    result += QStringView(format).mid(from);
    return result;
}

QString JoinLines(const QString& text)
{
    // Breaks are searched for rather than every character looked at: documents run to kilobytes.
    const QStringView view(text);
    qsizetype at = view.indexOf(u'\r');
    if (at < 0)
        return text;
    QString joined;
    joined.reserve(text.size());
    qsizetype from = 0;
    for (; at >= 0; at = view.indexOf(u'\r', at + 1)) {
        if (at + 1 == view.size() || view[at + 1] != u'\n')
            continue;
        joined.append(view.sliced(from, at - from)).append(u' ');
        from = at + 2;
    }
    return joined.append(view.sliced(from));
}

QString TrimRightText(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].unicode() <= 0x20)
        --end;
    return text.left(end);
}

QString TrimText(const QString& text)
{
    const QString right = TrimRightText(text);
    qsizetype start = 0;
    while (start < right.size() && right[start].unicode() <= 0x20)
        ++start;
    return right.mid(start);
}

void TParserCommand::CreateFields() {}

void TParserCommand::CreateAnswerFields() {}

QString TParserCommand::GetShortValue() { return {}; }

bool TParserCommand::LayoutsChecked() const
{
    const auto renders = [](const TField& field) { return FieldTypeInfo(field.FieldType).Check != nullptr; };
    return std::any_of(FFields.begin(), FFields.end(), renders)
        || std::any_of(FAnswerFields.begin(), FAnswerFields.end(), renders);
}

void TParserCommand::AddField(const QString& Name, TFieldType FieldType) { FFields.append({Name, FieldType}); }

void TParserCommand::AddAnswerField(const QString& Name, TFieldType FieldType)
{
    FAnswerFields.append({Name, FieldType});
}

void TParserCommand::AddFields(const TFields& Layout)
{
    if (FFields.isEmpty())
        FFields = Layout;
    else
        FFields.append(Layout);
}

void TParserCommand::AddAnswerFields(const TFields& Layout)
{
    if (FAnswerFields.isEmpty())
        FAnswerFields = Layout;
    else
        FAnswerFields.append(Layout);
}

QString TParserCommand::GetFieldValue(const QString& Name) const
{
    const TFieldValue* found = FindLast(FFieldsValues, Name);
    return found ? TextOf(*found) : QString();
}

QString TParserCommand::GetAnswerFieldValue(const QString& Name) const
{
    const TFieldValue* found = FindLast(FAnswerFieldsValues, Name);
    return found ? TextOf(*found) : QString();
}

const QString& TParserCommand::TextOf(const TFieldValue& value) const
{
    if (value.Pending) {
        value.Value = NumberText(value.FieldType, value.Number);
        value.Pending = false;
    }
    return value.Value;
}

TFieldValues* TParserCommand::ValuesOf(TParseType Source)
{
    return Source == pFields ? &FFieldsValues : Source == pAnswerFields ? &FAnswerFieldsValues : nullptr;
}

void TParserCommand::AddFieldValue(const TField& Field, const QString& Value, TParseType Source)
{
    if (TFieldValues* values = ValuesOf(Source))
        values->append({Field.Name, Value, 0, ftString, false, Field.AsciiName});
}

TBytes TParserCommand::LoadSource(const TCommand& ACmd, TParseType Source)
{
    const TBytes bytes = Source == pFields         ? ACmd.DataBytes()
                         : Source == pAnswerFields ? ACmd.AnswerBytes()
                                                   : ACmd.PlayedAnswerBytes();
    // One stream per decoder, refilled for every source: the same bytes from the start as a new one.
    if (FStream)
        FStream->SetData(bytes);
    else
        FStream = TBinStream::Create(bytes);
    return bytes;
}

bool TParserCommand::Walk(const TCommand& ACmd, TParseType Source, QString& errorLine, bool checking)
{
    if (Source == pFields)
        FFieldsValues.clear();
    else if (Source == pAnswerFields)
        FAnswerFieldsValues.clear();
    const TBytes bytes = LoadSource(ACmd, Source);
    if (bytes.isEmpty())
        return false;

    FStream->Stream().seek(std::min(EchoedCodeSize(bytes), bytes.size()));
    if (Source != pFields) {
        const auto code = static_cast<int32_t>(FStream->ReadInt(1));
        if (code != 0) {
            errorLine = QStringLiteral("Error: ") + QString::number(code) + QStringLiteral("(0x")
                      + QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper() + QStringLiteral(") ")
                      + TPrinterError::GetDescription(code);
            return false;
        }
    }

    const TFields& layout = Source == pFields ? FFields : FAnswerFields;
    if (TFieldValues* values = ValuesOf(Source))
        values->reserve(layout.size() + 4);
    const auto isNumber = [](const TField& field) {
        return FieldTypeInfo(field.FieldType).Kind == TFieldKind::fkNumber;
    };
    for (qsizetype i = 0; i < layout.size();) {
        const TFieldTypeInfo& info = FieldTypeInfo(layout[i].FieldType);
        if (checking && info.Check) {
            info.Check(*FStream);
            ++i;
            continue;
        }
        switch (info.Kind) {
        case TFieldKind::fkText:
            AddFieldValue(layout[i], info.ReadText(*FStream), Source);
            ++i;
            break;
        case TFieldKind::fkComposite:
            info.ReadParts(*FStream, ValuesOf(Source));
            ++i;
            break;
        case TFieldKind::fkNumber: {
            qsizetype end = i;
            while (end < layout.size() && isNumber(layout[end]))
                ++end;
            ReadNumbers(layout, i, end, Source);
            i = end;
            break;
        }
        }
    }
    return true;
}

// A run of number fields is read in one go; missing bytes read as zeros either way.
void TParserCommand::ReadNumbers(const TFields& layout, qsizetype begin, qsizetype end, TParseType Source)
{
    int total = 0;
    for (qsizetype i = begin; i < end; ++i)
        total += FieldTypeInfo(layout[i].FieldType).Size;
    const TBytes bytes = FStream->ReadBytes(total);
    TFieldValues* values = ValuesOf(Source);
    if (!values)
        return;
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (qsizetype i = begin; i < end; ++i) {
        const TFieldTypeInfo& read = FieldTypeInfo(layout[i].FieldType);
        uint64_t number = 0;
        for (int k = 0; k < read.Size; ++k) {
            const int shift = 8 * (read.BigEndian ? read.Size - 1 - k : k);
            number |= static_cast<uint64_t>(at[k]) << shift;
        }
        at += read.Size;
        values->append({layout[i].Name, QString(), static_cast<int64_t>(number), layout[i].FieldType, true,
                        layout[i].AsciiName});
    }
}

void TParserCommand::Decode(const TCommand& ACmd, TParseType Source)
{
    // Without a layout no value can result, whatever the bytes.
    const bool noLayout = (Source == pFields ? FFields : FAnswerFields).isEmpty();
    if (noLayout && Source != pPlayedFields) {
        (Source == pFields ? FFieldsValues : FAnswerFieldsValues).clear();
        return;
    }
    QString errorLine;
    Walk(ACmd, Source, errorLine);
}

void TParserCommand::Check(const TCommand& ACmd, TParseType Source)
{
    QString errorLine;
    Walk(ACmd, Source, errorLine, true);
}

QString TParserCommand::Parse(const TCommand& ACmd, TParseType Source)
{
    QString errorLine;
    if (!Walk(ACmd, Source, errorLine) || Source == pPlayedFields)
        return errorLine;
    QString text;
    for (const TFieldValue& value : *ValuesOf(Source))
        text += value.Name % QLatin1String(": ") % TextOf(value) % LineBreak;
    return text;
}

} // namespace kestrun
