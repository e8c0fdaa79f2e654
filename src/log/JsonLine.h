// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrun {

// One JSON object on a line, written field by field straight into a byte buffer, in the order
// the fields are given. The outputs with an object per command (list, parse, replay) write
// hundreds of thousands of them, where a QJsonObject per line would cost several times more.
class TJsonLine
{
public:
    explicit TJsonLine(QByteArray& AOut) : FOut(AOut) { FOut += '{'; }
    TJsonLine(const TJsonLine&) = delete;
    TJsonLine& operator=(const TJsonLine&) = delete;

    TJsonLine& Text(std::string_view AName, const QString& AValue);
    // Text in Windows-1251, as log records keep it.
    TJsonLine& Cp1251(std::string_view AName, QByteArrayView AValue);
    TJsonLine& Number(std::string_view AName, int64_t AValue);
    // null without a value.
    TJsonLine& Number(std::string_view AName, std::optional<int64_t> AValue);
    TJsonLine& Bool(std::string_view AName, bool AValue);
    TJsonLine& Null(std::string_view AName);
    // The buffer to write the field's value into, already JSON.
    QByteArray& Value(std::string_view AName);
    // Closes the object and its line.
    void End() { FOut += "}\n"; }

private:
    QByteArray& FOut;
    bool FFirst = true;
};

// A JSON string literal of the value, UTF-8, appended to `out`.
void AppendJsonString(QByteArray& out, const QString& value);
void AppendJson1251(QByteArray& out, QByteArrayView value);

} // namespace kestrun
