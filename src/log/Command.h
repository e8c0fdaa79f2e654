#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

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

// One request/answer exchange taken from a log. Hex texts are 8-bit strings as the log wrote them.
struct TCommand
{
    QByteArray Data;
    QByteArray Attributes;
    QByteArray AnswerData;
    QByteArray PlayedAnswerData;
    bool Played = false;
    bool Selected = false;
    TProtocol Protocol = TProtocol::pNone;
    int32_t LineNumber = 0;
    QString DriverError;
    // Milliseconds from the stamp of the request's first line (the one Attributes comes from) to
    // that of the line completing the exchange; NoDuration when there is none.
    int32_t DurationMs = NoDuration;

    bool operator==(const TCommand&) const = default;
};

} // namespace kestrun

// Lets the command list grow by realloc instead of copying every record.
Q_DECLARE_TYPEINFO(kestrun::TCommand, Q_RELOCATABLE_TYPE);

namespace kestrun {

// The command list, indexed from 0.
using TCommands = QList<TCommand>;

// The code of a command given as hex text: first byte, or prefix*256 + second byte for FF and FE.
uint16_t GetCommandCodeOfData(const QByteArray& data);

uint16_t GetCommandCode(const TCommand& command);
int GetAnswerErrorCode(const TCommand& command);
bool HasAnswerError(const TCommand& command);
// A replayed command whose answer is missing or reports an error.
bool HasPlayedAnswerError(const TCommand& command);
QByteArray GetCommandTime(const TCommand& command);
QByteArray GetCommandThread(const TCommand& command);
// The same without a copy: it points into the command's Attributes.
QByteArrayView CommandThreadView(const TCommand& command);

} // namespace kestrun
