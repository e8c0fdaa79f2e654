// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSupport.h"

#include "decode/DisplayText.h"
#include "log/Exception.h"
#include "log/LogReader.h"

#include <QFile>
#include <QLocale>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace kestrun::cli {

namespace {

const QString EndOfOptions = QStringLiteral("--");

bool IsNegativeNumber(const QString& a) { return a.size() > 1 && a[0] == u'-' && a[1].isDigit(); }

bool IsHexDigit(QChar c) { return c.unicode() < 0x80 && std::isxdigit(c.unicode()); }

bool LooksLikeOption(const QString& a) { return a.startsWith(u'-') && a.size() > 1 && !IsNegativeNumber(a); }

} // namespace

ArgReader::ArgReader(const QStringList& args)
{
    const qsizetype end = args.indexOf(EndOfOptions);
    FHasEnd = end >= 0;
    FOptions = FHasEnd ? args.first(end) : args;
    if (FHasEnd)
        FAfterOptions = args.mid(end + 1);
}

QStringList OptionPart(const QStringList& args)
{
    const qsizetype end = args.indexOf(EndOfOptions);
    return end >= 0 ? args.first(end) : args;
}

bool ArgReader::TakeFlag(const QString& name)
{
    const bool found = FOptions.removeAll(name) > 0;
    return found;
}

bool ArgReader::HasValue(const QString& name) const
{
    for (const QString& a : FOptions)
        if (a == name || a.startsWith(name + QLatin1Char('=')))
            return true;
    return false;
}

QString ArgReader::TakeValue(const QString& name, const QString& fallback)
{
    const QStringList values = TakeValues(name);
    return values.isEmpty() ? fallback : values.last();
}

QStringList ArgReader::TakeValues(const QString& name)
{
    QStringList values;
    for (qsizetype i = 0; i < FOptions.size();) {
        const QString& a = FOptions[i];
        if (a == name) {
            if (i + 1 >= FOptions.size() || FOptions[i + 1].startsWith(QLatin1String("--")))
                throw UsageError{QStringLiteral("параметру %1 нужно значение").arg(name)};
            values << FOptions[i + 1];
            FOptions.remove(i, 2);
        } else if (a.startsWith(name + QLatin1Char('='))) {
            values << a.mid(name.size() + 1);
            FOptions.remove(i);
        } else {
            ++i;
        }
    }
    return values;
}

QStringList ArgReader::Positionals(int min, int max)
{
    for (const QString& a : std::as_const(FOptions))
        if (LooksLikeOption(a))
            throw UsageError{QStringLiteral("неизвестный параметр %1").arg(a)};
    const QStringList positionals = FOptions + FAfterOptions;
    if (positionals.size() < min || positionals.size() > max)
        throw UsageError{QStringLiteral("неверное число аргументов")};
    return positionals;
}

QStringList ArgReader::Rest() const
{
    return FHasEnd ? FOptions + QStringList{EndOfOptions} + FAfterOptions : FOptions;
}

int ToInt(const QString& text, const QString& what)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        throw UsageError{QStringLiteral("%1 должно быть целым числом, а не \"%2\"").arg(what, text)};
    return value;
}

int ToIndex(const QString& text, qsizetype count, const QString& what)
{
    const int index = ToInt(text, what);
    if (count == 0)
        throw UsageError{QStringLiteral("%1 %2: в логе нет команд").arg(what).arg(index)};
    if (index < 0 || index >= count)
        throw UsageError{QStringLiteral("%1 должно быть от 0 до %2, а не %3").arg(what).arg(count - 1).arg(index)};
    return index;
}

QByteArray HexArgument(const QString& text, const QString& what, bool allowEmpty)
{
    const QStringList groups = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool valid = allowEmpty || !groups.isEmpty();
    for (const QString& group : groups)
        valid = valid && group.size() % 2 == 0 && std::all_of(group.begin(), group.end(), IsHexDigit);
    if (!valid)
        throw UsageError{QStringLiteral("%1 должно быть шестнадцатеричным текстом, по две цифры на байт (например, \"FF 0A\" или FF0A), а не \"%2\"")
                             .arg(what, text)};
    return text.toLatin1();
}

QStringList TakeIgnoreLines(ArgReader& reader)
{
    const QStringList lines = reader.TakeValues(QStringLiteral("--ignore"));
    for (const QString& line : lines)
        HexArgument(line, QStringLiteral("--ignore"));
    return lines;
}

namespace {

bool LocaleChosen = false;

} // namespace

void NoteLocaleChosen() { LocaleChosen = true; }

void UseMachineLocale()
{
    if (!LocaleChosen)
        QLocale::setDefault(QLocale::c());
}

bool IsStandardStream(const QString& fileName) { return fileName == QLatin1String("-"); }

namespace {

// Standard input as it comes: a read returns what the writer has written so far (QFile would
// wait for a whole buffer).
class TStandardInput final : public QIODevice
{
public:
    TStandardInput() { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, data, size_t(maxSize));
            if (n >= 0)
                return qint64(n);
            if (errno != EINTR) {
                setErrorString(QString::fromLocal8Bit(std::strerror(errno)));
                return -1;
            }
        }
    }
    qint64 writeData(const char*, qint64) override { return -1; }
};

// Reads the whole of standard input: it cannot be read twice, as streaming a UTF-8 file needs.
void LoadStandardInput(const QStringList& ignoreLines, TCommands& commands)
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        throw Exception(QStringLiteral("не удалось прочитать стандартный ввод: %1").arg(input.errorString()));
    LoadLogDevice(input, ignoreLines, commands);
}

} // namespace

