// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/Codepages.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <vector>

namespace kestrun::test {

// One logged exchange: request and answer as hex text; a null Answer logs the request alone.
struct TExchange
{
    const char* Request;
    const char* Answer;
};

// The length byte of a protocol-1 frame holding the hex text's bytes.
inline QByteArray FrameLengthText(const QByteArray& hex)
{
    return QByteArray::number(hex.simplified().count(' ') + 1, 16).rightJustified(2, '0').toUpper();
}

// One protocol-1 exchange with the driver's handshake; the request's lines carry `requestPrefix`,
// the answer's `answerPrefix`.
inline QByteArray Protocol1ExchangeText(const TExchange& exchange, const QByteArray& requestPrefix,
                                    const QByteArray& answerPrefix)
{
    const QByteArray request = exchange.Request;
    QByteArray text = requestPrefix + "-> 05\r\n" + requestPrefix + "<- 15\r\n" + requestPrefix + "-> 02 "
                    + FrameLengthText(request) + ' ' + request + " 00\r\n" + requestPrefix + "<- 06\r\n";
    if (exchange.Answer) {
        const QByteArray answer = exchange.Answer;
        text += answerPrefix + "<- 02\r\n" + answerPrefix + "<- " + FrameLengthText(answer) + "\r\n" + answerPrefix
              + "<- " + answer + "\r\n" + answerPrefix + "<- 05\r\n" + answerPrefix + "-> 06\r\n";
    }
    return text;
}

// Protocol 1 with the driver's handshake around every frame, all lines at one time stamp.
inline QByteArray Protocol1Log(const std::vector<TExchange>& exchanges)
{
    const QByteArray prefix = "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol ";
    QByteArray text;
    for (const TExchange& exchange : exchanges)
        text += Protocol1ExchangeText(exchange, prefix, prefix);
    return text;
}

// A protocol-1 exchange that starts `StartMs` after 12.03.2024 23:59:00.000 and whose answer is
// logged `DurationMs` after that.
struct TTimedExchange
{
    TExchange Exchange;
    qint64 StartMs;
    int DurationMs;
};

// Protocol 1 with a stamp per exchange: its request's lines at the start, its answer's at the end.
inline QByteArray TimedProtocol1Log(const std::vector<TTimedExchange>& exchanges)
{
    const QDateTime origin(QDate(2024, 3, 12), QTime(23, 59), Qt::UTC);
    const auto prefix = [&origin](qint64 ms) {
        return '[' + origin.addMSecs(ms).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss.zzz")).toLatin1()
             + "] [00001A2C] [DEBUG] TPrinterProtocol ";
    };
    QByteArray text;
    for (const TTimedExchange& timed : exchanges)
        text += Protocol1ExchangeText(timed.Exchange, prefix(timed.StartMs), prefix(timed.StartMs + timed.DurationMs));
    return text;
}

// The NG dialect: a request line and an answer line per exchange.
inline QByteArray NgLog(const std::vector<TExchange>& exchanges)
{
    QByteArray text;
    for (const TExchange& exchange : exchanges) {
        text += QByteArray("[12.03.2024 10:15:30.123] [00001A2C] [D] -> ") + exchange.Request + "\r\n";
        if (exchange.Answer)
            text += QByteArray("[12.03.2024 10:15:30.124] [00001A2C] [D] <- ") + exchange.Answer + "\r\n";
    }
    return text;
}

// Protocol 2 frames (time stamps 10:15:00, 10:15:01, ...), a line of other text after each
// exchange, CR LF lines; a request without an answer is logged in protocol-1 framing.
inline QString Protocol2Log(const std::vector<TExchange>& exchanges)
{
    QStringList lines;
    int second = 0;
    for (const TExchange& exchange : exchanges) {
        const QString prefix = QStringLiteral("[12.03.2024 10:15:%1.123] [00001A2C] [DEBUG] ").arg(second++, 2, 10, QLatin1Char('0'));
        const QString request = QLatin1String(exchange.Request);
        if (exchange.Answer) {
            lines << prefix + QStringLiteral("TPrinterProtocol2 -> 8F 06 00 01 00 ") + request + QStringLiteral(" 12 34");
            lines << prefix + QStringLiteral("TPrinterProtocol2 <- 8F 07 00 01 00 ") + QLatin1String(exchange.Answer)
                         + QStringLiteral(" 56 78");
        } else {
            // A request left unanswered: the protocol-1 framing shows it complete without an answer.
            const QString length = QStringLiteral("%1").arg(request.split(u' ', Qt::SkipEmptyParts).size(), 2, 16, QLatin1Char('0'));
            lines << prefix + QStringLiteral("TPrinterProtocol -> 05") << prefix + QStringLiteral("TPrinterProtocol <- 15")
                  << prefix + QStringLiteral("TPrinterProtocol -> 02 %1 %2 00").arg(length.toUpper(), request);
        }
        lines << QStringLiteral("[12.03.2024 10:15:00.000] [00001A2C] other");
    }
    return lines.join(QStringLiteral("\r\n"));
}

// Writes the bytes to a new file.
inline void WriteFile(const QString& fileName, const QByteArray& bytes)
{
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << fileName.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// The Protocol2Log of the exchanges, in Windows-1251, as the driver writes it.
inline void WriteLog(const QString& fileName, const std::vector<TExchange>& exchanges)
{
    WriteFile(fileName, UnicodeToCp1251(Protocol2Log(exchanges)));
}

} // namespace kestrun::test
