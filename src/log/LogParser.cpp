// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogParser.h"

#include "Codepages.h"
#include "Frames.h"
#include "HexText.h"
#include "LogDialect.h"
#include "LogStamp.h"
#include "Protocol2Frame.h"

#include <algorithm>
#include <limits>

namespace kestrun {

namespace {

// Frames are logged as canonical hex text.
constexpr size_t HexDigits = size_t(HexDigitsPerByte);
constexpr size_t ByteWidth = size_t(HexByteWidth);
// The envelope in that text: STX and the length byte, each with its blank, before the data;
// a blank and the LRC after it.
constexpr size_t FrameHeadText = size_t(FrameHeadBytes) * ByteWidth;
constexpr size_t FrameTailText = size_t(FrameTailBytes) * ByteWidth;
// Payloads joined with a blank in front of each start with one.
constexpr size_t LeadingBlank = 1;

// Handshake bytes as they stand in a payload.
constexpr QByteArrayView StxText = "02";
constexpr QByteArrayView EnqText = "05";
constexpr QByteArrayView AckText = "06";
constexpr QByteArrayView NakText = "15";
// A shorter protocol-1 request payload is a handshake byte, not the start of a plain frame.
constexpr qsizetype MinPlainPayload = 5;

// The text without its first `first` and last `last` characters; empty when nothing is left.
QByteArrayView Cut(const std::string& text, size_t first, size_t last)
{
    if (text.size() <= first + last)
        return {};
    return QByteArrayView(text.data() + first, qsizetype(text.size() - first - last));
}

QByteArrayView ViewOf(const std::string& text) { return QByteArrayView(text.data(), qsizetype(text.size())); }

// The line's first characters, into storage reused from request to request.
void TakeFirstChars(std::string& out, QByteArrayView text, size_t count)
{
    out.assign(text.data(), std::min(count, size_t(text.size())));
}

void AppendWithBlank(std::string& text, QByteArrayView payload)
{
    text += ' ';
    text.append(payload.data(), size_t(payload.size()));
}

bool IsNgControl(QByteArrayView payload)
{
    return payload == AckText || payload == "FF" || payload == EnqText || payload == NakText;
}

// One byte per character: a surrogate pair counts as one character, like any other,
// and characters Windows-1251 lacks become '?'.
void ToSingleByte(QStringView line, std::string& out)
{
    out.clear();
    const bool ascii = std::all_of(line.begin(), line.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        out.reserve(size_t(line.size()));
        for (QChar c : line)
            out += char(c.unicode());
        return;
    }
    QString folded;
    folded.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i].isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate()) {
            folded += QLatin1Char('?');
            ++i;
        } else {
            folded += line[i];
        }
    }
    const QByteArray bytes = UnicodeToCp1251(folded);
    out.assign(bytes.constData(), size_t(bytes.size()));
}

// An exchange lasts from its request's first line, whose prefix the record keeps, to the line
// that completes it; one without an answer has no duration.
void SetDuration(TCommand& command, QByteArrayView completingLine)
{
    command.DurationMs = !command.HasAnswerData()
                             ? NoDuration
                             : StampDistanceMs(command.StampMs(), LogStampMs(completingLine));
}

} // namespace

TLogParser::TLogParser(TCommands& ACommands, const QList<int32_t>& AIgnoreCodes) : FCommands(ACommands)
{
    FCommands.clear();
    for (int32_t code : AIgnoreCodes) {
        if (code >= 0 && code < int32_t(FIgnored.size())) {
            FIgnored.set(size_t(code));
            FIgnoreAny = true;
        }
    }
}

