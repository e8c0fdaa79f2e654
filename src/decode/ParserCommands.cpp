// SPDX-License-Identifier: GPL-3.0-or-later
#include "ParserCommands.h"

#include "ParserCommandClasses.h"
#include "PrinterError.h"
#include "log/Frames.h"
#include "log/Exception.h"

#include <utility>
#include <vector>

namespace kestrun {

namespace {

template <class T>
constexpr TParserCommandClass ClassOf = &TParserCommand::Create<T>;

std::unique_ptr<TParserCommand> MakeDecoder(const TCommand& Command)
{
    return TParserCommands::Instance().GetParserCommandClass(GetCommandCode(Command))();
}

// A decoder keeps nothing from one command to the next but its buffers: every decode starts by
// emptying its values and refilling its stream. Summaries are made for every row of a log, so
// each thread keeps one decoder of each class for them rather than building one per row.
TParserCommand& SummaryDecoder(const TCommand& Command)
{
    thread_local std::vector<std::pair<TParserCommandClass, std::unique_ptr<TParserCommand>>> decoders;
    const TParserCommandClass make = TParserCommands::Instance().GetParserCommandClass(GetCommandCode(Command));
    for (const auto& [made, decoder] : decoders)
        if (made == make)
            return *decoder;
    return *decoders.emplace_back(make, make()).second;
}

} // namespace

TParserCommands::TParserCommands()
{
    AddParserCommand(0xFF45, ClassOf<TParserCommandFF45>);
    AddParserCommand(0xFF46, ClassOf<TParserCommandFF46>);
    AddParserCommand(0xFF01, ClassOf<TParserCommandFF01>);
    AddParserCommand(0xFF0C, ClassOf<TParserCommandFF0C>);
    AddParserCommand(0xFF4D, ClassOf<TParserCommandFF0C>);
    AddParserCommand(0xFF61, ClassOf<TParserCommandFF61>);
    AddParserCommand(0xFF67, ClassOf<TParserCommandFF67>);
    AddParserCommand(0xFF69, ClassOf<TParserCommandFF69>);
    AddParserCommand(0xFF76, ClassOf<TParserCommandFF76>);
    AddParserCommand(0x10, ClassOf<TParserCommand10>);
    AddParserCommand(0x11, ClassOf<TParserCommand11>);
    AddParserCommand(0x17, ClassOf<TParserCommand17>);
    AddParserCommand(0x1E, ClassOf<TParserCommand1E>);
    AddParserCommand(0x1F, ClassOf<TParserCommand1F>);
    AddParserCommand(0x2F, ClassOf<TParserCommand2F>);
    AddParserCommand(0x2D, ClassOf<TParserCommand2D>);
    AddParserCommand(0x2E, ClassOf<TParserCommand2E>);
    AddParserCommand(0x6B, ClassOf<TParserCommand6B>);
    AddParserCommand(0x80, ClassOf<TParserCommand80>);
    AddParserCommand(0x81, ClassOf<TParserCommand81>);
    AddParserCommand(0x82, ClassOf<TParserCommand82>);
    AddParserCommand(0x83, ClassOf<TParserCommand83>);
    AddParserCommand(0x85, ClassOf<TParserCommand85>);
    AddParserCommand(0x89, ClassOf<TParserCommand89>);
    AddParserCommand(0x8D, ClassOf<TParserCommand8D>);
    AddParserCommand(0xFC, ClassOf<TParserCommandFC>);
}

void TParserCommands::AddParserCommand(uint16_t Code, TParserCommandClass Class) { FCommands.append({Code, Class}); }

TParserCommandClass TParserCommands::GetParserCommandClass(uint16_t ACode) const
{
    for (const TEntry& entry : FCommands)
        if (entry.Code == ACode)
            return entry.Class;
    return ClassOf<TParserCommand>;
}

const TParserCommands& TParserCommands::Instance()
{
    static const TParserCommands registry;
    return registry;
}

TParsedCommand ParseCommand(const TCommand& Command)
{
    const std::unique_ptr<TParserCommand> decoder = MakeDecoder(Command);
    TParsedCommand parsed;
    parsed.Request = decoder->Parse(Command, pFields);
    parsed.Answer = decoder->Parse(Command, pAnswerFields);
    parsed.Played = decoder->Parse(Command, pPlayedFields);
    return parsed;
}

QString UnreadableFrame(const TCommand& Command)
{
    const QByteArray request = Command.DataBytes();
    if (!MakeDecoder(Command)->Fields().isEmpty() && request.size() <= EchoedCodeSize(request))
        return QStringLiteral("запрос обрывается до первого поля: %1 байт").arg(request.size());
    const QByteArray answer = Command.AnswerBytes();
    if (!answer.isEmpty() && answer.size() <= EchoedCodeSize(answer))
        return QStringLiteral("ответ обрывается до кода ошибки: %1 байт").arg(answer.size());
    return {};
}

QString GetCommandShortValue(const TCommand& Command)
{
    TParserCommand& decoder = SummaryDecoder(Command);
    decoder.Decode(Command, pFields);
    decoder.Decode(Command, pAnswerFields);
    QString text = decoder.GetShortValue();
    const int error = GetAnswerErrorCode(Command);
    if (error != 0)
        text += QStringLiteral(" [ERROR] ") + QString::number(error) + QStringLiteral(" (0x")
              + QStringLiteral("%1").arg(static_cast<uint32_t>(error), 2, 16, QLatin1Char('0')).toUpper()
              + QStringLiteral(") ") + TPrinterError::GetDescription(error);
    return text;
}

bool SummaryFaults(const TCommand& Command)
{
    TParserCommand& decoder = SummaryDecoder(Command);
    if (!decoder.MayFault())
        return false;
    try {
        decoder.Check(Command, pFields);
        decoder.Check(Command, pAnswerFields);
    } catch (const Exception&) {
        return true;
    }
    return false;
}

std::optional<qsizetype> AnswerFieldPosition(uint16_t Code, QStringView Name)
{
    const std::unique_ptr<TParserCommand> decoder = TParserCommands::Instance().GetParserCommandClass(Code)();
    // The answer echoes the code, two bytes for an FF command, then carries the error byte.
    qsizetype position = (Code >> 8 == 0xFF ? 2 : 1) + 1;
    for (const TField& field : decoder->AnswerFields()) {
        if (field.Name == Name)
            return position;
        const TFieldTypeInfo& info = FieldTypeInfo(field.FieldType);
        if (info.Kind != TFieldKind::fkNumber)
            return std::nullopt;
        position += info.Size;
    }
    return std::nullopt;
}

} // namespace kestrun
