// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Command.h"
#include "LogReader.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <sys/types.h>

namespace kestrun {

class TLogDecoder;
class TLogParser;

// What one look at a followed log found.
struct TFollowStep
{
    // The file shrank or was replaced: it is read again from its start, and Added begins with its
    // first command; the commands handed over before belong to the old file.
    bool Restarted = false;
    // A later line changed the command handed over last before this step (rare: an answer that
    // continues over another line); holds its new content.
    std::optional<TCommand> ChangedLast;
    // Commands completed since the last step, in log order.
    TCommands Added;
    // Reading or parsing failed (bad UTF-8, "Некорректный формат пакета"): the commands stored
    // before the fault are in Added and the log is not read any further.
    QString Error;
};

// Follows a log that a driver is still writing: every step reads only the bytes appended since
// the last one and feeds them to the parser, which keeps its place between steps. A command is
// handed over once its exchange is complete, so a following reader sees the commands a whole load
// of the final file gives. Memory holds the parser's place and the last command, not the text.
class TLogFollower
{
public:
    // Opens the file read-only; throws Exception as OpenLogFile does, and for a compressed or
    // archived log, which is not written line by line.
    TLogFollower(const QString& AFileName, const QStringList& AIgnoreLines);
    ~TLogFollower();
    TLogFollower(const TLogFollower&) = delete;
    TLogFollower& operator=(const TLogFollower&) = delete;

    // Reads what was written since the last step. AProgress gets the fraction of the new bytes read.
    TFollowStep Step(const TReadProgress& AProgress = {});
    // Following ends: reads what was written since the last step and hands over what a whole load
    // of the text gives, the exchange left open at its end included. Later steps find nothing.
    TFollowStep Finish();

    const QString& FileName() const { return FFileName; }
    // Commands handed over since the file was last (re)started.
    qsizetype Count() const { return FHanded; }
    bool Failed() const { return FFailed; }

private:
    TFollowStep Look(const TReadProgress& AProgress, bool AEnd);
    void Open();
    bool Replaced();
    void Feed(const char* AData, qsizetype ASize);
    void StartDecoding();
    void MoveSettled();
    void HandOver(TFollowStep& AStep, const TCommands& ATail, qsizetype AVisible);

    QString FFileName;
    QList<int32_t> FIgnoreCodes;
    QFile FFile;
    dev_t FDevice = 0;
    ino_t FInode = 0;
    qint64 FPosition = 0;
    QByteArray FHead;      // the file's first bytes, to notice a file rewritten from its start
    QByteArray FUndecided; // first bytes while they may still be a byte-order mark

    TCommands FParsed;      // the parser's list: commands not yet settled, log indexes from FBase
    qsizetype FBase = 0;
    TCommands FSettled;     // settled during this step, log indexes from FSettledBase
    qsizetype FSettledBase = 0;
    std::unique_ptr<TLogParser> FParser;
    std::unique_ptr<TLogDecoder> FDecoder;
    qsizetype FHanded = 0;
    TCommand FLastHanded;
    bool FFailed = false;
};

} // namespace kestrun
