// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/Bytes.h"

#include <QString>

namespace kestrun {

// Renders fiscal-data TLV elements as text, one line per element, containers indented.
// Malformed lengths show as text ("TLV length error", "Ошибка! Некорректная длина");
// a malformed FVLN value throws kestrun::Exception ("Неверная длина FVLN").
class TTLVParser
{
public:
    // Containers nested deeper than this show their value as hex on their own line,
    // so no input can make the output grow with the square of its size.
    static constexpr int32_t MaxNestingLevel = 64;

    TTLVParser();
    ~TTLVParser();

    bool ShowTagNumbers() const;
    void SetShowTagNumbers(bool value);
    int32_t BaseIndent() const;
    void SetBaseIndent(int32_t value);

    QString ParseTLV(const TByteString& AData);
    // Throws what ParseTLV throws for the data, without making its text.
    void CheckTLV(QByteArrayView AData);
    // Whether the last ParseTLV met a malformed length (shown in its text).
    bool Malformed() const { return FMalformed; }

private:
    // Without a text the walk only checks the values.
    void DoParseTLV(QByteArrayView AData, QString* AText);
    qsizetype IndentWidth() const;
    // Indent, the tag number when shown, and the name.
    void AppendHead(QString& AText, int32_t ATag, QStringView AName) const;
    void AppendLine(QString& AText, int32_t ATag, QStringView AName) const;
    void AppendLine(QString& AText, int32_t ATag, QStringView AName, QStringView AValue) const;

    int32_t FIdent = 0;
    bool FShowTagNumbers = false;
    int32_t FBaseIndent = 0;
    bool FMalformed = false;
};

} // namespace kestrun
