// SPDX-License-Identifier: GPL-3.0-or-later
#include "CurrentError.h"

#include "log/Exception.h"

#include <exception>

namespace kestrun {

QString CurrentErrorMessage()
{
    try {
        throw;
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Неизвестная ошибка");
    }
}

} // namespace kestrun
