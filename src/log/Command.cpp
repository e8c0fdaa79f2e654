#include "Command.h"

#include "Bytes.h"
#include "Frames.h"

namespace kestrun {

namespace {

struct ProtocolInfo
{
    const char* Name;
    const char* Caption;
};

constexpr ProtocolInfo Protocols[] = {
    {"pNone", ""},
    {"pProtocol1", "[Protocol v1]"},
    {"pProtocol2", "[Protocol v2]"},
    {"pPlain", "[Protocol v1 (plain)]"},
    {"pProtocolNg1", "[Protocol v1 (NG)]"},
    {"pProtocolNg2", ""},
    {"pProtocolNg1Plain", "[Protocol v1 (plain) (NG)]"},
    {"pProtocolJpos1", "[Protocol v1 (jpos)]"},
};

const ProtocolInfo& InfoOf(TProtocol protocol)
{
    const auto index = static_cast<size_t>(protocol);
    return Protocols[index < std::size(Protocols) ? index : 0];
}

// The answer's error byte; the code and error bytes of an answer fit in three.
int ErrorByteOf(const QByteArray& answerData) { return AnswerErrorByte(HexToStrPrefix(answerData, 3)); }

} // namespace

const char* ProtocolName(TProtocol protocol) { return InfoOf(protocol).Name; }

QString ProtocolCaption(TProtocol protocol) { return QString::fromLatin1(InfoOf(protocol).Caption); }

uint16_t GetCommandCodeOfData(const QByteArray& data) { return CommandCodeOf(HexToStrPrefix(data, 2)); }

uint16_t GetCommandCode(const TCommand& command) { return GetCommandCodeOfData(command.Data); }

int GetAnswerErrorCode(const TCommand& command)
{
    if (command.AnswerData.isEmpty())
        return -1;
    return ErrorByteOf(command.AnswerData);
}

bool HasAnswerError(const TCommand& command)
{
    if (command.AnswerData.isEmpty())
        return true;
    return ErrorByteOf(command.AnswerData) > 0;
}

bool HasPlayedAnswerError(const TCommand& command)
{
    if (!command.Played)
        return false;
    return command.PlayedAnswerData.isEmpty() || ErrorByteOf(command.PlayedAnswerData) > 0;
}

QByteArray GetCommandTime(const TCommand& command)
{
    if (command.Attributes.size() < 2)
        return {};
    return command.Attributes.mid(1, 23);
}

QByteArrayView CommandThreadView(const TCommand& command)
{
    const QByteArrayView attributes = command.Attributes;
    QByteArrayView rest;
    char terminator = ']';
    if (command.Protocol == TProtocol::pProtocolJpos1) {
        const qsizetype at = attributes.indexOf(QByteArrayView(" Thread"));
        rest = at < 0 ? attributes : attributes.sliced(at + 1);
        terminator = ' ';
    } else {
        const qsizetype at = attributes.indexOf(QByteArrayView("] ["));
        const qsizetype from = at < 0 ? 2 : at + 3;
        rest = from < attributes.size() ? attributes.sliced(from) : QByteArrayView();
    }
    const qsizetype end = rest.indexOf(terminator);
    return end < 0 ? QByteArrayView() : rest.first(end);
}

QByteArray GetCommandThread(const TCommand& command) { return CommandThreadView(command).toByteArray(); }

} // namespace kestrun
