// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ParserCommand.h"

#include <QList>
#include <cstdint>
#include <optional>

namespace kestrun {

// Which decoder class decodes a command code.
class TParserCommands
{
public:
    TParserCommands();

    // The class registered for the code, or the base class that shows no fields.
    TParserCommandClass GetParserCommandClass(uint16_t ACode) const;

    // The registry never changes, so one instance serves every caller.
    static const TParserCommands& Instance();

private:
    struct TEntry
    {
        uint16_t Code;
        TParserCommandClass Class;
    };

    void AddParserCommand(uint16_t Code, TParserCommandClass Class);

    QList<TEntry> FCommands;
};

struct TParsedCommand
{
    QString Request; // decoded request
    QString Answer;  // decoded answer recorded in the log
    QString Played;  // decoded answer received during replay
};

// The three decoded texts of the details pane; throws what the TLV renderer throws.
TParsedCommand ParseCommand(const TCommand& Command);
// Why an exchange cannot be read, for a caller that must not show made-up values: a request that
// ends before the first field its layout declares (the window shows zeros for it), or an answer
// that ends before its error byte. Empty when both can be read.
QString UnreadableFrame(const TCommand& Command);
// The "Data" column text: the decoder's summary plus an error mark when the answer failed.
QString GetCommandShortValue(const TCommand& Command);
// Where a field of a command's answer stands in the answer frame, as its decoder's layout places
// it: after the echoed code and the error byte and the number fields before it. Nothing when the
// layout has no such field or a field of varying size comes before it.
std::optional<qsizetype> AnswerFieldPosition(uint16_t Code, QStringView Name);
// Whether GetCommandShortValue throws for the command; only a decoder that can fail decodes.
bool SummaryFaults(const TCommand& Command);

} // namespace kestrun
