// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace kestrun {

// The replay channels. Messages are one line, fields separated by single blanks.
inline constexpr char ChannelCommandRun[] = "CommandRun"; // index [cycle]
inline constexpr char ChannelErrorQuery[] = "ErrorQuery"; // index error-text
inline constexpr char ChannelError[] = "Error";           // index cycle error-text
inline constexpr char ChannelStopPlay[] = "StopPlay";     // anything
inline constexpr char ChannelCommandSkip[] = "CommandSkip"; // index [cycle]: a row without request bytes

// The text of a failed driver call: "%d, %s" of the result code and its description.
QString ResultErrorText(int32_t code, const QString& description);

// cycle < 0 outside loop mode, where the message has no cycle field.
QString CommandRunMessage(int32_t index, int32_t cycle);
QString ErrorQueryMessage(int32_t index, const QString& errorText);
QString ErrorMessage(int32_t index, int32_t cycle, const QString& errorText);

// A message read back; Cycle -1 when it has none.
struct TRunNotice
{
    int32_t Index = 0;
    int32_t Cycle = -1;
    QString Text;
};

// Nothing for a message without fields.
std::optional<TRunNotice> ParseCommandRunMessage(const QString& AMsg);
// Index and error text of an "ErrorQuery" message; nothing for a message without fields.
std::optional<TRunNotice> ParseErrorQueryMessage(const QString& AMsg);
// The index is never negative; Text is the whole error text behind the cycle, so a
// description of several words is shown in full.
std::optional<TRunNotice> ParseErrorMessage(const QString& AMsg);
// The result code inside an "ErrorQuery" message, -1 when there is none.
int32_t GetResultCode(const QString& AMsg);

// The status line while a command is sent, and after the run ended on an error.
QString CommandStatusText(int32_t index, int32_t cycle, qsizetype count, const QString& name);
QString ErrorStatusText(int32_t index, int32_t cycle, qsizetype count, const QString& name,
                        const QString& errorText);

// A result code as the window writes codes: a device error with its byte in hex, "78 (0x4E)";
// a driver error as it is.
QString ResultCodeText(int32_t code);
// The question after a failed command: its row as the list numbers it, its name and the error,
// whose leading code (of "%d, %s") is written as ResultCodeText.
QString ErrorQuestionText(int32_t index, const QString& name, int32_t code, const QString& errorText);

} // namespace kestrun
