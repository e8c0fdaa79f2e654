#pragma once

#include "log/Codepages.h"

#include <QByteArray>
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

// Protocol 1 with the driver's handshake around every frame, all lines at one time stamp.
inline QByteArray Protocol1Log(const std::vector<TExchange>& exchanges)
{
    const QByteArray prefix = "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol ";
    const auto length = [](const QByteArray& hex) {
        return QByteArray::number(hex.simplified().count(' ') + 1, 16).rightJustified(2, '0').toUpper();
    };
    QByteArray text;
    for (const TExchange& exchange : exchanges) {
        const QByteArray request = exchange.Request;
        text += prefix + "-> 05\r\n" + prefix + "<- 15\r\n" + prefix + "-> 02 " + length(request) + ' ' + request
              + " 00\r\n" + prefix + "<- 06\r\n";
        if (exchange.Answer) {
            const QByteArray answer = exchange.Answer;
            text += prefix + "<- 02\r\n" + prefix + "<- " + length(answer) + "\r\n" + prefix + "<- " + answer + "\r\n"
                  + prefix + "<- 05\r\n" + prefix + "-> 06\r\n";
        }
    }
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
