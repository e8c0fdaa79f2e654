// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kestrun::test {

// The flags 0x0003 as the field shows them: both rolls in, everything else at rest.
inline const QString RollsFlags = QStringLiteral("0x0003"
    "\r\n    Рулон контр. ленты        : есть"
    "\r\n    Рулон чековой ленты       : есть"
    "\r\n    Опт. датчик контр. ленты  : бумаги нет"
    "\r\n    Опт датчик чеков. ленты   : бумаги нет"
    "\r\n    Рычаг термог. контр. ленты: поднят"
    "\r\n    Рычаг термог. чеков. ленты: поднят"
    "\r\n    Крышка корпуса ККТ        : опущена"
    "\r\n    Денежный ящик             : закрыт"
    "\r\n    Крышка контр. ленты       : опущена");

} // namespace kestrun::test
