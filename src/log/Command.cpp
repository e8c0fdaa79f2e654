// SPDX-License-Identifier: GPL-3.0-or-later
#include "Command.h"

#include "Bytes.h"
#include "Frames.h"
#include "HexText.h"
#include "LogDialect.h"
#include "LogStamp.h"

#include <algorithm>
#include <array>

namespace kestrun {

namespace {

struct ProtocolInfo
{
    const char* Name;
    const char* Caption;
};

constexpr ProtocolInfo Protocols[] = {
    {"pNone", ""},
    {"pProtocol1", "[Protocol v1]"},
    {"pProtocol2", "[Protocol v2]"},
    {"pPlain", "[Protocol v1 (plain)]"},
    {"pProtocolNg1", "[Protocol v1 (NG)]"},
    {"pProtocolNg2", ""},
    {"pProtocolNg1Plain", "[Protocol v1 (plain) (NG)]"},
    {"pProtocolJpos1", "[Protocol v1 (jpos)]"},
};

const ProtocolInfo& InfoOf(TProtocol protocol)
{
    const auto index = static_cast<size_t>(protocol);
    return Protocols[index < std::size(Protocols) ? index : 0];
}

// How a part is kept, three bits per frame: as its text, and the blanks around the bytes' text.
constexpr uint16_t KeptAsText = 1;
constexpr uint16_t LeadingBlank = 2;
constexpr uint16_t TrailingBlank = 4;
constexpr int FormBits = 3;
// The attributes start with the usual prefix, kept as its time and thread.
constexpr uint16_t UsualPrefix = 1u << 9;

// The canonical hex text within a frame's text, which may have one blank before and after it (the
// form bits).
QByteArrayView CanonicalCore(QByteArrayView text, uint16_t& form)
{
    form = 0;
    if (text.startsWith(' ')) {
        form |= LeadingBlank;
        text = text.sliced(1);
    }
    if (text.size() > 1 && text.endsWith(' ')) {
        form |= TrailingBlank;
        text.chop(1);
    }
    return text;
}

// Where the pattern holds characters of a kind ('d', 'h', or any other for the fixed ones): known
// when compiling, so reading a prefix runs without looking at the pattern.
template <char Kind>
constexpr auto PlacesOf()
{
    const auto fits = [](char c) { return Kind == 'd' || Kind == 'h' ? c == Kind : c != 'd' && c != 'h'; };
    constexpr size_t count = [&] {
        size_t n = 0;
        for (qsizetype i = 0; i < PrefixLength; ++i)
            n += fits(PrefixPattern[i]) ? 1 : 0;
        return n;
    }();
    std::array<uint8_t, count> places{};
    size_t k = 0;
    for (qsizetype i = 0; i < PrefixLength; ++i)
        if (fits(PrefixPattern[i]))
            places[k++] = uint8_t(i);
    return places;
}
constexpr auto FixedPlaces = PlacesOf<'-'>();
constexpr auto DigitPlaces = PlacesOf<'d'>();
constexpr auto HexPlaces = PlacesOf<'h'>();

// Reads the usual prefix's time digits and thread; false when the text does not start with it.
bool ReadUsualPrefix(QByteArrayView attributes, uint64_t& digits, uint32_t& thread)
{
    if (attributes.size() < PrefixLength)
        return false;
    const char* text = attributes.data();
    for (const uint8_t at : FixedPlaces)
        if (text[at] != PrefixPattern[at])
            return false;
    digits = 0;
    for (const uint8_t at : DigitPlaces) {
        const auto digit = unsigned(text[at] - '0');
        if (digit > 9)
            return false;
        digits = digits * 10 + digit;
    }
    thread = 0;
    for (const uint8_t at : HexPlaces) {
        const int value = UpperHexDigitValue(text[at]);
        if (value < 0)
            return false;
        thread = thread << 4 | uint32_t(value);
    }
    return true;
}

// The text of the usual prefix from its time digits and thread.
void WriteUsualPrefix(char* out, uint64_t digits, uint32_t thread)
{
    for (qsizetype i = PrefixLength - 1; i >= 0; --i) {
        const char kind = PrefixPattern[i];
        if (kind == 'd') {
            out[i] = char('0' + digits % 10);
            digits /= 10;
        } else if (kind == 'h') {
            out[i] = UpperHexDigit(thread);
            thread >>= 4;
        } else {
            out[i] = kind;
        }
    }
}

// The thread as the line shows it: after "] [" up to ']', or for the jpos log the word
// starting " Thread" up to the next blank.
QByteArrayView ThreadOfPrefix(QByteArrayView attributes, TProtocol protocol)
{
    QByteArrayView rest;
    char terminator = ThreadClose;
    if (protocol == TProtocol::pProtocolJpos1) {
        const qsizetype at = attributes.indexOf(QByteArrayView(" Thread"));
        rest = at < 0 ? attributes : attributes.sliced(at + 1);
        terminator = ' ';
    } else {
        const qsizetype at = attributes.indexOf(QByteArrayView(ThreadOpen));
        const qsizetype from = at < 0 ? 2 : at + qsizetype(ThreadOpen.size());
        rest = from < attributes.size() ? attributes.sliced(from) : QByteArrayView();
    }
    const qsizetype end = rest.indexOf(terminator);
    return end < 0 ? QByteArrayView() : rest.first(end);
}

} // namespace

const char* ProtocolName(TProtocol protocol) { return InfoOf(protocol).Name; }

QString ProtocolCaption(TProtocol protocol) { return QString::fromLatin1(InfoOf(protocol).Caption); }

void TCommand::ReplacePart(TPart part, QByteArrayView content)
{
    std::copy_n(content.data(), content.size(), ResizePart(part, content.size()));
}

void TCommand::SetFrame(TPart part, QByteArrayView hex)
{
    uint16_t form = 0;
    const QByteArrayView core = CanonicalCore(hex, form);
    const qsizetype count = CanonicalHexBytes(core.size());
    // Blanks alone are kept as they stand.
    const bool usual = (count > 0 || hex.isEmpty()) && ReadCanonicalHex(core, ResizePart(part, count));
    if (!usual) {
        form = KeptAsText;
        ReplacePart(part, hex);
    }
    const int shift = part * FormBits;
    FForms = uint16_t((FForms & ~(7u << shift)) | (form << shift));
}

QByteArray TCommand::FrameText(TPart part) const
{
    const QByteArrayView stored = Part(part);
    const unsigned form = (FForms >> (part * FormBits)) & 7u;
    if (form & KeptAsText || stored.isEmpty())
        return stored.toByteArray();
    const qsizetype lead = form & LeadingBlank ? 1 : 0;
    QByteArray text(lead + stored.size() * 3 - 1 + (form & TrailingBlank ? 1 : 0), ' ');
    WriteHex(stored, text.data() + lead);
    return text;
}

QByteArray TCommand::FrameBytes(TPart part) const
{
    const QByteArrayView stored = Part(part);
    return (FForms >> (part * FormBits)) & KeptAsText ? HexToStr(stored) : stored.toByteArray();
}

TFrameHead TCommand::FrameHead(TPart part) const
{
    TFrameHead head;
    const QByteArrayView stored = Part(part);
    const qsizetype room = qsizetype(sizeof(head.Bytes));
    const QByteArray fromText =
        (FForms >> (part * FormBits)) & KeptAsText ? HexToStrPrefix(stored, room) : QByteArray();
    const QByteArrayView bytes = fromText.isNull() ? stored.first(qMin(room, stored.size())) : QByteArrayView(fromText);
    head.Size = qMin(room, bytes.size());
    std::copy_n(bytes.data(), head.Size, head.Bytes);
    return head;
}

QByteArray TCommand::Attributes() const
{
    const QByteArrayView stored = Part(fpAttributes);
    if (!(FForms & UsualPrefix))
        return stored.toByteArray();
    QByteArray text(PrefixLength + stored.size(), Qt::Uninitialized);
    WriteUsualPrefix(text.data(), FStampDigits, FThread);
    std::copy_n(stored.data(), stored.size(), text.data() + PrefixLength);
    return text;
}

void TCommand::SetAttributes(QByteArrayView attributes)
{
    if (!ReadUsualPrefix(attributes, FStampDigits, FThread)) {
        FStampDigits = 0;
        FThread = 0;
        FForms &= uint16_t(~UsualPrefix);
        ReplacePart(fpAttributes, attributes);
        return;
    }
    FForms |= UsualPrefix;
    ReplacePart(fpAttributes, attributes.sliced(PrefixLength));
}

QByteArray TCommand::Time() const
{
    if (!(FForms & UsualPrefix)) {
        const QByteArrayView attributes = Part(fpAttributes);
        return attributes.size() < 2 ? QByteArray() : attributes.toByteArray().mid(StampTimeFrom, StampTimeSize);
    }
    char prefix[PrefixLength];
    WriteUsualPrefix(prefix, FStampDigits, FThread);
    return QByteArray(prefix + StampTimeFrom, StampTimeSize);
}

QByteArray TCommand::Thread() const
{
    if (!(FForms & UsualPrefix))
        return ThreadOfPrefix(Part(fpAttributes), Protocol).toByteArray();
    if (Protocol == TProtocol::pProtocolJpos1)
        return ThreadOfPrefix(Attributes(), Protocol).toByteArray();
    char digits[ThreadDigits];
    WriteThreadDigits(digits, FThread);
    return QByteArray(digits, ThreadDigits);
}

bool TCommand::ThreadIs(QByteArrayView thread) const
{
    if (!(FForms & UsualPrefix))
        return ThreadOfPrefix(Part(fpAttributes), Protocol) == thread;
    if (Protocol == TProtocol::pProtocolJpos1)
        return Thread() == thread;
    char digits[ThreadDigits];
    WriteThreadDigits(digits, FThread);
    return QByteArrayView(digits, ThreadDigits) == thread;
}

std::optional<qint64> TCommand::StampMs() const
{
    if (!(FForms & UsualPrefix))
        return LogStampMs(Part(fpAttributes));
    // The digits read DDMMYYYYhhmmssmmm: taken apart as numbers, without writing the prefix.
    uint64_t digits = FStampDigits;
    const auto take = [&digits](uint64_t unit) {
        const int part = int(digits % unit);
        digits /= unit;
        return part;
    };
    TStampFields fields;
    fields.Millisecond = take(1000);
    fields.Second = take(100);
    fields.Minute = take(100);
    fields.Hour = take(100);
    fields.Year = take(10000);
    fields.Month = take(100);
    fields.Day = take(100);
    return kestrun::StampMs(fields);
}

QString TCommand::DriverError() const
{
    // Kept as UTF-16 code units, so any text comes back unchanged.
    const QByteArrayView stored = Part(fpDriverError);
    QString text(stored.size() / qsizetype(sizeof(char16_t)), Qt::Uninitialized);
    std::copy_n(stored.data(), text.size() * qsizetype(sizeof(char16_t)), reinterpret_cast<char*>(text.data()));
    return text;
}

void TCommand::SetDriverError(const QString& text)
{
    ReplacePart(fpDriverError, QByteArrayView(reinterpret_cast<const char*>(text.utf16()),
                                              text.size() * qsizetype(sizeof(char16_t))));
}

uint16_t GetCommandCodeOfData(const QByteArray& data) { return CommandCodeOf(HexToStrPrefix(data, 2)); }

uint16_t GetCommandCode(const TCommand& command) { return CommandCodeOf(command.DataHead().View()); }

int GetAnswerErrorCode(const TCommand& command)
{
    if (!command.HasAnswerData())
        return -1;
    return AnswerErrorByte(command.AnswerHead().View());
}

TOutcome RecordOutcome(const TCommand& command)
{
    TOutcome outcome = 0;
    // The summary marks an answer without its error byte as failed too (code -1).
    if (!command.HasAnswerData())
        outcome |= ofNoAnswer;
    else if (AnswerErrorByte(command.AnswerHead().View()) != 0)
        outcome |= ofAnswerError;
    if (command.HasDriverError())
        outcome |= ofDriverError;
    if (command.Played
        && (!command.HasPlayedAnswerData() || AnswerErrorByte(command.PlayedAnswerHead().View()) > 0))
        outcome |= ofPlayedError;
    return outcome;
}

QByteArray GetCommandTime(const TCommand& command) { return command.Time(); }

QByteArray GetCommandThread(const TCommand& command) { return command.Thread(); }

} // namespace kestrun
