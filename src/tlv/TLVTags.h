// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <cstdint>

namespace kestrun {

enum TTLVTagType : int32_t {
    ttByte,
    ttUInt16,
    ttUInt32,
    ttVLN,
    ttFVLN,
    ttBitField,
    ttUnixTime,
    ttString,
    ttSTLV,
    ttByteArray,
};

// One fiscal-data tag of the catalogue and the display text of its values.
class TTLVTag
{
public:
    constexpr TTLVTag(int32_t ATag, TTLVTagType AType, int32_t ALength, bool AFixedLength,
                      QStringView AShortDescription, QStringView ADescription)
        : FTag(ATag), FLength(ALength), FDescription(ADescription), FTagType(AType),
          FShortDescription(AShortDescription), FFixedLength(AFixedLength)
    {
    }

    int32_t Tag() const { return FTag; }
    TTLVTagType TagType() const { return FTagType; }
    // The long description with its first letter in upper case.
    QString Description() const;
    QStringView ShortDescription() const { return FShortDescription; }
    // Descriptive only: values are never checked against them.
    int32_t Length() const { return FLength; }
    bool FixedLength() const { return FFixedLength; }

    // Throws kestrun::Exception ("Неверная длина FVLN") for a malformed FVLN value.
    QString GetStrValue(QByteArrayView AData) const;
    // Throws what GetStrValue throws, without making the text.
    void CheckValue(QByteArrayView AData) const;

private:
    int32_t FTag;
    int32_t FLength;
    QStringView FDescription;
    TTLVTagType FTagType;
    QStringView FShortDescription;
    bool FFixedLength;
};

// The fixed catalogue of fiscal-data tags. It is one constant table shared by every caller,
// since renderers run for each row of logs with hundreds of thousands of commands.
class TTLVTags
{
public:
    TTLVTags() = delete;

    static int Count();
    // Zero-based; throws std::out_of_range outside [0, Count()).
    static const TTLVTag& GetItem(int Index);
    // nullptr when the number is not in the catalogue.
    static const TTLVTag* FindTag(int32_t ANumber);
};

} // namespace kestrun
