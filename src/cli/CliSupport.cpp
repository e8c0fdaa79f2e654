#include "CliSupport.h"

namespace kestrun::cli {

bool ArgReader::TakeFlag(const QString& name)
{
    const bool found = FArgs.removeAll(name) > 0;
    return found;
}

bool ArgReader::HasValue(const QString& name) const
{
    for (const QString& a : FArgs)
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
    for (qsizetype i = 0; i < FArgs.size();) {
        const QString& a = FArgs[i];
        if (a == name) {
            if (i + 1 >= FArgs.size())
                throw UsageError{QStringLiteral("option %1 needs a value").arg(name)};
            values << FArgs[i + 1];
            FArgs.remove(i, 2);
        } else if (a.startsWith(name + QLatin1Char('='))) {
            values << a.mid(name.size() + 1);
            FArgs.remove(i);
        } else {
            ++i;
        }
    }
    return values;
}

QStringList ArgReader::Positionals(int min, int max)
{
    for (const QString& a : FArgs)
        if (a.startsWith(QLatin1String("--")) || (a.startsWith(QLatin1Char('-')) && a.size() > 1))
            throw UsageError{QStringLiteral("unknown option %1").arg(a)};
    if (FArgs.size() < min || FArgs.size() > max)
        throw UsageError{QStringLiteral("wrong number of arguments")};
    return FArgs;
}

int ToInt(const QString& text, const QString& what)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        throw UsageError{QStringLiteral("%1 must be a whole number, not \"%2\"").arg(what, text)};
    return value;
}

void WriteOut(const QByteArray& utf8) { std::fwrite(utf8.constData(), 1, utf8.size(), stdout); }

void WriteOut(const QString& text) { WriteOut(text.toUtf8()); }

void WriteErr(const QString& text)
{
    const QByteArray utf8 = text.toUtf8() + '\n';
    std::fflush(stdout);
    std::fwrite(utf8.constData(), 1, utf8.size(), stderr);
}

int ReportFailure(const char* command, const QString& message)
{
    WriteErr(QStringLiteral("kestrun-cli %1: %2").arg(QString::fromUtf8(command), message));
    return ExitFailure;
}

void AppendJsonString(QByteArray& out, const QString& value)
{
    static constexpr char hex[] = "0123456789abcdef";
    const QByteArray utf8 = value.toUtf8();
    out += '"';
    // Runs that need no escape are copied whole: long texts are mostly such runs.
    qsizetype plain = 0;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(utf8.constData() + plain, i - plain);
        plain = i + 1;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            out += "\\u00";
            out += hex[u >> 4];
            out += hex[u & 0xF];
        }
    }
    out.append(utf8.constData() + plain, utf8.size() - plain);
    out += '"';
}

} // namespace kestrun::cli
