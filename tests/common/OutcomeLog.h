// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LogBuilder.h"

#include <QByteArray>
#include <QList>

namespace kestrun::test {

// A protocol-1 log with every kind of failure a log can show: 0 fine, 1 device error, 2 no
// answer, 3 fine, 4 a driver error line, 5 an answer too short for its error byte, 6 an
// undecodable TLV ("[ERROR] Неверная длина FVLN"), 7 fine.
inline QByteArray OutcomeLog()
{
    const char* const status = "10 1E 00 00 00";
    const char* const statusAnswer = "10 00 1E 03 00 02 00 05 FF D8 00 00 00 1A 04";
    const char* const sale = "80 1E 00 00 00 E8 03 00 00 00 10 27 00 00 00 01 00 00 00 00 4D 69 6C 6B";
    const QByteArray prefix = "[12.03.2024 10:15:30.123] [00001A2C] ";
    const auto exchanges = [&prefix](const std::vector<TExchange>& list) {
        QByteArray text;
        for (const TExchange& exchange : list)
            text += Protocol1ExchangeText(exchange, prefix + "[DEBUG] TPrinterProtocol ", prefix + "[DEBUG] TPrinterProtocol ");
        return text;
    };
    return exchanges({{status, statusAnswer}, {sale, "80 37"}, {sale, nullptr}, {sale, "80 00"}})
         + prefix + "[ERROR] TFiscalPrinter - no link\r\n"
         + exchanges({{sale, "80"}, {"FF 0C 1E 00 00 00 FF 03 01 00 05", "FF 0C 00"}, {status, statusAnswer}});
}

// The rows of OutcomeLog that failed.
inline const QList<int> OutcomeFailedRows = {1, 2, 4, 5, 6};

} // namespace kestrun::test