TLogParser::TLogParser(const TLogParser& AOther, TCommands& ACommands)
    : FCommands(ACommands), FIgnored(AOther.FIgnored), FIgnoreAny(AOther.FIgnoreAny),
      FLineBuffers{*AOther.FCurrent, *AOther.FNext}, FHasCurrent(AOther.FHasCurrent), FFailed(AOther.FFailed),
      FIndex(AOther.FIndex), FState(AOther.FState), FKind(AOther.FKind), FRequest(AOther.FRequest),
      FAnswer(AOther.FAnswer), FPrefix(AOther.FPrefix), FLineNumber(AOther.FLineNumber), FDropped(AOther.FDropped),
      FAwaiting(AOther.FAwaiting)
{
}

TLogParser::TLine::TLine(const TLine& other)
    : Markers(other.Markers), Unicode(other.Unicode), IsUnicode(other.IsUnicode)
{
    Assign(other.View());
}

void TLogParser::TLine::Assign(QByteArrayView line)
{
    FOwn.assign(line.data(), size_t(line.size()));
    UseOwn();
}

void TLogParser::TLine::Borrow(QByteArrayView line)
{
    FView = line;
    FBorrowed = true;
}

void TLogParser::TLine::Keep()
{
    if (FBorrowed)
        Assign(FView);
}

void TLogParser::TLine::UseOwn()
{
    FView = QByteArrayView(FOwn.data(), qsizetype(FOwn.size()));
    FBorrowed = false;
}

void TLogParser::AddLine(QByteArrayView ALine)
{
    FNext->Assign(ALine);
    FNext->Unicode.clear();
    FNext->IsUnicode = false;
    FNext->Markers.Scan(ALine);
    Advance();
}

void TLogParser::AddLine(QStringView ALine)
{
    ToSingleByte(ALine, FNext->Own());
    FNext->UseOwn();
    FNext->Unicode = ALine.toString();
    FNext->IsUnicode = true;
    FNext->Markers.Scan(FNext->View());
    Advance();
}

void TLogParser::AddScannedLine(QByteArrayView ALine, const TLineMarkers& AMarkers)
{
    FNext->Borrow(ALine);
    FNext->Unicode.clear();
    FNext->IsUnicode = false;
    FNext->Markers = AMarkers;
    Advance();
}

// Only the line held back for its successor is read again.
void TLogParser::KeepScannedLines() { FCurrent->Keep(); }

void TLogParser::Advance()
{
    if (FHasCurrent) {
        Act(*FCurrent, *FNext);
        ++FIndex;
    }
    std::swap(FCurrent, FNext);
    FHasCurrent = true;
}

void TLogParser::ActOnLastLine()
{
    if (!FHasCurrent)
        return;
    FNext->Assign({});
    FNext->Unicode.clear();
    FNext->IsUnicode = false;
    FNext->Markers.Reset();
    Act(*FCurrent, *FNext);
    FHasCurrent = false;
}

bool TLogParser::Preview()
{
    // The device's ACK comes before its answer frame, which a later write brings.
    const bool onlyAck = FState == TScanState::ssProto2Answer && FAnswer.empty() && FHasCurrent
                         && GetAnswerPayload(*FCurrent, TProtocol::pProtocol2) == AckText;
    if (!onlyAck)
        ActOnLastLine();
    return FAwaiting;
}

void TLogParser::Finish()
{
    ActOnLastLine();
    if (!FRequest.empty()) {
        StoreUnfinishedRequest();
        FRequest.clear();
        FAnswer.clear();
    }
}

void TLogParser::StoreUnfinishedRequest()
{
    TCommand command;
    command.SetAttributes(ViewOf(FPrefix));
    command.SetData(Cut(FRequest, FrameHeadText, FrameTailText));
    command.Protocol = FKind;
    command.LineNumber = FLineNumber;
    AddCommand(std::move(command));
}

bool TLogParser::AddCommand(TCommand&& ACommand)
{
    if (FIgnoreAny && FIgnored.test(GetCommandCode(ACommand)))
        return false;
    FCommands.append(std::move(ACommand));
    FAwaiting = false;
    return true;
}

