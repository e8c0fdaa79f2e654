// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QtGlobal>
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace kestrun {

// How a driver log writes its lines, read by the parser and written by the traffic log, the tap
// and the listing:
//   [12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol -> 05
// a prefix of time stamp and thread, then the level, the writer, an arrow and the frame's hex text.

// The time stamp and the prefix it starts, character by character: d a decimal digit, h an
// upper-case hex digit, anything else itself.
constexpr std::string_view StampTimePattern = "dd.dd.dddd dd:dd:dd.ddd";
constexpr std::string_view StampPattern = "[dd.dd.dddd dd:dd:dd.ddd]";
constexpr std::string_view PrefixPattern = "[dd.dd.dddd dd:dd:dd.ddd] [hhhhhhhh]";
// Where the time and the thread stand in the prefix.
constexpr qsizetype StampTimeFrom = 1;
constexpr qsizetype StampTimeSize = qsizetype(StampTimePattern.size());
constexpr qsizetype ThreadDigits = 8;
// What a record keeps of the line that opened its exchange: the prefix, or for the NG driver,
// whose prefix is longer, its first 68 characters.
constexpr qsizetype PrefixLength = qsizetype(PrefixPattern.size());
constexpr qsizetype NgPrefixLength = 68;
// Between the stamp and the thread, and after the thread.
constexpr std::string_view ThreadOpen = "] [";
constexpr char ThreadClose = ']';
constexpr std::string_view LineEnd = "\r\n";

// The levels: the reader follows DEBUG lines only.
constexpr std::string_view LevelDebug = "DEBUG";
constexpr std::string_view LevelTrace = "TRACE";
constexpr std::string_view LevelError = "ERROR";
// The writers a line names after its level.
constexpr std::string_view Protocol1Writer = "TPrinterProtocol";
constexpr std::string_view Protocol2Writer = "TPrinterProtocol2";
constexpr std::string_view DriverWriter = "TFiscalPrinter";
// From the host to the device and back.
constexpr std::string_view SentArrow = "->";
constexpr std::string_view ReceivedArrow = "<-";
// Before the text of a driver error.
constexpr std::string_view DriverErrorDash = "-";

// The fixed texts by which the parser recognises lines.
enum class TLogMarker : uint8_t {
    lmRequest1,
    lmRequest2,
    lmRequestNg,
    lmRequestJpos,
    lmAnswer1,
    lmAnswer2,
    lmAnswerNg,
    lmAnswerJpos,
    lmDriverError,
};

constexpr size_t LogMarkerCount = 9;

// In the order of TLogMarker.
inline constexpr std::string_view LogMarkerTexts[LogMarkerCount] = {
    "[DEBUG] TPrinterProtocol -> ",
    "[DEBUG] TPrinterProtocol2 -> ",
    "] [D] -> ",
    "com.kelmar.fiscalprinter.PrinterProtocol_1 - -> ",
    "[DEBUG] TPrinterProtocol <- ",
    "[DEBUG] TPrinterProtocol2 <- ",
    "] [D] <- ",
    "com.kelmar.fiscalprinter.PrinterProtocol_1 - <- ",
    "[ERROR] TFiscalPrinter -",
};

constexpr std::string_view LogMarkerText(TLogMarker marker) { return LogMarkerTexts[size_t(marker)]; }

// The stamp's time, "12.03.2024 10:15:30.123", and the thread, "00001A2C".
QByteArray StampTimeText(const QDateTime& time);
QByteArray ThreadText(uint32_t thread);
// The thread's ThreadDigits digits written at `out`.
void WriteThreadDigits(char* out, uint32_t thread);

// What follows the level: "TPrinterProtocol -> 05", the writer, a sign and the rest.
QByteArray WriterText(std::string_view writer, std::string_view sign, QByteArrayView rest);

// Appends "[TIME] [THREAD] TEXT" and the line end; the text is given in pieces, so that a line is
// written without making its text first.
void AppendLogLine(QByteArray& out, QByteArrayView time, QByteArrayView thread, std::initializer_list<QByteArrayView> text);

} // namespace kestrun
