// SPDX-License-Identifier: GPL-3.0-or-later
#include "DriverErrors.h"

#include "decode/PrinterError.h"

namespace kestrun {

namespace {

struct TDriverErrorText
{
    int32_t Code;
    const char* Text;
};

constexpr TDriverErrorText DriverErrorTexts[] = {
    {deNoLink, "Нет связи"},
    {deNoData, "Нет данных для передачи"},
    {deBadConversion, "Неподдерживаемый формат данных"},
    {deBadAnswer, "Некорректный ответ устройства"},
    {deNoDialog, "Диалог настроек недоступен"},
    {dePortBusy, "Порт занят"},
    {dePortNotFound, "Порт не найден"},
    {deConnectionClosed, "Соединение разорвано"},
    {deNoAnswer, "Устройство не ответило на команду"},
    {deBadFrame, "Некорректный кадр обмена"},
    {deFrameTooLong, "Команда длиннее 255 байт"},
    {dePortError, "Ошибка порта"},
    {dePrintTimeout, "Печать не завершилась за отведённое время"},
};

} // namespace

QString DriverErrorDescription(int32_t code)
{
    for (const TDriverErrorText& e : DriverErrorTexts)
        if (e.Code == code)
            return QString::fromUtf8(e.Text);
    return QStringLiteral("Ошибка драйвера");
}

QString ResultDescription(int32_t code)
{
    return code < 0 ? DriverErrorDescription(code) : TPrinterError::GetDescription(code);
}

} // namespace kestrun
