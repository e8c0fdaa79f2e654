// SPDX-License-Identifier: GPL-3.0-or-later
#include "Emulator.h"

#include "DriverErrors.h"
#include "EmulatorTables.h"
#include "decode/CommandCatalogue.h"
#include "decode/PrinterError.h"
#include "log/Bytes.h"
#include "log/Codepages.h"
#include "log/Command.h"
#include "log/Exception.h"
#include "log/Frames.h"

#include <QDateTime>
#include <QThread>
#include <initializer_list>
#include <iterator>

namespace kestrun {

namespace {

// Error bytes the emulator answers, each with the text the decoders show for it.
enum : uint8_t {
    errBadFormat = 0x01,        // "Неизвестная команда, неверный формат посылки или неизвестные параметры"
    errBadParameters = 0x33,    // "Некорректные параметры в команде"
    errNotSupported = 0x37,     // "Команда не поддерживается в данной реализации"
    errShiftClosed = 0x3D,      // "Смена не открыта - операция невозможна"
    errPaymentTooSmall = 0x45,  // "Cумма всех типов оплаты меньше итога чека"
    errTotalOverflow = 0x48,    // "Переполнение итога чека"
    errWrongReceiptType = 0x49, // "Операция невозможна в открытом чеке данного типа"
    errReceiptOpen = 0x4A,      // "Открыт чек - операция невозможна"
    errReceiptClosed = 0x55,    // "Чек закрыт - операция невозможна"
    errNoTable = 0x5D,          // "Таблица не определена"
    errMultiplyOverflow = 0x60, // "Переполнение при умножении"
    errWrongMode = 0x73,        // "Команда не поддерживается в данном режиме"
};

// Modes of an open receipt by its type: income, expense, return of income, return of expense.
constexpr uint8_t ReceiptModes[] = {8, 24, 40, 56};
constexpr uint8_t ModeShiftOpen = 2;
constexpr uint8_t ModeShiftClosed = 4;

// Flags: both rolls present, paper under both sensors, both levers down.
constexpr uint16_t StatusFlags = 0x03C3;
constexpr int64_t MaxSum = (int64_t(1) << 40) - 1; // what a 5-byte sum field holds
constexpr uint32_t EcrSerial = 54321;
constexpr int64_t TaxpayerNumber = 7700000000;
constexpr char FNSerial[] = "0000000000054321";
constexpr char DeviceDescription[] = "Эмулятор ККТ Kestrun";
constexpr char SoftVersion[] = "10";
constexpr uint16_t SoftBuild = 101;
const QByteArray SoftDate = QByteArray::fromHex("010318"); // 1 March 2024

QByteArray Int(int64_t value, int size) { return IntToBin(value, size); }

int64_t Read(QByteArrayView body, qsizetype pos, int size) { return BinToInt(body, pos + 1, size); }

uint8_t Byte(QByteArrayView body, qsizetype pos) { return static_cast<uint8_t>(body[pos]); }

uint8_t OperatorOf(QByteArrayView body)
{
    const int64_t password = Read(body, 0, 4);
    return password >= 1 && password <= 30 ? static_cast<uint8_t>(password) : 30;
}

QByteArray Ansi(const char* text, qsizetype size)
{
    return UnicodeToCp1251(QString::fromUtf8(text)).leftJustified(size, '\0', true);
}

uint32_t TableCellKey(uint8_t table, uint16_t row, uint8_t field)
{
    return uint32_t(table) << 24 | uint32_t(row) << 8 | field;
}

// qty (1/divisor units) times price in kopecks, rounded; -1 beyond a sum field.
int64_t Amount(int64_t quantity, int64_t price, int64_t divisor)
{
    const __int128 product = (__int128(quantity) * price + divisor / 2) / divisor;
    return product > MaxSum ? -1 : static_cast<int64_t>(product);
}

int64_t SumOf(QByteArrayView body, qsizetype pos, int count)
{
    int64_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum += Read(body, pos + 5 * i, 5);
    return sum;
}

// Marking codes with a group separator are the long codes the fiscal drive checks itself.
struct TMarkingCheck
{
    uint8_t LocalResult;
    uint8_t LocalError;
    uint8_t MarkingType2;
    uint16_t MarkingType;
    uint8_t MarkingTypeEx;
};

TMarkingCheck CheckMarkingCode(QByteArrayView barcode)
{
    if (barcode.contains('\x1D'))
        return {0x03, 0, 4, 0x444D, 3};
    return {0x00, 1, 0, 0x0000, 0xFF};
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values)
        bytes += char(v);
    return bytes;
}

QByteArray DateBytes(const QDate& d) { return Bytes({d.day(), d.month(), d.year() - 2000}); }

QByteArray TimeBytes(const QTime& t) { return Bytes({t.hour(), t.minute(), t.second()}); }

} // namespace

