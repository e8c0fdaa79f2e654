// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <cstdint>

namespace kestrun {

// The device text names a kind and its options: "KIND" or "KIND:OPTIONS".
enum class TDeviceKind : uint8_t { dkEmulator, dkSerial, dkTcp };

// Which options a kind takes.
enum class TOptionGroup : uint8_t { ogEmulator, ogWire };

struct TDeviceKindInfo
{
    TDeviceKind Kind;
    const char* Name;
    TOptionGroup Options;
    const char* Syntax;  // the whole text, for help
    const char* Help;
    const char* Caption; // the window's name of the kind
};

inline constexpr TDeviceKindInfo DeviceKinds[] = {
    {TDeviceKind::dkEmulator, "emulator", TOptionGroup::ogEmulator, "emulator[:OPTION,...]",
     "the built-in register emulator", "Встроенный эмулятор ККТ"},
    {TDeviceKind::dkSerial, "serial", TOptionGroup::ogWire, "serial:PORT[:BAUD][,OPTION,...]",
     "a register in protocol 1 on a serial port, e.g. serial:/dev/ttyACM0:115200",
     "ККТ на последовательном порту (COM, USB)"},
    {TDeviceKind::dkTcp, "tcp", TOptionGroup::ogWire, "tcp:HOST:PORT[,OPTION,...]",
     "a register in protocol 1 over TCP", "ККТ по сети (TCP)"},
};

// One option of a device text, "NAME=VALUE". Min, Max and Default bound its number where it
// has one (for driver=, the code -N).
struct TDeviceOption
{
    TOptionGroup Group;
    const char* Name;
    const char* Value;   // the value's form, for help
    const char* ValueRu; // the same in the window's language
    int32_t Min;
    int32_t Max;
    int32_t Default;
    const char* Help;
    const char* HelpRu;
};

inline constexpr TDeviceOption OptBusy{TOptionGroup::ogEmulator, "busy", "N[:CODE]", "N[:КОД]", 0, 1000000, 0,
                                       "the next N exchanges answer CODE, 50 (default) or 4B",
                                       "N обменов подряд отвечают КОД (50 или 4B)"};
inline constexpr TDeviceOption OptError{TOptionGroup::ogEmulator, "error", "CMD:ERR", "КОМАНДА:ОШИБКА", 0, 0, 0,
                                        "every request CMD answers the device error ERR (both hex)",
                                        "команда получает ошибку ККТ (hex)"};
inline constexpr TDeviceOption OptDriver{TOptionGroup::ogEmulator, "driver", "CMD[:-N[:TEXT]]",
                                         "КОМАНДА[:-N[:ТЕКСТ]]", INT32_MIN, -1, -1,
                                         "every request CMD fails with driver error -N (default -1)",
                                         "команда получает ошибку драйвера"};
inline constexpr TDeviceOption OptThrow{TOptionGroup::ogEmulator, "throw", "CMD[:TEXT]", "КОМАНДА[:ТЕКСТ]", 0, 0, 0,
                                        "every request CMD fails as a call of the driver",
                                        "вызов команды завершается сбоем"};
inline constexpr TDeviceOption OptPrint{TOptionGroup::ogEmulator, "print", "MS", "МС", 0, 600000, 0,
                                        "a print takes MS milliseconds to finish (default 0)",
                                        "печать длится МС миллисекунд"};
inline constexpr TDeviceOption OptShift{TOptionGroup::ogEmulator, "shift", "open|closed", "open|closed", 0, 0, 0,
                                        "the shift at power-on (default closed)", "смена при включении"};
inline constexpr TDeviceOption OptSilent{TOptionGroup::ogEmulator, "silent", "CMD[:MS]", "КОМАНДА[:МС]", 0, 600000, 1000,
                                         "every request CMD goes unanswered: -9 after MS ms (default 1000)",
                                         "команда остаётся без ответа МС миллисекунд, затем ошибка -9"};
inline constexpr TDeviceOption OptTimeout{TOptionGroup::ogWire, "timeout", "MS", "МС", 10, 600000, 1000,
                                          "longest wait for a byte of the register (default 1000)",
                                          "наибольшее ожидание байта от ККТ"};
inline constexpr TDeviceOption OptPrintWait{TOptionGroup::ogWire, "printwait", "MS", "МС", 0, 3600000, 60000,
                                            "longest wait for a print to finish (default 60000)",
                                            "наибольшее ожидание конца печати"};
inline constexpr TDeviceOption OptPassword{TOptionGroup::ogWire, "password", "N", "N", 0, 99999999, 30,
                                           "the system administrator's password (default 30)",
                                           "пароль системного администратора"};
inline constexpr TDeviceOption OptLog{TOptionGroup::ogWire, "log", "FILE", "ФАЙЛ", 0, 0, 0,
                                      "append every byte exchanged to FILE as a protocol-1 driver log",
                                      "дописывать каждый байт обмена в ФАЙЛ как журнал драйвера"};

inline constexpr const TDeviceOption* DeviceOptions[] = {
    &OptBusy, &OptError, &OptDriver, &OptThrow, &OptSilent, &OptPrint, &OptShift,
    &OptTimeout, &OptPrintWait, &OptPassword, &OptLog,
};

// A device text cut at its first colon; nothing is checked.
struct TDeviceText
{
    QString Kind;
    QString Options;
};
TDeviceText SplitDeviceText(const QString& deviceText);
QString JoinDeviceText(const QString& kind, const QString& options);

// Whether the device text names the built-in emulator, which no fiscal document can harm.
bool NamesEmulator(const QString& deviceText);

// Null for a kind that is not in the table.
const TDeviceKindInfo* FindDeviceKind(const QString& name);
QList<const TDeviceOption*> OptionsOfGroup(TOptionGroup group);

// Reads the number of an option within the option's bounds; throws `bad` otherwise.
template <class TBad>
int32_t OptionNumber(const TDeviceOption& row, const QString& text, TBad bad)
{
    bool ok = false;
    const int32_t value = text.toInt(&ok);
    if (!ok || value < row.Min || value > row.Max)
        bad();
    return value;
}

} // namespace kestrun
