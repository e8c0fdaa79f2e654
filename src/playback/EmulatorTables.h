// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace kestrun {

// The settings tables the emulator keeps, as the table commands show them.
enum TEmulatedFieldType : uint8_t { eftInt = 0, eftStr = 1 };

struct TEmulatedTable
{
    uint8_t Number;
    const char* Name;
    uint16_t Rows;
};

struct TEmulatedField
{
    uint8_t Table;
    uint8_t Number;
    const char* Name;
    TEmulatedFieldType Type;
    uint8_t Size;
    int64_t Default; // for eftInt; eftStr fields start empty
};

const TEmulatedTable* FindEmulatedTable(uint8_t table);
const TEmulatedField* FindEmulatedField(uint8_t table, uint8_t field);
uint8_t EmulatedFieldCount(uint8_t table);
// The cell value at power-on, Size bytes.
QByteArray DefaultFieldValue(const TEmulatedField& field);

} // namespace kestrun