// Minimum body sizes follow the request layouts the decoders read.
const TRegisterEmulator::TEmulatedCommand TRegisterEmulator::Commands[] = {
    {0x0010, 4, &TRegisterEmulator::ShortStatus},
    {0x0011, 4, &TRegisterEmulator::LongStatus},
    {0x0017, 5, &TRegisterEmulator::PrintText},
    {0x001E, 8, &TRegisterEmulator::WriteTable},
    {0x001F, 8, &TRegisterEmulator::ReadTable},
    {0x002D, 5, &TRegisterEmulator::TableStructure},
    {0x002E, 6, &TRegisterEmulator::FieldStructure},
    {0x002F, 6, &TRegisterEmulator::PrintText},
    {0x0040, 4, &TRegisterEmulator::XReport},
    {0x0041, 4, &TRegisterEmulator::ZReport},
    {0x006B, 0, &TRegisterEmulator::ErrorText},
    {0x0080, 19, &TRegisterEmulator::Sale},
    {0x0081, 19, &TRegisterEmulator::Sale},
    {0x0082, 19, &TRegisterEmulator::Sale},
    {0x0083, 19, &TRegisterEmulator::Sale},
    {0x0085, 30, &TRegisterEmulator::CloseReceipt},
    {0x0089, 4, &TRegisterEmulator::Subtotal},
    {0x008D, 5, &TRegisterEmulator::OpenReceipt},
    {0x00E0, 4, &TRegisterEmulator::OpenShift},
    {0x00FC, 0, &TRegisterEmulator::DeviceType},
    {0xFF01, 4, &TRegisterEmulator::FNStatus},
    {0xFF0C, 4, &TRegisterEmulator::AcceptTLV},
    {0xFF45, 116, &TRegisterEmulator::CloseReceiptV2},
    {0xFF46, 30, &TRegisterEmulator::Operation},
    {0xFF4D, 4, &TRegisterEmulator::AcceptTLV},
    {0xFF61, 8, &TRegisterEmulator::CheckMarking},
    {0xFF67, 5, &TRegisterEmulator::BindMarking},
    {0xFF69, 5, &TRegisterEmulator::AcceptMarking},
    {0xFF76, 136, &TRegisterEmulator::CloseReceiptV2},
};

TRegisterEmulator::TRegisterEmulator(TEmulatorOptions options)
    : FOptions(std::move(options)), FShiftOpen(FOptions.ShiftOpen), FPreviousMode(Mode()),
      FBusyLeft(FOptions.BusyCount)
{
}

uint8_t TRegisterEmulator::Mode() const
{
    if (FReceiptOpen)
        return ReceiptModes[FReceiptType];
    return FShiftOpen ? ModeShiftOpen : ModeShiftClosed;
}

uint8_t TRegisterEmulator::SubMode() const
{
    constexpr uint8_t SubModePaperPresent = 0;
    constexpr uint8_t SubModePrinting = 5;
    return FPrintEnd.hasExpired() ? SubModePaperPresent : SubModePrinting;
}

TLinkAnswer TRegisterEmulator::Exchange(const QByteArray& request)
{
    const uint16_t code = CommandCodeOf(request);
    if (const auto failure = FOptions.CallFailures.constFind(code); failure != FOptions.CallFailures.cend())
        throw Exception(*failure);
    if (const auto fault = FOptions.DriverErrors.constFind(code); fault != FOptions.DriverErrors.cend())
        return {fault->Code, {}, fault->Text};
    // A register that keeps silent: the driver waits its time out, and nothing was done.
    if (const auto silent = FOptions.SilentMilliseconds.constFind(code); silent != FOptions.SilentMilliseconds.cend()) {
        QThread::msleep(static_cast<unsigned long>(*silent));
        return {deNoAnswer, {}, {}};
    }

    TReply reply;
    if (FBusyLeft > 0) {
        --FBusyLeft;
        reply.Error = FOptions.BusyError;
    } else if (const auto error = FOptions.DeviceErrors.constFind(code); error != FOptions.DeviceErrors.cend()) {
        reply.Error = *error;
    } else {
        const uint8_t modeBefore = Mode();
        reply = Answer({code, QByteArrayView(request).sliced(CommandCodeSize(request))});
        if (Mode() != modeBefore)
            FPreviousMode = modeBefore;
    }
    if (reply.Error != 0)
        FLastError = reply.Error;
    return {0, ErrorAnswer(request, reply.Error) + (reply.Error == 0 ? reply.Data : QByteArray()), {}};
}

