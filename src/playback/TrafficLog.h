// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>
#include <string_view>

namespace kestrun {

// Writes the bytes of wire exchanges as lines of the protocol-1 driver log, which Kestrun itself
// reads back. Only when an exchange has ended is it known which bytes made it up, so its lines
// are kept until then. The ones the host marks as followed are written as the reader follows
// them: the ENQ that found the device ready and its NAK, the request frame the device took and
// its ACK, the answer frame the host accepted and the host's ACK:
//   [12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol -> 05
// Every other byte - earlier rounds, stray bytes, the NAKs after a frame, ENQs asking for a
// lost answer - goes, in its place, on a line the reader passes over:
//   [12.03.2024 10:15:30.123] [00001A2C] [TRACE] TPrinterProtocol <- 15
// A failed exchange ends with a line of its result, which the reader passes over; when the log
// is the driver's own, the same result follows as the driver writes its errors, which the
// reader shows as a row with its code:
//   [12.03.2024 10:15:30.123] [00001A2C] [ERROR] TPrinterProtocol: -9, Устройство не ответило на команду
//   [12.03.2024 10:15:30.123] [00001A2C] [ERROR] TFiscalPrinter - Устройство не ответило на команду (-9)
class TTrafficLog
{
public:
    using TEntry = qsizetype;

    // Appends to the file; throws kestrun::Exception when it cannot be opened.
    explicit TTrafficLog(const QString& fileName);
    ~TTrafficLog();
    TTrafficLog(const TTrafficLog&) = delete;
    TTrafficLog& operator=(const TTrafficLog&) = delete;

    // The thread the lines are written for: the one that called the driver.
    void SetThread(uint32_t thread) { FThread = thread; }
    // The time is when the bytes crossed the wire; by default now.
    TEntry Sent(QByteArrayView bytes, const QDateTime& time = QDateTime::currentDateTime());
    TEntry Received(QByteArrayView bytes, const QDateTime& time = QDateTime::currentDateTime());
    // A line without bytes that the reader passes over.
    void Note(const QByteArray& text, const QDateTime& time = QDateTime::currentDateTime());
    // A driver error line, which the reader shows as a row of its own with the code.
    void DriverError(int32_t code, const QString& description, const QDateTime& time = QDateTime::currentDateTime());
    // Lines already written keep the level they were written with.
    void Follow(TEntry entry);
    // Writes the lines kept so far, as marked now, before the exchange has ended: a request
    // frame is on disk before it goes out, so a process that dies mid-exchange leaves its trace.
    bool WriteOut();
    // Writes the exchange's lines, with its result unless that is 0, and starts the next one.
    // False when the file took them not whole; ErrorString() tells why.
    enum class TResultLine { ForPeople, AlsoAsDriverError };
    bool Flush(int32_t result, const QString& description, TResultLine resultLine = TResultLine::ForPeople);
    // The system's reason of the last failed write.
    QString ErrorString() const { return FError; }

private:
    struct TLine
    {
        QDateTime Time;
        std::string_view Level; // DEBUG for the reader, TRACE or ERROR for people
        QByteArray Text;   // after the level: "TPrinterProtocol -> 05"
    };

    TEntry Add(std::string_view level, const QByteArray& text, const QDateTime& time);
    bool Write(QByteArray text);

    QString FFileName;
    int FHandle = -1;
    uint32_t FThread = 0;
    QList<TLine> FLines;
    qsizetype FWritten = 0; // lines of FLines already in the file
    bool FCutLine = false;  // the file ends inside a line, after a write the disk took in part
    QString FError;
};

// A failed write of any traffic log, kept for the front end to report: the exchange itself
// goes on, as the log is a diagnostic aid. The first failure since the last call, or empty.
QString TakeTrafficLogFailure();

// The number of the calling thread as the log shows it.
uint32_t CurrentThreadNumber();

} // namespace kestrun
