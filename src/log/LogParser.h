// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Command.h"
#include "LogLineSink.h"
#include "LogMarkers.h"

#include <QList>
#include <QStringList>
#include <bitset>
#include <string>

namespace kestrun {

// Turns driver log lines into commands, one line at a time, so a log never has to be held in
// memory as a whole. Several steps look at the line after the current one, so each line is
// acted on when its successor arrives (or at Finish).
// Throws Exception "Некорректный формат пакета" for a bad protocol-2 escape; the commands stored
// before it stay in the list and the parser must not be fed any further.
class TLogParser final : public ILogLineSink
{
public:
    // Empties ACommands, which must outlive the parser.
    TLogParser(TCommands& ACommands, const QList<int32_t>& AIgnoreCodes);
    // The run of AOther so far, going on into ACommands, which holds a copy of the commands AOther
    // may still change (its last one) and is not emptied.
    TLogParser(const TLogParser& AOther, TCommands& ACommands);
    TLogParser(const TLogParser&) = delete;
    TLogParser& operator=(const TLogParser&) = delete;

    void AddLine(QByteArrayView ALine) override;
    void AddLine(QStringView ALine) override;
    // Parses the line where it lies, until KeepScannedLines.
    void AddScannedLine(QByteArrayView ALine, const TLineMarkers& AMarkers) override;
    void KeepScannedLines() override;
    // Acts on the last line and stores a request left unfinished by the end of the log.
    void Finish();
    // True once a line raised the packet format error.
    bool Failed() const { return FFailed; }
    // For a log still being written, on a copy of the run: acts on the line held back for its
    // successor as if the log ended there, but leaves an exchange still under way unstored (a
    // request being joined, a protocol-2 answer that has only its ACK so far). True when the
    // last command is a request still waiting for its answer.
    bool Preview();

private:
    enum class TScanState : uint8_t {
        ssIdle,
        ssRequest,
        ssAfterEnq,
        ssAnswerStart,
        ssAnswer,
        ssProto2Answer,
        ssPlainAnswer,
        ssNgAnswer,
    };

    // A line in Windows-1251, one byte per character: in storage of its own, or where the reader
    // keeps it (borrowed).
    struct TLine
    {
        TLine() = default;
        // A copy owns its bytes, wherever the original's are.
        TLine(const TLine& other);
        TLine& operator=(const TLine&) = delete;

        QByteArrayView View() const { return FView; }
        void Assign(QByteArrayView line);
        void Borrow(QByteArrayView line);
        // Makes a borrowed line its own.
        void Keep();
        // Storage to write the line into, followed by UseOwn.
        std::string& Own() { return FOwn; }
        void UseOwn();

        TLineMarkers Markers;
        QString Unicode; // the line as given, kept only for lines that came as Unicode
        bool IsUnicode = false;

    private:
        std::string FOwn;
        QByteArrayView FView;
        bool FBorrowed = false;
    };

    // Acts on the line before the one just put in FNext, whose markers are found.
    void Advance();
    void ActOnLastLine();
    void Act(const TLine& L, const TLine& Next);
    void Process(const TLine& L, const TLine& Next);
    void ProcessIdle(const TLine& L, const TLine& Next);
    void ProcessAfterEnq(const TLine& L);
    void ProcessRequest(const TLine& L);
    void ProcessAnswer(const TLine& L);
    void ProcessProto2Answer(const TLine& L, const TLine& Next);
    void ProcessPlainAnswer(const TLine& L, const TLine& Next);
    void ProcessNgAnswer(const TLine& L);

    QByteArrayView GetRequestPayload(const TLine& L);
    static QByteArrayView GetAnswerPayload(const TLine& L, TProtocol AKind);
    static QString GetDriverErrorText(const TLine& L);

    bool AddCommand(TCommand&& ACommand);
    void StoreUnfinishedRequest();
    void ResetExchange();

    TCommands& FCommands;
    std::bitset<0x10000> FIgnored;
    bool FIgnoreAny = false;

    // Two line buffers that trade roles, so their storage is reused from line to line.
    TLine FLineBuffers[2];
    TLine* FCurrent = &FLineBuffers[0];
    TLine* FNext = &FLineBuffers[1];
    bool FHasCurrent = false;
    bool FFailed = false;
    qint64 FIndex = 0; // 0-based position of FCurrent

    TScanState FState = TScanState::ssIdle;
    TProtocol FKind = TProtocol::pNone;
    std::string FRequest;
    std::string FAnswer;
    std::string FPrefix;
    QByteArray FFrameText; // a protocol-2 command's text when it had to be rewritten
    int32_t FLineNumber = -1;
    bool FDropped = false;
    bool FAwaiting = false; // the last command is a request whose answer has not come yet
};

// The whole run over a list of lines (pasted text, tests).
void ParseLog(const QStringList& Lines, TCommands& Commands, const QList<int32_t>& IgnoreCodes);

} // namespace kestrun