TRegisterEmulator::TReply TRegisterEmulator::Answer(const TRequest& request)
{
    for (const TEmulatedCommand& command : Commands) {
        if (command.Code != request.Code)
            continue;
        if (request.Body.size() < command.MinBody)
            return {errBadFormat, {}};
        TReply reply = (this->*command.Handle)(request);
        // The catalogue says which commands print; the player waits after fewer of them.
        if ((CommandProperties(command.Code) & cpPrints) && reply.Error == 0)
            FPrintEnd.setRemainingTime(FOptions.PrintMilliseconds);
        return reply;
    }
    return {errNotSupported, {}};
}

TLinkAnswer TRegisterEmulator::WaitForPrinting()
{
    if (!FPrintEnd.hasExpired())
        QThread::msleep(static_cast<unsigned long>(FPrintEnd.remainingTime()));
    return {};
}

TRegisterEmulator::TReply TRegisterEmulator::ShortStatus(const TRequest& request)
{
    QByteArray data;
    data += char(OperatorOf(request.Body));
    data += Int(StatusFlags, 2);
    data += char(Mode());
    data += char(SubMode());
    data += char(FReceiptItems & 0xFF);
    data += char(0x99);                // battery 3.00 V
    data += char(0xD8);                // power source 24.00 V
    data += QByteArray(3, '\0');       // results of the memory, journal and key updates
    data += char(25);                  // print head temperature
    data += char(FPreviousMode);
    return {0, data};
}

TRegisterEmulator::TReply TRegisterEmulator::LongStatus(const TRequest& request)
{
    const QDateTime now = QDateTime::currentDateTime();
    QByteArray data;
    data += char(OperatorOf(request.Body));
    data += SoftVersion;
    data += Int(SoftBuild, 2);
    data += SoftDate;
    data += char(1);                   // logical number
    data += Int(FDocumentNumber, 2);
    data += Int(StatusFlags, 2);
    data += char(Mode());
    data += char(SubMode());
    data += char(1);                   // port: USB
    data += SoftVersion;
    data += Int(SoftBuild, 2);
    data += SoftDate;
    data += DateBytes(now.date());
    data += TimeBytes(now.time());
    data += char(0);                   // memory flags
    data += Int(EcrSerial, 4);
    data += Int(FShiftNumber, 2);
    data += Int(2100 - FShiftNumber, 2); // free shift records
    data += char(1);                   // registrations made
    data += char(11);                  // registrations left
    data += Int(TaxpayerNumber, 6);
    return {0, data};
}

TRegisterEmulator::TReply TRegisterEmulator::DeviceType(const TRequest&)
{
    QByteArray data;
    data += char(0);                   // register
    data += char(0);
    data += char(1);                   // protocol 1.0
    data += char(0);
    data += char(0);                   // model
    data += char(0);                   // Russian
    data += UnicodeToCp1251(QString::fromUtf8(DeviceDescription));
    return {0, data};
}

TRegisterEmulator::TReply TRegisterEmulator::FNStatus(const TRequest&)
{
    const QDateTime now = QDateTime::currentDateTime();
    QByteArray data;
    data += char(0x03);                // set up, fiscal mode open
    data += char(FReceiptOpen ? 4 : 0);
    data += char(FReceiptItems > 0 ? 1 : 0);
    data += char(FShiftOpen ? 1 : 0);
    data += char(0);                   // warnings
    data += Bytes({now.date().year() - 2000, now.date().month(), now.date().day(), now.time().hour(),
                   now.time().minute()});
    data += FNSerial;
    data += Int(FDocumentNumber, 4);
    return {0, data};
}

TRegisterEmulator::TReply TRegisterEmulator::PrintText(const TRequest&) { return {}; }

TRegisterEmulator::TReply TRegisterEmulator::WriteTable(const TRequest& request)
{
    const uint8_t table = Byte(request.Body, 4);
    const auto row = static_cast<uint16_t>(Read(request.Body, 5, 2));
    const TEmulatedTable* t = FindEmulatedTable(table);
    if (!t)
        return {errNoTable, {}};
    const TEmulatedField* f = FindEmulatedField(table, Byte(request.Body, 7));
    const QByteArrayView value = request.Body.sliced(8);
    if (!f || row < 1 || row > t->Rows || value.size() > f->Size)
        return {errBadParameters, {}};
    FTableValues.insert(TableCellKey(table, row, f->Number), value.toByteArray().leftJustified(f->Size, '\0'));
    return {};
}