void TLogParser::ResetExchange()
{
    FRequest.clear();
    FAnswer.clear();
    FLineNumber = -1;
    FKind = TProtocol::pNone;
    FState = TScanState::ssIdle;
}

QByteArrayView TLogParser::GetRequestPayload(const TLine& L)
{
    const auto payload = [&L](TLogMarker marker) { return L.View().sliced(L.Markers.End(marker)); };
    if (L.Markers.Has(TLogMarker::lmRequest1)) {
        if (FKind != TProtocol::pPlain)
            FKind = TProtocol::pProtocol1;
        return payload(TLogMarker::lmRequest1);
    }
    if (L.Markers.Has(TLogMarker::lmRequest2)) {
        FKind = TProtocol::pProtocol2;
        return payload(TLogMarker::lmRequest2);
    }
    if (L.Markers.Has(TLogMarker::lmRequestNg)) {
        if (FKind != TProtocol::pProtocolNg1)
            FKind = TProtocol::pProtocolNg1Plain;
        return payload(TLogMarker::lmRequestNg);
    }
    if (L.Markers.Has(TLogMarker::lmRequestJpos)) {
        if (FKind != TProtocol::pPlain)
            FKind = TProtocol::pProtocolJpos1;
        return payload(TLogMarker::lmRequestJpos);
    }
    return {};
}

QByteArrayView TLogParser::GetAnswerPayload(const TLine& L, TProtocol AKind)
{
    TLogMarker marker;
    switch (AKind) {
    case TProtocol::pProtocol1: marker = TLogMarker::lmAnswer1; break;
    case TProtocol::pProtocol2: marker = TLogMarker::lmAnswer2; break;
    case TProtocol::pProtocolNg1:
    case TProtocol::pProtocolNg1Plain: marker = TLogMarker::lmAnswerNg; break;
    case TProtocol::pProtocolJpos1: marker = TLogMarker::lmAnswerJpos; break;
    default: return {};
    }
    return L.Markers.Has(marker) ? L.View().sliced(L.Markers.End(marker)) : QByteArrayView();
}

QString TLogParser::GetDriverErrorText(const TLine& L)
{
    // The text starts with the marker's closing '-'.
    if (L.IsUnicode) {
        const std::string_view marker = LogMarkerText(TLogMarker::lmDriverError);
        const qsizetype at = L.Unicode.indexOf(QLatin1StringView(marker.data(), qsizetype(marker.size())));
        return L.Unicode.mid(at + qsizetype(marker.size()) - 1);
    }
    return Cp1251ToUnicode(L.View().sliced(L.Markers.End(TLogMarker::lmDriverError) - 1));
}

void TLogParser::Act(const TLine& L, const TLine& Next)
{
    try {
        Process(L, Next);
    } catch (...) {
        FFailed = true;
        throw;
    }
}

void TLogParser::Process(const TLine& L, const TLine& Next)
{
    if (L.Markers.Has(TLogMarker::lmDriverError)) {
        TCommand command;
        command.SetAttributes(ViewOf(FPrefix));
        command.SetData(Cut(FRequest, FrameHeadText, FrameTailText));
        // Only the LRC's digits go; the blank before them stays.
        command.SetAnswerData(Cut(FAnswer, 0, HexDigits));
        command.Protocol = FKind;
        command.LineNumber = FLineNumber;
        command.SetDriverError(GetDriverErrorText(L));
        AddCommand(std::move(command));
        FRequest.clear();
        FAnswer.clear();
    }
    switch (FState) {
    case TScanState::ssIdle: ProcessIdle(L, Next); break;
    case TScanState::ssRequest: ProcessRequest(L); break;
    case TScanState::ssAfterEnq: ProcessAfterEnq(L); break;
    case TScanState::ssAnswerStart:
        FState = GetAnswerPayload(L, FKind).isEmpty() ? TScanState::ssIdle : TScanState::ssAnswer;
        break;
    case TScanState::ssAnswer: ProcessAnswer(L); break;
    case TScanState::ssProto2Answer: ProcessProto2Answer(L, Next); break;
    case TScanState::ssPlainAnswer: ProcessPlainAnswer(L, Next); break;
    case TScanState::ssNgAnswer: ProcessNgAnswer(L); break;
    }
}

