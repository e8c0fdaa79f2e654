#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>
#include <cstdint>

namespace kestrun {

// Writes the bytes of wire exchanges as lines of the protocol-1 driver log, which Kestrun itself
// reads back. Only when an exchange has ended is it known which bytes made it up, so its lines
// are kept until then. The ones the host marks as followed are written as the reader follows
// them: the ENQ that found the device ready and its NAK, the request frame the device took and
// its ACK, the answer frame the host accepted and the host's ACK:
//   [12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol -> 05
// Every other byte - earlier rounds, stray bytes, frames refused and the NAKs that refused
// them, ENQs asking for a lost answer - goes, in its place, on a line the reader passes over:
//   [12.03.2024 10:15:30.123] [00001A2C] [TRACE] TPrinterProtocol <- 15
// A failed exchange ends with a line of its result, which the reader passes over as well:
//   [12.03.2024 10:15:30.123] [00001A2C] [ERROR] TPrinterProtocol: -9, Устройство не ответило на команду
class TTrafficLog
{
public:
    using TEntry = qsizetype;

    // Appends to the file; throws kestrun::Exception when it cannot be opened.
    explicit TTrafficLog(const QString& fileName);

    // The thread the lines are written for: the one that called the driver.
    void SetThread(uint32_t thread) { FThread = thread; }
    // The time is when the bytes crossed the wire; by default now.
    TEntry Sent(QByteArrayView bytes, const QDateTime& time = QDateTime::currentDateTime());
    TEntry Received(QByteArrayView bytes, const QDateTime& time = QDateTime::currentDateTime());
    // A line without bytes that the reader passes over.
    void Note(const QByteArray& text, const QDateTime& time = QDateTime::currentDateTime());
    void Follow(TEntry entry);
    // Writes the exchange's lines, with its result unless that is 0, and starts the next one.
    // False when the file took them not whole; ErrorString() tells why.
    bool Flush(int32_t result, const QString& description);
    QString ErrorString() const { return FFile.errorString(); }

private:
    struct TLine
    {
        QDateTime Time;
        const char* Level; // DEBUG for the reader, TRACE or ERROR for people
        QByteArray Text;   // after the level: "TPrinterProtocol -> 05"

    };

    TEntry Add(const char* level, const QByteArray& text, const QDateTime& time = QDateTime::currentDateTime());

    QFile FFile;
    uint32_t FThread = 0;
    QList<TLine> FLines;
};

// The number of the calling thread as the log shows it.
uint32_t CurrentThreadNumber();

} // namespace kestrun