TRegisterEmulator::TReply TRegisterEmulator::ReadTable(const TRequest& request)
{
    const uint8_t table = Byte(request.Body, 4);
    const auto row = static_cast<uint16_t>(Read(request.Body, 5, 2));
    const TEmulatedTable* t = FindEmulatedTable(table);
    if (!t)
        return {errNoTable, {}};
    const TEmulatedField* f = FindEmulatedField(table, Byte(request.Body, 7));
    if (!f || row < 1 || row > t->Rows)
        return {errBadParameters, {}};
    return {0, FTableValues.value(TableCellKey(table, row, f->Number), DefaultFieldValue(*f))};
}

TRegisterEmulator::TReply TRegisterEmulator::TableStructure(const TRequest& request)
{
    const TEmulatedTable* t = FindEmulatedTable(Byte(request.Body, 4));
    if (!t)
        return {errNoTable, {}};
    return {0, Ansi(t->Name, 40) + Int(t->Rows, 2) + char(EmulatedFieldCount(t->Number))};
}

TRegisterEmulator::TReply TRegisterEmulator::FieldStructure(const TRequest& request)
{
    const uint8_t table = Byte(request.Body, 4);
    if (!FindEmulatedTable(table))
        return {errNoTable, {}};
    const TEmulatedField* f = FindEmulatedField(table, Byte(request.Body, 5));
    if (!f)
        return {errBadParameters, {}};
    return {0, Ansi(f->Name, 40) + char(f->Type)};
}

TRegisterEmulator::TReply TRegisterEmulator::ErrorText(const TRequest& request)
{
    const uint8_t code = request.Body.isEmpty() ? FLastError : Byte(request.Body, 0);
    return {0, UnicodeToCp1251(TPrinterError::GetDescription(code))};
}

TRegisterEmulator::TReply TRegisterEmulator::OpenShift(const TRequest&)
{
    if (FReceiptOpen)
        return {errReceiptOpen, {}};
    if (FShiftOpen)
        return {errWrongMode, {}};
    FShiftOpen = true;
    ++FShiftNumber;
    ++FDocumentNumber;
    return {};
}

TRegisterEmulator::TReply TRegisterEmulator::XReport(const TRequest&)
{
    if (FReceiptOpen)
        return {errReceiptOpen, {}};
    ++FDocumentNumber;
    return {};
}

TRegisterEmulator::TReply TRegisterEmulator::ZReport(const TRequest&)
{
    if (FReceiptOpen)
        return {errReceiptOpen, {}};
    if (!FShiftOpen)
        return {errShiftClosed, {}};
    FShiftOpen = false;
    ++FDocumentNumber;
    return {};
}

TRegisterEmulator::TReply TRegisterEmulator::OpenReceipt(const TRequest& request)
{
    const uint8_t type = Byte(request.Body, 4);
    if (!FShiftOpen)
        return {errShiftClosed, {}};
    if (FReceiptOpen)
        return {errReceiptOpen, {}};
    if (type >= std::size(ReceiptModes))
        return {errBadParameters, {}};
    FReceiptOpen = true;
    FReceiptType = type;
    FReceiptTotal = 0;
    FReceiptItems = 0;
    return {0, QByteArray(1, char(OperatorOf(request.Body)))};
}

TRegisterEmulator::TReply TRegisterEmulator::Sale(const TRequest& request)
{
    const int64_t amount = Amount(Read(request.Body, 4, 5), Read(request.Body, 9, 5), 1000);
    if (amount < 0)
        return {errMultiplyOverflow, {}};
    return {AddToReceipt(static_cast<uint8_t>(request.Code - 0x80), amount), {}};
}

TRegisterEmulator::TReply TRegisterEmulator::Operation(const TRequest& request)
{
    // Receipt types of the operation's check types 1 to 4.
    static constexpr uint8_t TypeOfCheckType[] = {0, 2, 1, 3};
    const uint8_t checkType = Byte(request.Body, 4);
    if (checkType < 1 || checkType > std::size(TypeOfCheckType))
        return {errBadParameters, {}};
    const QByteArrayView summ = request.Body.sliced(16, 5);
    const int64_t amount = summ == QByteArrayView("\xFF\xFF\xFF\xFF\xFF")
                               ? Amount(Read(request.Body, 5, 6), Read(request.Body, 11, 5), 1000000)
                               : Read(summ, 0, 5);
    if (amount < 0)
        return {errMultiplyOverflow, {}};
    return {AddToReceipt(TypeOfCheckType[checkType - 1], amount), {}};
}