void TLogParser::ProcessIdle(const TLine& L, const TLine& Next)
{
    const int32_t lineNumber = int32_t(std::min<qint64>(FIndex + 1, std::numeric_limits<int32_t>::max()));
    const QByteArrayView payload = GetRequestPayload(L);
    if (!payload.isEmpty()) {
        switch (FKind) {
        case TProtocol::pProtocol1:
        case TProtocol::pProtocolJpos1:
            if (payload == EnqText) {
                TakeFirstChars(FPrefix, L.View(), size_t(PrefixLength));
                FState = TScanState::ssAfterEnq;
            } else if (payload.size() >= MinPlainPayload) {
                TakeFirstChars(FPrefix, L.View(), size_t(PrefixLength));
                FRequest.append(payload.data(), size_t(payload.size()));
                FKind = TProtocol::pPlain;
                if (FLineNumber < 0)
                    FLineNumber = lineNumber;
                FState = TScanState::ssRequest;
            }
            break;
        case TProtocol::pProtocol2:
            TakeFirstChars(FPrefix, L.View(), size_t(PrefixLength));
            AppendWithBlank(FRequest, payload);
            if (FLineNumber < 0)
                FLineNumber = lineNumber;
            if (!GetAnswerPayload(Next, TProtocol::pProtocol2).isEmpty())
                FState = TScanState::ssProto2Answer;
            break;
        case TProtocol::pProtocolNg1:
        case TProtocol::pProtocolNg1Plain:
            TakeFirstChars(FPrefix, L.View(), size_t(NgPrefixLength));
            if (IsNgControl(payload)) {
                FKind = TProtocol::pProtocolNg1;
            } else {
                AppendWithBlank(FRequest, payload);
                FLineNumber = lineNumber;
                FState = TScanState::ssNgAnswer;
            }
            break;
        default: break;
        }
        return;
    }
    switch (FKind) {
    case TProtocol::pProtocol1:
    case TProtocol::pProtocolJpos1:
        if (GetAnswerPayload(L, FKind).startsWith(StxText))
            FState = TScanState::ssAnswerStart;
        break;
    case TProtocol::pProtocol2:
        if (!GetAnswerPayload(Next, TProtocol::pProtocol2).isEmpty())
            FState = TScanState::ssProto2Answer;
        break;
    case TProtocol::pPlain:
        if (!GetAnswerPayload(L, TProtocol::pProtocol1).isEmpty())
            FState = TScanState::ssPlainAnswer;
        break;
    default: break;
    }
}

void TLogParser::ProcessAfterEnq(const TLine& L)
{
    const QByteArrayView payload = GetRequestPayload(L);
    if (!payload.startsWith(StxText))
        return;
    FRequest.append(payload.data(), size_t(payload.size()));
    if (FLineNumber < 0)
        FLineNumber = int32_t(std::min<qint64>(FIndex + 1, std::numeric_limits<int32_t>::max()));
    FState = TScanState::ssRequest;
}

void TLogParser::ProcessRequest(const TLine& L)
{
    const QByteArrayView payload = GetRequestPayload(L);
    if (!payload.isEmpty()) {
        AppendWithBlank(FRequest, payload);
        return;
    }
    TCommand command;
    command.SetAttributes(ViewOf(FPrefix));
    // A plain request loses only its first byte.
    command.SetData(FKind == TProtocol::pPlain ? Cut(FRequest, ByteWidth, 0)
                                               : Cut(FRequest, FrameHeadText, FrameTailText));
    command.Protocol = FKind;
    command.LineNumber = FLineNumber;
    FDropped = !AddCommand(std::move(command));
    FAwaiting = !FDropped;
    FRequest.clear();
    FAnswer.clear();
    FLineNumber = -1;
    FState = TScanState::ssIdle;
}

