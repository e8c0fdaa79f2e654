#include "ParserCommand.h"

#include "FieldTexts.h"
#include "PrinterError.h"
#include "log/Codepages.h"
#include "log/DateText.h"
#include "tlv/TLVParser.h"

#include <QLocale>
#include <QStringBuilder>
#include <cmath>

namespace kestrun {

namespace {

// A composite field's own value: its parts are stored under their own names instead.
const QString HiddenValue = QStringLiteral("###kestrun_not_visible_value###");
const QString LineBreak = QStringLiteral("\r\n");

QString Decimal(int64_t value) { return QString::number(static_cast<qlonglong>(value)); }

QString Bracketed(int64_t code, const QString& text)
{
    return Decimal(code) % QLatin1String(" [") % text % QLatin1Char(']');
}

QString BytesText(QByteArrayView bytes) { return Cp1251ToUnicode(bytes); }

QString BarcodeText(QByteArrayView bytes)
{
    return BytesText(bytes).replace(QChar(0x1D), QStringLiteral("<0x1D>"));
}

QString HexText(QByteArrayView bytes) { return QString::fromLatin1(StrToHex(bytes)); }

QString RenderTLV(const TByteString& data, int indent)
{
    TTLVParser parser;
    parser.SetShowTagNumbers(true);
    parser.SetBaseIndent(indent);
    return parser.ParseTLV(data);
}

// Date texts leave the time out when it is exactly midnight.
QString DateTimeValue(TDateTime value)
{
    const double fraction = value - std::floor(value);
    if (std::llround(fraction * 86400.0) % 86400 == 0)
        return ShortDateText(value);
    return DateTimeText(value);
}

// The values are whole numbers of the last decimal place, so "%.Nf" of value / 10^N is exact
// and the digits can be written directly.
QString FixedPoint(int64_t value, int decimals)
{
    char16_t digits[24];
    int length = 0;
    auto rest = static_cast<uint64_t>(value);
    do {
        digits[length++] = static_cast<char16_t>(u'0' + rest % 10);
        rest /= 10;
    } while (rest != 0 || length <= decimals);
    const QString decimalPoint = QLocale().decimalPoint();
    QString text;
    text.reserve(length + decimalPoint.size());
    for (int i = length - 1; i >= 0; --i) {
        text += QChar(digits[i]);
        if (i == decimals && decimals > 0)
            text += decimalPoint;
    }
    return text;
}

// Cell of a settings table: text when long or printable, otherwise a number.
QString TableValue(const TByteString& bytes)
{
    if (bytes.size() >= 9)
        return TrimRightText(BytesText(bytes));
    if (bytes.isEmpty())
        return {};
    const QString number = Decimal(BinToInt(bytes, 1, static_cast<int>(bytes.size())));
    const QString text = BytesText(bytes);
    if (TrimRightText(text).isEmpty())
        return number;
    return LineBreak + QStringLiteral("Str: ") + TrimRightText(text) + LineBreak + QStringLiteral("Int: ") + number;
}

// The code table behind a field type that shows "code [text]"; false for the other types.
bool CodeTableOf(TFieldType type, TCodeTable& table)
{
    switch (type) {
    case ftFieldType: table = TCodeTable::ctFieldType; return true;
    case ftCheckType: table = TCodeTable::ctCheckType; return true;
    case ftPaymentTypeSign: table = TCodeTable::ctPaymentTypeSign; return true;
    case ftPaymentItemSign: table = TCodeTable::ctPaymentItemSign; return true;
    case ftTaxType: table = TCodeTable::ctTaxType; return true;
    case ftTax1: table = TCodeTable::ctTax1; return true;
    case ftPortNumber: table = TCodeTable::ctPortNumber; return true;
    case ftCheckType2: table = TCodeTable::ctCheckType2; return true;
    case ftCheckItemLocalError: table = TCodeTable::ctCheckItemLocalError; return true;
    case ftMarkingType2: table = TCodeTable::ctMarkingType2; return true;
    case ftItemStatus: table = TCodeTable::ctItemStatus; return true;
    case ftMarkingTypeEx: table = TCodeTable::ctMarkingTypeEx; return true;
    case ftFNSessionState: table = TCodeTable::ctFNSessionState; return true;
    case ftFNCurrentDocument: table = TCodeTable::ctFNCurrentDocument; return true;
    case ftFNDocumentData: table = TCodeTable::ctFNDocumentData; return true;
    default: return false;
    }
}

bool IsAscii(QStringView text)
{
    for (const QChar c : text)
        if (c.unicode() > 0x7F)
            return false;
    return true;
}

// Lower-casing maps distinct ASCII letters to distinct letters and keeps the length, so ASCII
// names that differ otherwise than by case never match; only the rest needs the locale.
bool CanMatchLowered(const QString& a, const QString& b)
{
    if (!IsAscii(a) || !IsAscii(b))
        return true;
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

// How a type that shows one number reads it; size 0 for texts and composite fields.
struct TNumberRead
{
    int Size;
    bool BigEndian;
};

TNumberRead NumberReadOf(TFieldType type)
{
    switch (type) {
    case ftByte:
    case ftTax:
    case ftFieldType:
    case ftCheckType:
    case ftPaymentTypeSign:
    case ftPaymentItemSign:
    case ftTaxType:
    case ftTax1:
    case ftECRMode:
    case ftECRAdvancedMode:
    case ftBatteryVoltage:
    case ftPowerSourceVoltage:
    case ftPortNumber:
    case ftCheckType2:
    case ftCheckItemLocalResult:
    case ftCheckItemLocalError:
    case ftMarkingType2:
    case ftItemStatus:
    case ftMarkingTypeEx:
    case ftAcceptOrDecline:
    case ftFNSessionState:
    case ftFNCurrentDocument:
    case ftFNDocumentData:
    case ftFNLifeState:
        return {1, false};
    case ftUint16:
    case ftSoftVersion:
    case ftECRFlags:
        return {2, false};
    case ftMarkingType:
        return {2, true};
    case ftDate:
    case ftTime:
        return {3, false};
    case ftUInt32:
        return {4, false};
    case ftDateTime:
    case ftSum:
    case ftQuantity5:
    case ftTaxValue:
    case ftSumm1Value:
    case ftDateTimeDoc:
        return {5, false};
    case ftINN:
    case ftQuantity6:
        return {6, false};
    default:
        return {0, false};
    }
}

const TFieldValue* FindLast(const TFieldValues& values, const QString& name)
{
    const bool asciiName = IsAscii(name);
    for (auto it = values.crbegin(); it != values.crend(); ++it) {
        if (it->Name == name)
            return &*it;
        if (asciiName && it->Name.size() != name.size() && IsAscii(it->Name))
            continue;
        if (CanMatchLowered(it->Name, name)) {
            const QLocale locale;
            if (locale.toLower(it->Name) == locale.toLower(name))
                return &*it;
        }
    }
    return nullptr;
}

} // namespace

TLayout& TLayout::Field(const char16_t* name, TFieldType type)
{
    FFields.append({QString::fromUtf16(name), type});
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
    QString joined(text.size(), Qt::Uninitialized);
    QChar* out = joined.data();
    const QChar* in = text.constData();
    const QChar* end = in + text.size();
    while (in != end) {
        if (*in == u'\r' && in + 1 != end && in[1] == u'\n') {
            *out++ = u' ';
            in += 2;
        } else {
            *out++ = *in++;
        }
    }
    joined.truncate(out - joined.constData());
    return joined;
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

void TParserCommand::AddFieldValue(const QString& Name, const QString& Value, TParseType Source)
{
    if (TFieldValues* values = ValuesOf(Source))
        values->append({Name, Value});
}

void TParserCommand::LoadSource(const TCommand& ACmd, TParseType Source)
{
    const QByteArray& text = Source == pFields ? ACmd.Data
                           : Source == pAnswerFields ? ACmd.AnswerData
                                                     : ACmd.PlayedAnswerData;
    // One stream per decoder, refilled for every source: the same bytes from the start as a new one.
    const TBytes bytes = StrToBytes(HexToStr(text));
    if (FStream)
        FStream->SetData(bytes);
    else
        FStream = TBinStream::Create(bytes);
}

bool TParserCommand::Walk(const TCommand& ACmd, TParseType Source, QString& errorLine)
{
    if (Source == pFields)
        FFieldsValues.clear();
    else if (Source == pAnswerFields)
        FAnswerFieldsValues.clear();
    LoadSource(ACmd, Source);
    if (FStream->Size() == 0)
        return false;

    FStream->Stream().seek(0);
    if (FStream->ReadInt(1) == 0xFF)
        FStream->ReadInt(1);
    if (Source != pFields) {
        const auto code = static_cast<int32_t>(FStream->ReadInt(1));
        if (code != 0) {
            errorLine = QStringLiteral("Error: ") + Decimal(code) + QStringLiteral("(0x")
                      + QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper() + QStringLiteral(") ")
                      + TPrinterError::GetDescription(code, true);
            return false;
        }
    }

    const TFields& layout = Source == pFields ? FFields : FAnswerFields;
    if (TFieldValues* values = ValuesOf(Source))
        values->reserve(layout.size() + 4);
    for (qsizetype i = 0; i < layout.size();) {
        if (NumberReadOf(layout[i].FieldType).Size == 0) {
            const QString value = FieldText(layout[i].FieldType, Source);
            if (value != HiddenValue)
                AddFieldValue(layout[i].Name, value, Source);
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < layout.size() && NumberReadOf(layout[end].FieldType).Size > 0)
            ++end;
        ReadNumbers(layout, i, end, Source);
        i = end;
    }
    return true;
}

// A run of number fields is read in one go; missing bytes read as zeros either way.
void TParserCommand::ReadNumbers(const TFields& layout, qsizetype begin, qsizetype end, TParseType Source)
{
    int total = 0;
    for (qsizetype i = begin; i < end; ++i)
        total += NumberReadOf(layout[i].FieldType).Size;
    const TBytes bytes = FStream->ReadBytes(total);
    TFieldValues* values = ValuesOf(Source);
    if (!values)
        return;
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (qsizetype i = begin; i < end; ++i) {
        const TNumberRead read = NumberReadOf(layout[i].FieldType);
        uint64_t number = 0;
        for (int k = 0; k < read.Size; ++k) {
            const int shift = 8 * (read.BigEndian ? read.Size - 1 - k : k);
            number |= static_cast<uint64_t>(at[k]) << shift;
        }
        at += read.Size;
        values->append({layout[i].Name, QString(), static_cast<int64_t>(number), layout[i].FieldType, true});
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

// Missing bytes read as zeros, so a short frame still yields a value for every field.
QString TParserCommand::ReadText(int size) { return BytesText(FStream->ReadBytes(size)); }

QString TParserCommand::NumberText(TFieldType FieldType, int64_t number) const
{
    TCodeTable table;
    if (CodeTableOf(FieldType, table))
        return Bracketed(number, CodeText(table, number));
    switch (FieldType) {
    case ftQuantity6:
        return FixedPoint(number, 6);
    case ftQuantity5:
        return FixedPoint(number, 3);
    case ftDateTime:
        return DateTimeValue(BinToDate(IntToBin(number, 5), 1));
    case ftDate:
        return ShortDateText(BinToDate(IntToBin(number, 3), 1));
    case ftTime:
        return LongTimeText(BinToTime(IntToBin(number, 3), 1));
    case ftSum:
        return FixedPoint(number, 2);
    case ftTaxValue:
    case ftSumm1Value:
        return number == 0xFFFFFFFFFF ? QStringLiteral("[нет]") : FixedPoint(number, 2);
    case ftSoftVersion: {
        const TByteString version = IntToBin(number, 2);
        return BytesText(version.left(1)) % QLatin1Char('.') % BytesText(version.mid(1, 1));
    }
    case ftECRMode:
        return Bracketed(number, GetECRModeDescription(static_cast<uint32_t>(number)));
    case ftECRAdvancedMode:
        return Bracketed(number, GetECRAdvancedModeDescription(static_cast<uint32_t>(number)));
    case ftECRFlags:
        return ECRFlagsText(static_cast<uint16_t>(number));
    case ftBatteryVoltage:
        return FixedPoint(RoundToInt(static_cast<double>(number) / 255 * 100 * 5), 2) % QStringView(u" В.");
    case ftPowerSourceVoltage:
        return FixedPoint(RoundToInt(static_cast<double>(number) * 24 / 216 * 100), 2) % QStringView(u" В.");
    case ftCheckItemLocalResult:
        return Bracketed(number, CheckItemLocalResultText(static_cast<uint8_t>(number)));
    case ftMarkingType:
        return Bracketed(number, CodeText(TCodeTable::ctMarkingType, number));
    case ftAcceptOrDecline:
        return Decimal(number) % (number == 1 ? QStringView(u" [Принять]") : QStringView(u" [Отклонить]"));
    case ftDateTimeDoc:
        return DateTimeValue(BinToDateTime(IntToBin(number, 5), 1));
    case ftFNLifeState:
        return Bracketed(number, FNLifeStateText(static_cast<uint8_t>(number)));
    default:
        return Decimal(number);
    }
}

QString TParserCommand::FieldText(TFieldType FieldType, TParseType Source)
{
    IBinStream& stream = *FStream;
    switch (FieldType) {
    case ftBarcode:
        return BarcodeText(stream.ReadBytes(static_cast<int32_t>(stream.ReadInt(1))));
    case ftBarcodeTLV:
        ParseBarcodeTLV(Source);
        return HiddenValue;
    case ftKMAnswer:
        ParseKMAnswer(Source);
        return HiddenValue;
    case ftString:
        return BytesText(stream.ReadString());
    case ftString40:
        return TrimRightText(ReadText(40));
    case ftString16:
        return TrimRightText(ReadText(16));
    case ftTableValue:
        return TableValue(stream.ReadString());
    case ftTLV:
        return LineBreak + RenderTLV(stream.ReadString(), 4);
    case ftBarcodeOSU:
        ParseBarcodeOSU(Source);
        return HiddenValue;
    case ftKMSendAnswer:
        ParseKMSendAnswer(Source);
        return HiddenValue;
    default:
        return {};
    }
}

void TParserCommand::AddBarcode(const TBytes& barcode, TParseType Source)
{
    AddFieldValue(QStringLiteral("Barcode HEX"), HexText(barcode), Source);
    AddFieldValue(QStringLiteral("Barcode"), BarcodeText(barcode), Source);
}

void TParserCommand::ParseBarcodeTLV(TParseType Source)
{
    const auto barcodeLength = static_cast<int32_t>(FStream->ReadInt(1));
    const auto tlvLength = static_cast<int32_t>(FStream->ReadInt(1));
    if (barcodeLength > 0)
        AddBarcode(FStream->ReadBytes(barcodeLength), Source);
    if (tlvLength > 0) {
        const TBytes data = FStream->ReadBytes(tlvLength);
        AddFieldValue(QStringLiteral("TLVData HEX"), HexText(data), Source);
        AddFieldValue(QStringLiteral("TLVData"), RenderTLV(data, 2), Source);
    }
}

void TParserCommand::ParseKMAnswer(TParseType Source)
{
    const int64_t size = FStream->ReadInt(1);
    int64_t error = -1;
    int64_t status = -1;
    TByteString data;
    if (size > 0) {
        error = FStream->ReadInt(1);
        if (size > 1 && (error == 0 || error == 0x20))
            status = FStream->ReadInt(1);
        if (size > 2 && error == 0)
            data = FStream->ReadString();
    }
    if (error >= 0)
        AddFieldValue(QStringLiteral("KMServerErrorCode"),
                      Bracketed(error, CodeText(TCodeTable::ctKMServerError, error)), Source);
    if (status >= 0)
        AddFieldValue(QStringLiteral("KMServerCheckingStatus (Тег 2106)"),
                      Bracketed(status, KMCheckingStatusText(static_cast<uint8_t>(status))), Source);
    if (!data.isEmpty()) {
        const QString rendered = RenderTLV(data, 2);
        AddFieldValue(QStringLiteral("TLVData Hex"), HexText(data), Source);
        AddFieldValue(QStringLiteral("TLV Data"), LineBreak + rendered, Source);
    }
}

void TParserCommand::ParseKMSendAnswer(TParseType Source)
{
    if (FStream->Remaining() < 3)
        return;
    const int64_t result = FStream->ReadInt(1);
    const int64_t error = FStream->ReadInt(1);
    const int64_t type = FStream->ReadInt(1);
    AddFieldValue(QStringLiteral("CheckItemLocalResult"),
                  Bracketed(result, CheckItemLocalResultText(static_cast<uint8_t>(result))), Source);
    AddFieldValue(QStringLiteral("CheckItemLocalError"),
                  Bracketed(error, CodeText(TCodeTable::ctCheckItemLocalError, error)), Source);
    AddFieldValue(QStringLiteral("MarkingType2"), Bracketed(type, CodeText(TCodeTable::ctMarkingType2, type)), Source);
    if (FStream->Remaining() >= 1)
        ParseKMAnswer(Source);
}

void TParserCommand::ParseBarcodeOSU(TParseType Source)
{
    const auto length = static_cast<int32_t>(FStream->ReadInt(1));
    if (length > 0)
        AddBarcode(FStream->ReadBytes(length), Source);
    const bool osu = FStream->Remaining() >= 1 && FStream->ReadInt(1) == 0xFF;
    AddFieldValue(QStringLiteral("OSU"), osu ? QStringLiteral("True") : QStringLiteral("False"), Source);
}

} // namespace kestrun
