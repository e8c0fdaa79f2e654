// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playback/Protocol1Frames.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <cstdint>

namespace kestrun {

// Which way bytes went: from the till (the protocol-1 host) to the register, or back.
enum class TTapSide : uint8_t { tsTill, tsRegister };

// One line of the log to be: bytes one side sent, or a note between them.
struct TTapLine
{
    enum TKind : uint8_t { lkTill, lkRegister, lkNote } Kind;
    int64_t Time; // milliseconds since the epoch, when its first byte crossed
    QByteArray Bytes; // of a note: its text
    bool Followed = false; // a line the log reader follows: part of the request or its answer
    int64_t Count = 1; // how many times the bytes came in a row: a run of one byte outside frames
};

// One exchange as the line saw it, ready to be written.
struct TTapExchange
{
    QList<TTapLine> Lines;
    int32_t Result = 0; // 0, or the driver error of a request that got no accepted answer
};

// Follows the protocol-1 handshake between a till and a register from the bytes both send,
// without taking part in it, and cuts the traffic into exchanges: the till's ENQ that found the
// register ready, its request frame, the register's ACK, the answer frame the till acknowledged
// and that ACK are followed; every other byte (earlier rounds, refused or broken frames, stray
// bytes, old answers) stays in its place on lines the reader passes over. Every byte fed ends up
// on exactly one line, in order, but for floods: outside any exchange, one byte a side sends again
// and again (a till polling with ENQ, the register's NAKs to it, noise) is one line with its
// count, a run per side, the other side's run between; a run lasts at most RunSpanMs. Used on one
// thread; knows nothing of files.
class TTapRecorder
{
public:
    // A run of bytes outside exchanges is cut into lines this long at most.
    static constexpr int64_t RunSpanMs = 5000;

    void Feed(TTapSide side, QByteArrayView bytes, int64_t time);
    // Ends the exchange under way as it stands: a side went away, the line fell quiet, or the
    // tap stops. `result` is the one of a request left without an answer.
    void Close(int32_t result);
    // Bytes that crossed without being fed: the exchange under way ends, and a note tells how
    // many, counted like a run, after the runs open.
    void Lost(int64_t bytes, int64_t time);
    // The exchanges ended so far, oldest first; they are handed over once.
    QList<TTapExchange> TakeFinished();

private:
    static constexpr qsizetype NoLine = -1;

    // A frame being read from one side, with where it stands in the lines.
    struct TFrameReader
    {
        TFrameAssembler Frame;
        qsizetype Start = NoLine; // its first line
        int64_t Last = 0;         // when its last byte came
    };

    void OnTillByte(uint8_t byte, int64_t time);
    void OnRegisterByte(uint8_t byte, int64_t time);
    void OnTillFrame(bool lrcGood);
    void OnRegisterFrame(bool lrcGood);
    void OnTillAck(qsizetype line);
    // True when the byte belonged to a frame being read.
    bool ReadFrameByte(TFrameReader& reader, TTapSide side, uint8_t byte, int64_t time);
    qsizetype AddLine(TTapLine::TKind kind, uint8_t byte, int64_t time);
    void AddStray(TTapLine::TKind kind, uint8_t byte, int64_t time);
    void AddNote(const char* text, int64_t time);
    // Ends the exchange under way, leaving the runs open.
    void Cut(int32_t result);
    // Ends the lines before `end` as one exchange; the rest starts the next.
    void Finish(qsizetype end, int32_t result);
    // Passes an exchange on, the lines of one the reader does not follow joined into runs.
    void Hand(TTapExchange exchange);
    // False when the line is not one byte again and again.
    bool JoinRun(const TTapLine& line);
    void FlushRuns();
    // A line the reader passes over, on its own.
    void HandLoose(TTapLine line);
    void ResetExchange();

    QList<TTapLine> FLines; // of the exchange under way
    QList<TTapExchange> FFinished;
    bool FLooseOpen = false;     // the last of FFinished takes loose lines
    QList<TTapLine> FRuns;       // open runs, a side at most one, in the order they started
    int64_t FLostBytes = 0;      // bytes not fed since the runs were last written
    int64_t FLostAt = 0;
    TFrameReader FTillFrame;
    TFrameReader FRegisterFrame;
    qsizetype FStrayLine = NoLine;   // the last line, when it holds stray bytes that more may join
    qsizetype FLastEnq = NoLine;     // the till's latest ENQ
    qsizetype FEnqAwaiting = NoLine; // an ENQ of the till the register has not replied to
    qsizetype FFrame = NoLine;       // the till's request frame
    QByteArray FRequest;             // its data
    qsizetype FFrameAck = NoLine;    // the register's ACK that took it
    bool FFrameReplyDue = false;     // the register has not replied to the frame yet
    bool FFrameRefused = false;      // the register's first reply to the frame was NAK
    bool FAnswerAnnounced = false;   // the register's ACK to an ENQ: a frame follows
    qsizetype FAnswerStart = NoLine; // the lines of the register's last whole frame,
    qsizetype FAnswerEnd = NoLine;   // which the till has not refused
    qsizetype FAccepted = NoLine;    // the till's ACK that took that frame as the answer
};

} // namespace kestrun
