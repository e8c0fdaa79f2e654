// SPDX-License-Identifier: GPL-3.0-or-later
#include "Notifications.h"

#include <QStringList>

namespace kestrun {

namespace {

int32_t Decimal(const QString& field) { return field.toInt(); }

} // namespace

QString ResultErrorText(int32_t code, const QString& description)
{
    return QStringLiteral("%1, %2").arg(code).arg(description);
}

QString CommandRunMessage(int32_t index, int32_t cycle)
{
    return cycle < 0 ? QString::number(index) : QStringLiteral("%1 %2").arg(index).arg(cycle);
}

QString ErrorQueryMessage(int32_t index, const QString& errorText)
{
    return QStringLiteral("%1 %2").arg(index).arg(errorText);
}

QString ErrorMessage(int32_t index, int32_t cycle, const QString& errorText)
{
    return QStringLiteral("%1 %2 %3").arg(index).arg(cycle).arg(errorText);
}

std::optional<TRunNotice> ParseCommandRunMessage(const QString& AMsg)
{
    const QStringList fields = AMsg.split(QLatin1Char(' '));
    if (AMsg.isEmpty())
        return std::nullopt;
    TRunNotice notice;
    notice.Index = Decimal(fields[0]);
    if (fields.size() >= 2)
        notice.Cycle = Decimal(fields[1]);
    return notice;
}

std::optional<TRunNotice> ParseErrorQueryMessage(const QString& AMsg)
{
    if (AMsg.isEmpty())
        return std::nullopt;
    const qsizetype blank = AMsg.indexOf(QLatin1Char(' '));
    TRunNotice notice;
    notice.Index = Decimal(AMsg.left(blank));
    if (blank >= 0)
        notice.Text = AMsg.mid(blank + 1);
    return notice;
}

std::optional<TRunNotice> ParseErrorMessage(const QString& AMsg)
{
    if (AMsg.isEmpty())
        return std::nullopt;
    const QStringList fields = AMsg.split(QLatin1Char(' '));
    TRunNotice notice;
    notice.Index = qMax(0, Decimal(fields[0]));
    if (fields.size() >= 3) {
        notice.Cycle = Decimal(fields[1]);
        notice.Text = fields.mid(2).join(QLatin1Char(' '));
    }
    return notice;
}

int32_t GetResultCode(const QString& AMsg)
{
    const qsizetype blank = AMsg.indexOf(QLatin1Char(' '));
    const qsizetype comma = AMsg.indexOf(QLatin1Char(','));
    if (blank < 0 || comma < blank)
        return -1;
    bool ok = false;
    const int32_t code = AMsg.mid(blank, comma - blank).trimmed().toInt(&ok);
    return ok ? code : -1;
}

QString CommandStatusText(int32_t index, int32_t cycle, qsizetype count, const QString& name)
{
    if (cycle >= 0)
        return QStringLiteral("Цикл %1 (%2/%3) %4").arg(cycle).arg(index + 1).arg(count).arg(name);
    return QStringLiteral("(%1/%2) %3").arg(index + 1).arg(count).arg(name);
}

QString ErrorStatusText(int32_t index, int32_t cycle, qsizetype count, const QString& name,
                        const QString& errorText)
{
    return QStringLiteral("%1: Ошибка: %2").arg(CommandStatusText(index, cycle, count, name), errorText);
}

QString ResultCodeText(int32_t code)
{
    if (code <= 0)
        return QString::number(code);
    return QStringLiteral("%1 (0x%2)").arg(code).arg(QString::number(code, 16).toUpper().rightJustified(2, u'0'));
}

QString ErrorQuestionText(int32_t index, const QString& name, int32_t code, const QString& errorText)
{
    const QString codePrefix = QString::number(code) + QStringLiteral(", ");
    const QString error = code != 0 && errorText.startsWith(codePrefix)
                              ? ResultCodeText(code) + QStringLiteral(", ") + errorText.mid(codePrefix.size())
                              : errorText;
    return QStringLiteral("Ошибка: строка %1 (%2): %3\r\nПродолжить?").arg(index + 1).arg(name, error);
}

} // namespace kestrun
