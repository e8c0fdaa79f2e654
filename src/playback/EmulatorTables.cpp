// SPDX-License-Identifier: GPL-3.0-or-later
#include "EmulatorTables.h"

#include "log/Bytes.h"

namespace kestrun {

namespace {

constexpr TEmulatedTable Tables[] = {
    {1, "Режим работы", 1},
    {2, "Кассиры", 30},
};

constexpr TEmulatedField Fields[] = {
    {1, 1, "Номер кассы в магазине", eftInt, 1, 1},
    {1, 2, "Автоматическая отрезка чека", eftInt, 1, 1},
    {1, 3, "Звуковой сигнал", eftInt, 1, 0},
    {2, 1, "Пароль", eftInt, 4, 0},
    {2, 2, "Имя кассира", eftStr, 21, 0},
};

} // namespace

const TEmulatedTable* FindEmulatedTable(uint8_t table)
{
    for (const TEmulatedTable& t : Tables)
        if (t.Number == table)
            return &t;
    return nullptr;
}

const TEmulatedField* FindEmulatedField(uint8_t table, uint8_t field)
{
    for (const TEmulatedField& f : Fields)
        if (f.Table == table && f.Number == field)
            return &f;
    return nullptr;
}

uint8_t EmulatedFieldCount(uint8_t table)
{
    uint8_t count = 0;
    for (const TEmulatedField& f : Fields)
        count += f.Table == table ? 1 : 0;
    return count;
}

QByteArray DefaultFieldValue(const TEmulatedField& field)
{
    return field.Type == eftInt ? IntToBin(field.Default, field.Size) : QByteArray(field.Size, '\0');
}

} // namespace kestrun
