// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PartBlock.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

namespace kestrun {

// Log dialect a record came from.
enum class TProtocol : uint8_t {
    pNone = 0,
    pProtocol1 = 1,
    pProtocol2 = 2,
    pPlain = 3,
    pProtocolNg1 = 4,
    pProtocolNg2 = 5,
    pProtocolNg1Plain = 6,
    pProtocolJpos1 = 7,
};

// The enumeration member's name, e.g. "pProtocol1".
const char* ProtocolName(TProtocol protocol);
// The caption the details pane shows, e.g. "[Protocol v1]"; empty for pNone and pProtocolNg2.
QString ProtocolCaption(TProtocol protocol);

// The duration of an exchange without one: no answer, or stamps that give none.
constexpr int32_t NoDuration = -1;

// The first bytes of a frame, enough for its command code and error byte, read without a copy
// of the rest.
struct TFrameHead
{
    char Bytes[3] = {};
    qsizetype Size = 0;

    QByteArrayView View() const { return QByteArrayView(Bytes, Size); }
};

// One request/answer exchange taken from a log. The frames read and write as the hex text the
// log shows (8-bit strings), the prefix of the request's line as the log wrote it. A big log holds
// hundreds of thousands of these, so they are kept compact: frames as bytes and the usual prefix
// as its time and thread, all in one block; text that would not come back the same from that
// (odd spacing, lower-case digits, another prefix) is kept as it stands.
class TCommand
{
public:
    QByteArray Data() const { return FrameText(fpData); }
    QByteArray AnswerData() const { return FrameText(fpAnswer); }
    QByteArray PlayedAnswerData() const { return FrameText(fpPlayed); }
    QByteArray Attributes() const;
    QString DriverError() const;

    void SetData(QByteArrayView hex) { SetFrame(fpData, hex); }
    void SetAnswerData(QByteArrayView hex) { SetFrame(fpAnswer, hex); }
    void SetPlayedAnswerData(QByteArrayView hex) { SetFrame(fpPlayed, hex); }
    void SetAttributes(QByteArrayView attributes);
    void SetDriverError(const QString& text);

    // The frames' bytes, as HexToStr gives them from the text.
    QByteArray DataBytes() const { return FrameBytes(fpData); }
    QByteArray AnswerBytes() const { return FrameBytes(fpAnswer); }
    QByteArray PlayedAnswerBytes() const { return FrameBytes(fpPlayed); }
    TFrameHead DataHead() const { return FrameHead(fpData); }
    TFrameHead AnswerHead() const { return FrameHead(fpAnswer); }
    TFrameHead PlayedAnswerHead() const { return FrameHead(fpPlayed); }
    // Whether the text is non-empty, without making it.
    bool HasData() const { return PartSize(fpData) > 0; }
    bool HasAnswerData() const { return PartSize(fpAnswer) > 0; }
    bool HasPlayedAnswerData() const { return PartSize(fpPlayed) > 0; }
    bool HasDriverError() const { return PartSize(fpDriverError) > 0; }

    // The time and thread of the prefix ("12.03.2024 10:15:30.012", "00001A2C"); empty when it
    // has none.
    QByteArray Time() const;
    QByteArray Thread() const;
    bool ThreadIs(QByteArrayView thread) const;
    // The moment the prefix's time stamp names (LogStampMs).
    std::optional<qint64> StampMs() const;

    // Moves the command's bytes next to those of the commands packed before it on this thread
    // (TPartBlock::Pack); for a command that is complete.
    void Pack() { FParts.Pack(); }

    // The members are in the order that packs them into 48 bytes.
    int32_t LineNumber = 0;
    // Milliseconds from the stamp of the request's first line (the one Attributes comes from) to
    // that of the line completing the exchange; NoDuration when there is none.
    int32_t DurationMs = NoDuration;
    TProtocol Protocol = TProtocol::pNone;
    bool Played : 1 = false;
    bool Selected : 1 = false;

    bool operator==(const TCommand&) const = default;

private:
    // The parts of the block, in their order; the driver's error text runs to its end.
    enum TPart : uint8_t { fpData, fpAnswer, fpPlayed, fpAttributes, fpDriverError, fpCount };

    QByteArray FrameText(TPart part) const;
    QByteArray FrameBytes(TPart part) const;
    TFrameHead FrameHead(TPart part) const;
    void SetFrame(TPart part, QByteArrayView hex);
    QByteArrayView Part(TPart part) const { return FParts.Part(part); }
    qsizetype PartSize(TPart part) const { return FParts.PartSize(part); }
    void ReplacePart(TPart part, QByteArrayView content);
    // Gives the part `size` bytes, to be written through the pointer returned.
    char* ResizePart(TPart part, qsizetype size) { return FParts.ResizePart(part, size); }

    uint16_t FForms = 0;                // how each part is kept (TCommand.cpp)
    uint32_t FThread = 0;               // the usual prefix's thread, 8 hex digits
    TPartBlock FParts;
    static_assert(fpCount == TPartBlock::PartCount);
    uint64_t FStampDigits = 0;          // the usual prefix's 17 digits
};

} // namespace kestrun

static_assert(sizeof(kestrun::TCommand) <= 48, "a big log holds millions of commands");

// Lets the command list grow by realloc instead of copying every record.
Q_DECLARE_TYPEINFO(kestrun::TCommand, Q_RELOCATABLE_TYPE);

namespace kestrun {

// The command list, indexed from 0.
using TCommands = QList<TCommand>;

// The code of a command given as hex text: first byte, or prefix*256 + second byte for FF and FE.
uint16_t GetCommandCodeOfData(const QByteArray& data);

uint16_t GetCommandCode(const TCommand& command);
int GetAnswerErrorCode(const TCommand& command);

// What became of a command, as flags: every row colour, count, filter and search asks for the
// ones it needs rather than judging the command its own way.
enum TOutcomeFlag : uint8_t {
    ofAnswerError = 1 << 0, // the logged answer reports an error or is too short to carry one
    ofNoAnswer = 1 << 1,    // the log holds no answer
    ofDriverError = 1 << 2, // the driver logged an error line for it
    ofPlayedError = 1 << 3, // replayed, and the device's answer is missing or reports an error
    ofDecodeFault = 1 << 4, // its summary cannot be decoded; known only to the decoders
};
using TOutcome = uint8_t;
// A command fails with any of these: its row is red and counts as an error. A failed replay is
// told apart, for those who ask for it.
constexpr TOutcome FailedOutcome = ofAnswerError | ofNoAnswer | ofDriverError | ofDecodeFault;
constexpr bool IsFailed(TOutcome outcome) { return (outcome & FailedOutcome) != 0; }
// The flags the record tells by itself: all but ofDecodeFault.
TOutcome RecordOutcome(const TCommand& command);
QByteArray GetCommandTime(const TCommand& command);
QByteArray GetCommandThread(const TCommand& command);

} // namespace kestrun