void TLogParser::ProcessAnswer(const TLine& L)
{
    const QByteArrayView payload = GetAnswerPayload(L, FKind);
    if (!payload.isEmpty()) {
        if (!FAnswer.empty())
            FAnswer += ' ';
        FAnswer.append(payload.data(), size_t(payload.size()));
        return;
    }
    if (!GetRequestPayload(L).startsWith(AckText))
        return;
    if (!FCommands.isEmpty() && !FDropped) {
        TCommand& last = FCommands.last();
        last.SetAnswerData(Cut(FAnswer, 0, HexDigits));
        last.Protocol = FKind;
        // The host's ACK completes it.
        SetDuration(last, L.View());
        FAwaiting = false;
    }
    FAnswer.clear();
    FState = TScanState::ssIdle;
}

void TLogParser::ProcessProto2Answer(const TLine& L, const TLine& Next)
{
    const QByteArrayView payload = GetAnswerPayload(L, TProtocol::pProtocol2);
    if (!payload.isEmpty() && payload != AckText)
        AppendWithBlank(FAnswer, payload);
    if (!GetAnswerPayload(Next, TProtocol::pProtocol2).isEmpty())
        return;
    TCommand command;
    command.SetAttributes(ViewOf(FPrefix));
    command.SetData(DecodeProtocol2Frame(ViewOf(FRequest), FFrameText));
    command.SetAnswerData(DecodeProtocol2Frame(ViewOf(FAnswer), FFrameText));
    command.Protocol = TProtocol::pProtocol2;
    command.LineNumber = FLineNumber;
    SetDuration(command, L.View());
    AddCommand(std::move(command));
    ResetExchange();
}

void TLogParser::ProcessPlainAnswer(const TLine& L, const TLine& Next)
{
    const QByteArrayView payload = GetAnswerPayload(L, TProtocol::pProtocol1);
    if (!payload.isEmpty())
        AppendWithBlank(FAnswer, payload);
    if (!GetAnswerPayload(Next, TProtocol::pProtocol1).isEmpty())
        return;
    if (!FCommands.isEmpty() && !FDropped) {
        TCommand& last = FCommands.last();
        last.SetAnswerData(Cut(FAnswer, LeadingBlank, 0));
        last.Protocol = TProtocol::pPlain;
        SetDuration(last, L.View());
        FAwaiting = false;
    }
    ResetExchange();
}

void TLogParser::ProcessNgAnswer(const TLine& L)
{
    const QByteArrayView payload = GetAnswerPayload(L, TProtocol::pProtocolNg1);
    if (IsNgControl(payload)) {
        FKind = TProtocol::pProtocolNg1;
        return;
    }
    if (payload.isEmpty())
        return;
    AppendWithBlank(FAnswer, payload);
    TCommand command;
    command.SetAttributes(ViewOf(FPrefix));
    const bool framed = FKind == TProtocol::pProtocolNg1;
    // Unframed, only the first byte's digits go; the blank after them stays.
    const size_t head = LeadingBlank + (framed ? FrameHeadText : HexDigits);
    const size_t tail = framed ? FrameTailText : 0;
    command.SetData(Cut(FRequest, head, tail));
    command.SetAnswerData(Cut(FAnswer, head, tail));
    command.Protocol = FKind;
    command.LineNumber = FLineNumber;
    SetDuration(command, L.View());
    AddCommand(std::move(command));
    ResetExchange();
}

void ParseLog(const QStringList& Lines, TCommands& Commands, const QList<int32_t>& IgnoreCodes)
{
    TLogParser parser(Commands, IgnoreCodes);
    for (const QString& line : Lines)
        parser.AddLine(QStringView(line));
    parser.Finish();
}

} // namespace kestrun
