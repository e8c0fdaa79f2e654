#include "Command.h"

#include "Bytes.h"

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

// The answer's error byte: after the code byte, or after two when the code starts with FF.
// -1 when the answer is too short to hold one.
int ErrorByteOf(const QByteArray& answerData)
{
    const QByteArray bytes = HexToStrPrefix(answerData, 3);
    if (bytes.size() < 2)
        return -1;
    const qsizetype at = static_cast<unsigned char>(bytes[0]) == 0xFF ? 2 : 1;
    return at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : -1;
}

} // namespace

const char* ProtocolName(TProtocol protocol) { return InfoOf(protocol).Name; }

QString ProtocolCaption(TProtocol protocol) { return QString::fromLatin1(InfoOf(protocol).Caption); }

uint16_t GetCommandCodeOfData(const QByteArray& data)
{
    const QByteArray bytes = HexToStrPrefix(data, 2);
    if (bytes.isEmpty())
        return 0;
    const auto first = static_cast<unsigned char>(bytes[0]);
    if (first != 0xFF && first != 0xFE)
        return first;
    const unsigned second = bytes.size() > 1 ? static_cast<unsigned char>(bytes[1]) : 0;
    return static_cast<uint16_t>((first << 8) | second);
}

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

QByteArray GetCommandTime(const TCommand& command)
{
    if (command.Attributes.size() < 2)
        return {};
    return command.Attributes.mid(1, 23);
}

QByteArray GetCommandThread(const TCommand& command)
{
    const QByteArray& attributes = command.Attributes;
    QByteArray rest;
    QByteArray terminator;
    if (command.Protocol == TProtocol::pProtocolJpos1) {
        const qsizetype at = attributes.indexOf(" Thread");
        rest = at < 0 ? attributes : attributes.mid(at + 1);
        terminator = " ";
    } else {
        const qsizetype at = attributes.indexOf("] [");
        rest = attributes.mid(at < 0 ? 2 : at + 3);
        terminator = "]";
    }
    const qsizetype end = rest.indexOf(terminator);
    return end < 0 ? QByteArray() : rest.left(end);
}

} // namespace kestrun