uint8_t TRegisterEmulator::AddToReceipt(uint8_t type, int64_t amount)
{
    if (!FShiftOpen)
        return errShiftClosed;
    if (FReceiptOpen && FReceiptType != type)
        return errWrongReceiptType;
    const int64_t total = (FReceiptOpen ? FReceiptTotal : 0) + amount;
    if (total > MaxSum)
        return errTotalOverflow;
    if (!FReceiptOpen) {
        FReceiptOpen = true;
        FReceiptType = type;
        FReceiptItems = 0;
    }
    FReceiptTotal = total;
    ++FReceiptItems;
    return 0;
}

TRegisterEmulator::TReply TRegisterEmulator::Subtotal(const TRequest& request)
{
    if (!FReceiptOpen)
        return {errReceiptClosed, {}};
    return {0, char(OperatorOf(request.Body)) + Int(FReceiptTotal, 5)};
}

TRegisterEmulator::TReply TRegisterEmulator::CloseReceipt(const TRequest& request)
{
    TReply reply = FinishReceipt(SumOf(request.Body, 4, 4), FReceiptTotal, false);
    if (reply.Error == 0)
        reply.Data.prepend(char(OperatorOf(request.Body)));
    return reply;
}

TRegisterEmulator::TReply TRegisterEmulator::CloseReceiptV2(const TRequest& request)
{
    const int64_t rounding = Byte(request.Body, 84);
    return FinishReceipt(SumOf(request.Body, 4, 16), qMax<int64_t>(0, FReceiptTotal - rounding), true);
}

TRegisterEmulator::TReply TRegisterEmulator::FinishReceipt(int64_t paid, int64_t due, bool extended)
{
    if (!FReceiptOpen)
        return {errReceiptClosed, {}};
    if (paid < due)
        return {errPaymentTooSmall, {}};
    FReceiptOpen = false;
    ++FDocumentNumber;
    QByteArray data = Int(paid - due, 5);
    if (extended)
        data += Int(FDocumentNumber, 4) + Int(FiscalSign(due), 4);
    FReceiptTotal = 0;
    FReceiptItems = 0;
    return {0, data};
}

uint32_t TRegisterEmulator::FiscalSign(int64_t total) const
{
    // Any stable number that differs from document to document serves.
    return static_cast<uint32_t>(FDocumentNumber * 2654435761u ^ static_cast<uint64_t>(total) * 40503u);
}

TRegisterEmulator::TReply TRegisterEmulator::AcceptTLV(const TRequest& request)
{
    if (request.Code == 0xFF4D && !FReceiptOpen)
        return {errReceiptClosed, {}};
    for (qsizetype pos = 4; pos < request.Body.size();) {
        if (request.Body.size() - pos < 4)
            return {errBadParameters, {}};
        pos += 4 + Read(request.Body, pos + 2, 2);
        if (pos > request.Body.size())
            return {errBadParameters, {}};
    }
    return {};
}

TRegisterEmulator::TReply TRegisterEmulator::CheckMarking(const TRequest& request)
{
    const uint8_t status = Byte(request.Body, 4);
    const qsizetype barcodeSize = Byte(request.Body, 6);
    if (request.Body.size() < 8 + barcodeSize + Byte(request.Body, 7))
        return {errBadFormat, {}};
    if (barcodeSize == 0 || status < 1 || status > 4)
        return {errBadParameters, {}};
    const TMarkingCheck check = CheckMarkingCode(request.Body.sliced(8, barcodeSize));
    QByteArray data;
    data += char(check.LocalResult);
    data += char(check.LocalError);
    data += char(check.MarkingType2);
    // Server answer: two bytes follow, no error, code checked and item status confirmed.
    data += QByteArray::fromHex("02000F");
    return {0, data};
}

TRegisterEmulator::TReply TRegisterEmulator::BindMarking(const TRequest& request)
{
    const qsizetype barcodeSize = Byte(request.Body, 4);
    if (request.Body.size() < 5 + barcodeSize)
        return {errBadFormat, {}};
    if (barcodeSize == 0)
        return {errBadParameters, {}};
    if (!FReceiptOpen)
        return {errReceiptClosed, {}};
    const TMarkingCheck check = CheckMarkingCode(request.Body.sliced(5, barcodeSize));
    QByteArray data;
    data += char(check.MarkingType >> 8);
    data += char(check.MarkingType & 0xFF);
    data += char(check.MarkingTypeEx);
    data += char(check.LocalResult);
    data += char(check.LocalError);
    data += char(check.MarkingType2);
    return {0, data};
}

TRegisterEmulator::TReply TRegisterEmulator::AcceptMarking(const TRequest& request)
{
    if (Byte(request.Body, 4) > 1)
        return {errBadParameters, {}};
    return {};
}

} // namespace kestrun
