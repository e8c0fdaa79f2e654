// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HexText.h"

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

namespace kestrun {

// Frame bytes travel as 8-bit strings. A "byte string" is addressed from position 1,
// a "byte array" from index 0; both are QByteArray here.
using TByteString = QByteArray;
using TBytes = QByteArray;

// Days since 30 December 1899, the time of day as the fraction; 0 marks an invalid value.
using TDateTime = double;

// Little-endian integer of `size` bytes at the 1-based position `pos`; 0 when out of range.
int64_t BinToInt(QByteArrayView bytes, qsizetype pos, int size);
TByteString IntToBin(int64_t value, int size);

TDateTime BinToDate(QByteArrayView bytes, qsizetype pos);
TDateTime BinToTime(QByteArrayView bytes, qsizetype pos);
TDateTime BinToDateTime(QByteArrayView bytes, qsizetype pos);

// The date value of a calendar date and time; 0 when the date or time is not valid.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec = 0);

bool TestBit(uint32_t value, unsigned bit);
double RoundToStep(double value, double step);
int64_t RoundToInt(double value);

} // namespace kestrun