namespace {

QString DamageMessage;

void LoadLogNoting(const QString& fileName, const QStringList& ignoreLines, TCommands& commands)
{
    if (IsStandardStream(fileName))
        LoadStandardInput(ignoreLines, commands);
    else
        LoadLogFile(fileName, ignoreLines, commands);
}

void StreamLogNoting(const QString& fileName, const QStringList& ignoreLines, const TSettledCommands& settled,
                     TReadThread reading);

} // namespace

const QString& InputDamage() { return DamageMessage; }

namespace {

QString LogName(const QString& fileName)
{
    return IsStandardStream(fileName) ? QStringLiteral("стандартный ввод") : fileName;
}

} // namespace

QString AtLog(const QString& fileName, const QString& message)
{
    // Most messages of a file (it cannot be opened, an archive is damaged) name it already.
    if (!IsStandardStream(fileName) && message.contains(fileName))
        return message;
    return LogName(fileName) + QStringLiteral(": ") + message;
}

QString AtCommand(const QString& fileName, qsizetype index, const QString& message)
{
    return QStringLiteral("%1, команда %2: %3").arg(LogName(fileName)).arg(index).arg(message);
}

namespace {

// Tells the failure being handled with the log's name (and the line, when known); keeps what a
// damaged packed log gave.
void NameTheLog(const QString& fileName)
{
    try {
        throw;
    } catch (const TDamagedInput& e) {
        DamageMessage = AtLog(fileName, e.Message());
    } catch (const TUndecodableLine& e) {
        throw Exception(QStringLiteral("%1, строка %2: %3").arg(LogName(fileName)).arg(e.Line()).arg(e.Message()));
    } catch (const Exception& e) {
        throw Exception(AtLog(fileName, e.Message()));
    }
}

// Runs a read of the log; its failure is told with the log's name (and the line, when known).
// What the consumer of its commands raises (an output that cannot be written) is its own.
template <typename TRead>
void ReadNamingTheLog(const QString& fileName, const TRead& read, const bool& consumerFailed)
{
    try {
        read();
    } catch (...) {
        if (consumerFailed)
            throw;
        NameTheLog(fileName);
    }
}

} // namespace

void LoadLog(const QString& fileName, const QStringList& ignoreLines, TCommands& commands)
{
    const bool consumerFailed = false;
    ReadNamingTheLog(fileName, [&] { LoadLogNoting(fileName, ignoreLines, commands); }, consumerFailed);
}

void StreamLog(const QString& fileName, const QStringList& ignoreLines, const TSettledCommands& settled,
               TReadThread reading)
{
    bool consumerFailed = false;
    const TSettledCommands consume = [&](const TCommands& batch) {
        try {
            settled(batch);
        } catch (...) {
            consumerFailed = true;
            throw;
        }
    };
    ReadNamingTheLog(fileName, [&] { StreamLogNoting(fileName, ignoreLines, consume, reading); }, consumerFailed);
}

namespace {

void StreamLogNoting(const QString& fileName, const QStringList& ignoreLines, const TSettledCommands& settled,
                     TReadThread reading)
{
    if (!IsStandardStream(fileName)) {
        StreamLogFile(fileName, ignoreLines, settled, reading);
        return;
    }
    // A pipe is listed as it comes; only a UTF-8 text is read whole first, as a file would be
    // read twice.
    TStandardInput input;
    if (input.peek(3) != QByteArrayView("\xEF\xBB\xBF")) {
        StreamLogDevice(input, ignoreLines, settled);
        return;
    }
    TCommands commands;
    try {
        LoadLogDevice(input, ignoreLines, commands);
    } catch (const Exception&) {
        // As a streamed file: the commands before a packet format error are handed over.
        if (!commands.isEmpty())
            settled(commands);
        throw;
    }
    if (!commands.isEmpty())
        settled(commands);
}

} // namespace

namespace {

// The reason of the first failed write of standard output; set once it has been raised, so
// that it is reported once.
std::atomic<int> OutputError = 0;
std::atomic<bool> OutputErrorRaised = false;

void NoteOutputError()
{
    int expected = 0;
    OutputError.compare_exchange_strong(expected, errno != 0 ? errno : EIO);
}

[[noreturn]] void RaiseOutputError()
{
    OutputErrorRaised = true;
    const QString reason = QString::fromLocal8Bit(std::strerror(OutputError));
    throw Exception(QStringLiteral("не удалось записать стандартный вывод: %1").arg(reason));
}

bool FlushOut()
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return true;
    NoteOutputError();
    return false;
}

} // namespace

void WriteOut(const QByteArray& bytes)
{
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size())) {
        NoteOutputError();
        RaiseOutputError();
    }
}

void WriteOut(const QString& text) { WriteOut(text.toUtf8()); }

void FinishOutput()
{
    if (!FlushOut() && !OutputErrorRaised)
        RaiseOutputError();
}

void WriteErr(const QString& text)
{
    // Messages carry names and texts from the input (an archive member's name, a log line): no
    // control byte of theirs may reach the terminal.
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = PrintableText(line);
    const QByteArray utf8 = lines.join(QLatin1Char('\n')).toUtf8() + '\n';
    FlushOut(); // standard output first, in the order the two were written
    std::fwrite(utf8.constData(), 1, utf8.size(), stderr);
}

int ReportFailure(const char* command, const QString& message)
{
    WriteErr(QStringLiteral("kestrun-cli %1: %2").arg(QString::fromUtf8(command), message));
    return ExitFailure;
}

} // namespace kestrun::cli
