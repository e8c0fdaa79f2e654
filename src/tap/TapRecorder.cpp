// SPDX-License-Identifier: GPL-3.0-or-later
#include "TapRecorder.h"

#include "playback/DriverErrors.h"

#include <algorithm>
#include <utility>

namespace kestrun {

namespace {

// An exchange that never ends (a side sending noise without pause) is cut here.
constexpr qsizetype MaxLines = 4096;
// Stray bytes share a line up to this many.
constexpr qsizetype MaxStrayBytes = 64;
// A register forgets a frame whose bytes stop coming for this long.
constexpr int64_t FrameByteGapMs = 500;

bool Is(const TTapLine& line, TTapLine::TKind kind, uint8_t control)
{
    return line.Kind == kind && line.Bytes.size() == 1 && static_cast<uint8_t>(line.Bytes[0]) == control;
}

} // namespace

void TTapRecorder::Feed(TTapSide side, QByteArrayView bytes, int64_t time)
{
    for (const char c : bytes) {
        if (side == TTapSide::tsTill)
            OnTillByte(static_cast<uint8_t>(c), time);
        else
            OnRegisterByte(static_cast<uint8_t>(c), time);
        if (FLines.size() >= MaxLines)
            Cut(deNoAnswer);
    }
}

void TTapRecorder::OnTillByte(uint8_t byte, int64_t time)
{
    // The till speaking again means it has read all it waited for: a frame left unfinished is broken.
    FRegisterFrame = {};
    // The register reads the till's frame to its end, whatever it sends meanwhile, unless the
    // frame's bytes stop coming.
    if (FTillFrame.Frame.Reading() && time - FTillFrame.Last > FrameByteGapMs)
        FTillFrame = {};
    if (ReadFrameByte(FTillFrame, TTapSide::tsTill, byte, time))
        return;
    switch (byte) {
    case ctlENQ: {
        const qsizetype line = AddLine(TTapLine::lkTill, byte, time);
        // Before any request, what came earlier belongs to no exchange and is written now.
        if (FFrame == NoLine && line > 0)
            Finish(line, 0);
        FLastEnq = FEnqAwaiting = FLines.size() - 1;
        FAnswerAnnounced = false;
        break;
    }
    case ctlSTX:
        FTillFrame.Frame.Start();
        FTillFrame.Start = AddLine(TTapLine::lkTill, byte, time);
        FTillFrame.Last = time;
        break;
    case ctlACK:
        OnTillAck(AddLine(TTapLine::lkTill, byte, time));
        break;
    case ctlNAK:
        // The till refuses the answer frame; the register sends it again.
        AddLine(TTapLine::lkTill, byte, time);
        FAnswerStart = NoLine;
        FAnswerAnnounced = true;
        break;
    default:
        AddStray(TTapLine::lkTill, byte, time);
    }
}

void TTapRecorder::OnRegisterByte(uint8_t byte, int64_t time)
{
    if (ReadFrameByte(FRegisterFrame, TTapSide::tsRegister, byte, time))
        return;
    switch (byte) {
    case ctlACK: {
        const qsizetype line = AddLine(TTapLine::lkRegister, byte, time);
        if (FEnqAwaiting != NoLine) {
            FEnqAwaiting = NoLine;
            FAnswerAnnounced = true;
        } else if (FFrameReplyDue) {
            FFrameAck = line;
            FFrameReplyDue = false;
        }
        break;
    }
    case ctlNAK:
        AddLine(TTapLine::lkRegister, byte, time);
        if (FEnqAwaiting != NoLine) {
            FEnqAwaiting = NoLine;
        } else if (FFrameReplyDue) {
            FFrameReplyDue = false; // the frame is refused
            FFrameRefused = true;
        }
        break;
    case ctlSTX:
        // Like the host, takes an STX for a frame only where one may come.
        if (FFrame == NoLine && !FAnswerAnnounced) {
            AddStray(TTapLine::lkRegister, byte, time);
            break;
        }
        // A line between the request and the answer keeps the log reader from taking the
        // answer's first line as the end of the request.
        if (FFrame != NoLine && FFrame == FLines.size() - 1)
            AddNote("no ACK before the answer frame", time);
        FRegisterFrame.Frame.Start();
        FRegisterFrame.Start = AddLine(TTapLine::lkRegister, byte, time);
        FAnswerAnnounced = false;
        FFrameReplyDue = false;
        break;
    default:
        AddStray(TTapLine::lkRegister, byte, time);
    }
}

bool TTapRecorder::ReadFrameByte(TFrameReader& reader, TTapSide side, uint8_t byte, int64_t time)
{
    if (!reader.Frame.Reading())
        return false;
    // The till's frame goes on one line; the register's takes a line for its length, one for
    // its data and one for its LRC, as the driver writes them.
    const bool till = side == TTapSide::tsTill;
    reader.Last = time;
    if (till)
        FLines[reader.Start].Bytes += char(byte);
    else if (reader.Frame.Next() == TFrameAssembler::fpData && !reader.Frame.Data().isEmpty())
        FLines.back().Bytes += char(byte);
    else
        AddLine(TTapLine::lkRegister, byte, time);
    const TFrameAssembler::TResult result = reader.Frame.Feed(byte);
    if (result == TFrameAssembler::frMore)
        return true;
    if (till)
        OnTillFrame(result == TFrameAssembler::frGood);
    else
        OnRegisterFrame(result == TFrameAssembler::frGood);
    return true;
}

void TTapRecorder::OnTillFrame(bool lrcGood)
{
    // A frame with a wrong LRC is the register's to refuse; it stays a line of its own.
    if (!lrcGood)
        return;
    qsizetype line = FTillFrame.Start;
    const QByteArray& data = FTillFrame.Frame.Data();
    if (FFrame != NoLine) {
        // The same frame again after the register took none: the till sends it once more,
        // at once or after asking with ENQ whether the register holds it.
        const bool again = data == FRequest && FFrameAck == NoLine && (FLastEnq < FFrame || FFrameRefused);
        if (!again) {
            // Another request: the one before got no answer. The new exchange starts with the
            // till's ENQ that came after that request, when there is one.
            const qsizetype start = FLastEnq > FFrame ? FLastEnq : line;
            Finish(start, deNoAnswer);
            line -= start;
        }
    }
    FFrame = line;
    FRequest = data;
    FFrameAck = NoLine;
    FFrameReplyDue = true;
    FFrameRefused = false;
    FAnswerStart = NoLine;
    FEnqAwaiting = NoLine;
}

void TTapRecorder::OnRegisterFrame(bool lrcGood)
{
    FAnswerStart = lrcGood ? FRegisterFrame.Start : NoLine;
    FAnswerEnd = FLines.size();
}

void TTapRecorder::OnTillAck(qsizetype line)
{
    if (FAnswerStart == NoLine || FFrame == NoLine || FAnswerStart < FFrame) {
        // An answer left over from an earlier request, or a stray ACK: the till forgets it.
        FAnswerStart = NoLine;
        return;
    }
    FAccepted = line;
    Finish(FLines.size(), 0);
}

qsizetype TTapRecorder::AddLine(TTapLine::TKind kind, uint8_t byte, int64_t time)
{
    FLines.append({kind, time, QByteArray(1, char(byte))});
    FStrayLine = NoLine;
    return FLines.size() - 1;
}

void TTapRecorder::AddStray(TTapLine::TKind kind, uint8_t byte, int64_t time)
{
    if (FStrayLine != NoLine && FLines[FStrayLine].Kind == kind && FLines[FStrayLine].Bytes.size() < MaxStrayBytes) {
        FLines[FStrayLine].Bytes += char(byte);
        return;
    }
    FStrayLine = AddLine(kind, byte, time);
}

void TTapRecorder::AddNote(const char* text, int64_t time)
{
    FLines.append({TTapLine::lkNote, time, QByteArray(text)});
    FStrayLine = NoLine;
}

void TTapRecorder::Close(int32_t result)
{
    Cut(result);
    FlushRuns();
}

void TTapRecorder::Lost(int64_t bytes, int64_t time)
{
    Cut(deNoAnswer);
    if (FLostBytes == 0)
        FLostAt = time;
    FLostBytes += bytes;
}

void TTapRecorder::Cut(int32_t result)
{
    FTillFrame = {};
    FRegisterFrame = {};
    FAnswerAnnounced = false;
    Finish(FLines.size(), result);
}

void TTapRecorder::Finish(qsizetype end, int32_t result)
{
    if (end == 0)
        return;
    TTapExchange exchange;
    exchange.Lines = FLines.first(end);
    // Lines past `end` belong to the next exchange, however the two sides' bytes interleaved.
    const auto within = [end](qsizetype line) { return line != NoLine && line < end; };
    const bool accepted = within(FAccepted) && within(FAnswerStart) && FAnswerEnd <= end;
    if (within(FFrame)) {
        // The reader knows a protocol-1 request by the ENQ before it: without one it is not followed.
        qsizetype enq = FFrame;
        while (--enq >= 0 && !Is(exchange.Lines[enq], TTapLine::lkTill, ctlENQ)) {
        }
        if (enq >= 0) {
            QList<TTapLine>& lines = exchange.Lines;
            lines[enq].Followed = true;
            for (qsizetype i = enq + 1; i < FFrame; ++i) {
                if (Is(lines[i], TTapLine::lkRegister, ctlNAK)) {
                    lines[i].Followed = true;
                    break;
                }
            }
            lines[FFrame].Followed = true;
            if (within(FFrameAck))
                lines[FFrameAck].Followed = true;
            if (accepted) {
                for (qsizetype i = FAnswerStart; i < FAnswerEnd; ++i)
                    lines[i].Followed = true;
                lines[FAccepted].Followed = true;
            }
        }
        exchange.Result = accepted ? 0 : result;
    }
    Hand(std::move(exchange));
    FLines.remove(0, end);

    // What the exchange held is gone; the lines that stay move to the front.
    const auto rebase = [end](qsizetype& line) { line = line >= end ? line - end : NoLine; };
    for (qsizetype* line : {&FStrayLine, &FLastEnq, &FEnqAwaiting, &FFrame, &FFrameAck, &FAnswerStart, &FAnswerEnd, &FAccepted})
        rebase(*line);
    for (TFrameReader* reader : {&FTillFrame, &FRegisterFrame}) {
        if (reader->Frame.Reading() && reader->Start < end)
            *reader = {};
        rebase(reader->Start);
    }
    if (FFrame == NoLine) {
        FRequest.clear();
        FFrameAck = FAnswerStart = FAnswerEnd = FAccepted = NoLine;
        FFrameReplyDue = false;
        FFrameRefused = false;
    }
}

void TTapRecorder::Hand(TTapExchange exchange)
{
    const bool followed = exchange.Result != 0
                          || std::any_of(exchange.Lines.begin(), exchange.Lines.end(),
                                         [](const TTapLine& line) { return line.Followed; });
    if (followed) {
        FlushRuns();
        FFinished.append(std::move(exchange));
        FLooseOpen = false;
        return;
    }
    for (TTapLine& line : exchange.Lines) {
        if (!JoinRun(line)) {
            FlushRuns();
            HandLoose(std::move(line));
        }
    }
}

bool TTapRecorder::JoinRun(const TTapLine& line)
{
    if (line.Kind == TTapLine::lkNote || line.Bytes.isEmpty() || line.Bytes.count(line.Bytes.front()) != line.Bytes.size())
        return false;
    const int64_t count = line.Bytes.size() * line.Count;
    const auto run = std::find_if(FRuns.begin(), FRuns.end(), [&line](const TTapLine& r) { return r.Kind == line.Kind; });
    if (run != FRuns.end()) {
        if (run->Bytes.front() == line.Bytes.front() && line.Time - run->Time < RunSpanMs) {
            run->Count += count;
            return true;
        }
        // The runs stay in the order they started: both end here.
        FlushRuns();
    }
    FRuns.append({line.Kind, line.Time, line.Bytes.first(1), false, count});
    return true;
}

void TTapRecorder::FlushRuns()
{
    for (TTapLine& run : FRuns)
        HandLoose(std::move(run));
    FRuns.clear();
    if (FLostBytes > 0) {
        HandLoose({TTapLine::lkNote, FLostAt,
                   QByteArray::number(std::exchange(FLostBytes, 0)) + " bytes crossed that are not written: the log fell behind"});
    }
}

void TTapRecorder::HandLoose(TTapLine line)
{
    if (!FLooseOpen) {
        FFinished.append(TTapExchange());
        FLooseOpen = true;
    }
    FFinished.back().Lines.append(std::move(line));
}

QList<TTapExchange> TTapRecorder::TakeFinished()
{
    FLooseOpen = false;
    return std::exchange(FFinished, {});
}

} // namespace kestrun
