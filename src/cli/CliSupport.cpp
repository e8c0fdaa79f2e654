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

namespace {

// The two-character JSON escape of a character, or null.
const char* ShortEscape(char32_t c)
{
    switch (c) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return nullptr;
    }
}

} // namespace

void AppendJsonString(QByteArray& out, const QString& value)
{
    static constexpr char hex[] = "0123456789abcdef";
    // Encoded straight into `out`, sized for the worst case (a \u00XX escape per character):
    // rows of long texts are written by the hundred thousand.
    const qsizetype start = out.size();
    out.resize(start + value.size() * 6 + 2);
    char* p = out.data() + start;
    *p++ = '"';
    const char16_t* c = reinterpret_cast<const char16_t*>(value.constData());
    const char16_t* const end = c + value.size();
    for (; c != end; ++c) {
        char32_t u = *c;
        if (u >= 0x20 && u < 0x80 && u != '"' && u != '\\') {
            *p++ = static_cast<char>(u);
            continue;
        }
        if (const char* escape = ShortEscape(u)) {
            *p++ = escape[0];
            *p++ = escape[1];
            continue;
        }
        if (u < 0x20) {
            *p++ = '\\';
            *p++ = 'u';
            *p++ = '0';
            *p++ = '0';
            *p++ = hex[u >> 4];
            *p++ = hex[u & 0xF];
            continue;
        }
        if (QChar::isHighSurrogate(u) && c + 1 != end && QChar::isLowSurrogate(c[1]))
            u = QChar::surrogateToUcs4(static_cast<char16_t>(u), *++c);
        else if (QChar::isSurrogate(u))
            u = QChar::ReplacementCharacter;
        if (u < 0x800) {
            *p++ = static_cast<char>(0xC0 | (u >> 6));
        } else if (u < 0x10000) {
            *p++ = static_cast<char>(0xE0 | (u >> 12));
            *p++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        } else {
            *p++ = static_cast<char>(0xF0 | (u >> 18));
            *p++ = static_cast<char>(0x80 | ((u >> 12) & 0x3F));
            *p++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        }
        *p++ = static_cast<char>(0x80 | (u & 0x3F));
    }
    *p++ = '"';
    out.truncate(p - out.constData());
}

} // namespace kestrun::cli
