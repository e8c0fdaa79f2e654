// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldTypes.h"

#include "ParserCommand.h"
#include "PrinterError.h"
#include "log/Codepages.h"
#include "log/DateText.h"
#include "tlv/TLVParser.h"

#include <QLocale>
#include <QStringBuilder>
#include <cmath>
#include <span>

namespace kestrun {

namespace {

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

void AddValue(TFieldValues* values, const QString& name, const QString& value)
{
    if (values)
        values->append({name, value});
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

// Number formatters.

QString Quantity6(int64_t number) { return FixedPoint(number, 6); }
QString Quantity3(int64_t number) { return FixedPoint(number, 3); }
QString Money(int64_t number) { return FixedPoint(number, 2); }

// Five bytes FF stand for "no amount".
QString OptionalMoney(int64_t number)
{
    return number == 0xFFFFFFFFFF ? QStringLiteral("[нет]") : FixedPoint(number, 2);
}

// Only the date part of the five bytes is used, so the time is always midnight.
QString DateOfFive(int64_t number) { return DateTimeValue(BinToDate(IntToBin(number, 5), 1)); }
QString Date(int64_t number) { return ShortDateText(BinToDate(IntToBin(number, 3), 1)); }
QString Time(int64_t number) { return LongTimeText(BinToTime(IntToBin(number, 3), 1)); }
QString DocumentDateTime(int64_t number) { return DateTimeValue(BinToDateTime(IntToBin(number, 5), 1)); }

QString SoftVersion(int64_t number)
{
    const TByteString version = IntToBin(number, 2);
    return BytesText(version.left(1)) % QLatin1Char('.') % BytesText(version.mid(1, 1));
}

QString ECRMode(int64_t number)
{
    return Bracketed(number, GetECRModeDescription(static_cast<uint32_t>(number)));
}

QString ECRAdvancedMode(int64_t number)
{
    return Bracketed(number, GetECRAdvancedModeDescription(static_cast<uint32_t>(number)));
}

QString ECRFlags(int64_t number) { return ECRFlagsText(static_cast<uint16_t>(number)); }

QString BatteryVoltage(int64_t number)
{
    return FixedPoint(RoundToInt(static_cast<double>(number) / 255 * 100 * 5), 2) % QStringView(u" В.");
}

QString PowerSourceVoltage(int64_t number)
{
    return FixedPoint(RoundToInt(static_cast<double>(number) * 24 / 216 * 100), 2) % QStringView(u" В.");
}

QString CheckItemLocalResult(int64_t number)
{
    return Bracketed(number, CheckItemLocalResultText(static_cast<uint8_t>(number)));
}

QString AcceptOrDecline(int64_t number)
{
    return Decimal(number) % (number == 1 ? QStringView(u" [Принять]") : QStringView(u" [Отклонить]"));
}

QString FNLifeState(int64_t number) { return Bracketed(number, FNLifeStateText(static_cast<uint8_t>(number))); }

// Text readers. Missing bytes read as zeros, so a short frame still yields a value for every field.

QString Barcode(IBinStream& stream) { return BarcodeText(stream.ReadBytes(static_cast<int32_t>(stream.ReadInt(1)))); }
QString RestText(IBinStream& stream) { return BytesText(stream.ReadString()); }
QString Text40(IBinStream& stream) { return TrimRightText(BytesText(stream.ReadBytes(40))); }
QString Text16(IBinStream& stream) { return TrimRightText(BytesText(stream.ReadBytes(16))); }
QString Document(IBinStream& stream) { return LineBreak + RenderTLV(stream.ReadString(), 4); }
void CheckDocument(IBinStream& stream) { TTLVParser().CheckTLV(stream.ReadString()); }

// Cell of a settings table: text when long or printable, otherwise a number.
QString TableValue(IBinStream& stream)
{
    const TByteString bytes = stream.ReadString();
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

// Composite readers.

void AddBarcode(const TBytes& barcode, TFieldValues* values)
{
    AddValue(values, QStringLiteral("Barcode HEX"), HexText(barcode));
    AddValue(values, QStringLiteral("Barcode"), BarcodeText(barcode));
}

// Both lengths come before both blocks.
void BarcodeTLV(IBinStream& stream, TFieldValues* values)
{
    const auto barcodeLength = static_cast<int32_t>(stream.ReadInt(1));
    const auto tlvLength = static_cast<int32_t>(stream.ReadInt(1));
    if (barcodeLength > 0)
        AddBarcode(stream.ReadBytes(barcodeLength), values);
    if (tlvLength > 0) {
        const TBytes data = stream.ReadBytes(tlvLength);
        AddValue(values, QStringLiteral("TLVData HEX"), HexText(data));
        AddValue(values, QStringLiteral("TLVData"), RenderTLV(data, 2));
    }
}

void CheckBarcodeTLV(IBinStream& stream)
{
    const auto barcodeLength = static_cast<int32_t>(stream.ReadInt(1));
    const auto tlvLength = static_cast<int32_t>(stream.ReadInt(1));
    if (barcodeLength > 0)
        stream.ReadBytes(barcodeLength);
    if (tlvLength > 0)
        TTLVParser().CheckTLV(stream.ReadBytes(tlvLength));
}

// The marking-code server's answer carried in the device's answer.
void KMAnswer(IBinStream& stream, TFieldValues* values)
{
    const int64_t size = stream.ReadInt(1);
    int64_t error = -1;
    int64_t status = -1;
    TByteString data;
    if (size > 0) {
        error = stream.ReadInt(1);
        if (size > 1 && (error == 0 || error == 0x20))
            status = stream.ReadInt(1);
        if (size > 2 && error == 0)
            data = stream.ReadString();
    }
    if (error >= 0)
        AddValue(values, QStringLiteral("KMServerErrorCode"),
                 Bracketed(error, CodeText(TCodeTable::ctKMServerError, error)));
    if (status >= 0)
        AddValue(values, QStringLiteral("KMServerCheckingStatus (Тег 2106)"),
                 Bracketed(status, KMCheckingStatusText(static_cast<uint8_t>(status))));
    if (!data.isEmpty()) {
        const QString rendered = RenderTLV(data, 2);
        AddValue(values, QStringLiteral("TLVData Hex"), HexText(data));
        AddValue(values, QStringLiteral("TLV Data"), LineBreak + rendered);
    }
}

void KMSendAnswer(IBinStream& stream, TFieldValues* values)
{
    if (stream.Remaining() < 3)
        return;
    const int64_t result = stream.ReadInt(1);
    const int64_t error = stream.ReadInt(1);
    const int64_t type = stream.ReadInt(1);
    AddValue(values, QStringLiteral("CheckItemLocalResult"), CheckItemLocalResult(result));
    AddValue(values, QStringLiteral("CheckItemLocalError"),
             Bracketed(error, CodeText(TCodeTable::ctCheckItemLocalError, error)));
    AddValue(values, QStringLiteral("MarkingType2"), Bracketed(type, CodeText(TCodeTable::ctMarkingType2, type)));
    if (stream.Remaining() >= 1)
        KMAnswer(stream, values);
}

void BarcodeOSU(IBinStream& stream, TFieldValues* values)
{
    const auto length = static_cast<int32_t>(stream.ReadInt(1));
    if (length > 0)
        AddBarcode(stream.ReadBytes(length), values);
    const bool osu = stream.Remaining() >= 1 && stream.ReadInt(1) == 0xFF;
    AddValue(values, QStringLiteral("OSU"), osu ? QStringLiteral("True") : QStringLiteral("False"));
}

constexpr bool MostSignificantFirst = true;

constexpr TFieldTypeInfo Number(TFieldType type, uint8_t size, QString (*format)(int64_t) = Decimal)
{
    return {type, TFieldKind::fkNumber, size, false, std::nullopt, format};
}

constexpr TFieldTypeInfo Coded(TFieldType type, uint8_t size, TCodeTable table, bool bigEndian = false)
{
    return {type, TFieldKind::fkNumber, size, bigEndian, table};
}

constexpr TFieldTypeInfo Text(TFieldType type, QString (*read)(IBinStream&))
{
    return {type, TFieldKind::fkText, 0, false, std::nullopt, nullptr, read};
}

constexpr TFieldTypeInfo Composite(TFieldType type, void (*read)(IBinStream&, TFieldValues*))
{
    return {type, TFieldKind::fkComposite, 0, false, std::nullopt, nullptr, nullptr, read};
}

constexpr TFieldTypeInfo Checked(TFieldTypeInfo info, void (*check)(IBinStream&))
{
    info.Check = check;
    return info;
}

constexpr TFieldTypeInfo FieldTypes[] = {
    Number(ftByte, 1),
    Number(ftUInt32, 4),
    Number(ftUint16, 2),
    Number(ftINN, 6),
    Text(ftBarcode, Barcode),
    Checked(Composite(ftBarcodeTLV, BarcodeTLV), CheckBarcodeTLV),
    Composite(ftKMAnswer, KMAnswer),
    Number(ftQuantity6, 6, Quantity6),
    Number(ftQuantity5, 5, Quantity3),
    Number(ftDateTime, 5, DateOfFive),
    Number(ftDate, 3, Date),
    Number(ftTime, 3, Time),
    Number(ftSum, 5, Money),
    Text(ftString, RestText),
    Text(ftString40, Text40),
    Text(ftTableValue, TableValue),
    Coded(ftFieldType, 1, TCodeTable::ctFieldType),
    Coded(ftCheckType, 1, TCodeTable::ctCheckType),
    Coded(ftPaymentTypeSign, 1, TCodeTable::ctPaymentTypeSign),
    Coded(ftPaymentItemSign, 1, TCodeTable::ctPaymentItemSign),
    Number(ftTaxValue, 5, OptionalMoney),
    Number(ftSumm1Value, 5, OptionalMoney),
    Number(ftTax, 1),
    Checked(Text(ftTLV, Document), CheckDocument),
    Coded(ftTaxType, 1, TCodeTable::ctTaxType),
    Coded(ftTax1, 1, TCodeTable::ctTax1),
    Number(ftSoftVersion, 2, SoftVersion),
    Number(ftECRMode, 1, ECRMode),
    Number(ftECRAdvancedMode, 1, ECRAdvancedMode),
    Number(ftECRFlags, 2, ECRFlags),
    Number(ftBatteryVoltage, 1, BatteryVoltage),
    Number(ftPowerSourceVoltage, 1, PowerSourceVoltage),
    Coded(ftPortNumber, 1, TCodeTable::ctPortNumber),
    Coded(ftCheckType2, 1, TCodeTable::ctCheckType2),
    Number(ftCheckItemLocalResult, 1, CheckItemLocalResult),
    Coded(ftCheckItemLocalError, 1, TCodeTable::ctCheckItemLocalError),
    Coded(ftMarkingType2, 1, TCodeTable::ctMarkingType2),
    Coded(ftItemStatus, 1, TCodeTable::ctItemStatus),
    Composite(ftBarcodeOSU, BarcodeOSU),
    Coded(ftMarkingType, 2, TCodeTable::ctMarkingType, MostSignificantFirst),
    Coded(ftMarkingTypeEx, 1, TCodeTable::ctMarkingTypeEx),
    Number(ftAcceptOrDecline, 1, AcceptOrDecline),
    Composite(ftKMSendAnswer, KMSendAnswer),
    Text(ftString16, Text16),
    Number(ftDateTimeDoc, 5, DocumentDateTime),
    Coded(ftFNSessionState, 1, TCodeTable::ctFNSessionState),
    Coded(ftFNCurrentDocument, 1, TCodeTable::ctFNCurrentDocument),
    Coded(ftFNDocumentData, 1, TCodeTable::ctFNDocumentData),
    Number(ftFNLifeState, 1, FNLifeState),
};

// Rows are looked up by ordinal, so each must stand at its type's place.
constexpr bool EveryRowInPlace(std::span<const TFieldTypeInfo> rows)
{
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].Type != i)
            return false;
    return rows.size() == size_t(ftFNLifeState) + 1;
}
static_assert(EveryRowInPlace(FieldTypes));

} // namespace

const TFieldTypeInfo& FieldTypeInfo(TFieldType type) { return FieldTypes[type]; }

QString NumberText(TFieldType type, int64_t number)
{
    const TFieldTypeInfo& info = FieldTypeInfo(type);
    if (info.CodeTable)
        return Bracketed(number, CodeText(*info.CodeTable, number));
    return info.FormatNumber(number);
}

} // namespace kestrun
