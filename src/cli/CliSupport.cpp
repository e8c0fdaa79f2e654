// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSupport.h"

#include "decode/DisplayText.h"
#include "log/Exception.h"

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
                throw UsageError{QStringLiteral("option %1 needs a value").arg(name)};
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
            throw UsageError{QStringLiteral("unknown option %1").arg(a)};
    const QStringList positionals = FOptions + FAfterOptions;
    if (positionals.size() < min || positionals.size() > max)
        throw UsageError{QStringLiteral("wrong number of arguments")};
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
        throw UsageError{QStringLiteral("%1 must be a whole number, not \"%2\"").arg(what, text)};
    return value;
}

int ToIndex(const QString& text, qsizetype count, const QString& what)
{
    const int index = ToInt(text, what);
    if (count == 0)
        throw UsageError{QStringLiteral("%1 %2: the log holds no commands").arg(what).arg(index)};
    if (index < 0 || index >= count)
        throw UsageError{QStringLiteral("%1 must be from 0 to %2, not %3").arg(what).arg(count - 1).arg(index)};
    return index;
}

QByteArray HexArgument(const QString& text, const QString& what, bool allowEmpty)
{
    const QStringList groups = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool valid = allowEmpty || !groups.isEmpty();
    for (const QString& group : groups)
        valid = valid && group.size() % 2 == 0 && std::all_of(group.begin(), group.end(), IsHexDigit);
    if (!valid)
        throw UsageError{QStringLiteral("%1 must be hex text, two digits a byte (e.g. \"FF 0A\" or FF0A), not \"%2\"")
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
        throw Exception(input.errorString());
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

void LoadLog(const QString& fileName, const QStringList& ignoreLines, TCommands& commands)
{
    try {
        LoadLogNoting(fileName, ignoreLines, commands);
    } catch (const TDamagedInput& e) {
        DamageMessage = e.Message();
    }
}

void StreamLog(const QString& fileName, const QStringList& ignoreLines, const TSettledCommands& settled,
               TReadThread reading)
{
    try {
        StreamLogNoting(fileName, ignoreLines, settled, reading);
    } catch (const TDamagedInput& e) {
        DamageMessage = e.Message();
    }
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
    throw Exception(QStringLiteral("cannot write standard output: %1").arg(reason));
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
