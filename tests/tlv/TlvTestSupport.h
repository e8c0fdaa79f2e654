// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CaseName.h"
#include "log/Bytes.h"
#include "log/Exception.h"

#include <QString>
#include <gtest/gtest.h>

namespace kestrun::test {

inline TByteString Bytes(const char* hex) { return HexToStr(hex); }

inline QString Text(const char16_t* text) { return QString::fromUtf16(text); }

// The message of the kestrun::Exception that `action` throws; empty when it throws none.
template <class Action>
QString ErrorOf(Action action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return {};
}

} // namespace kestrun::test

// Lets gtest print QString values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& value, std::ostream* out) { *out << '"' << value.toStdString() << '"'; }
QT_END_NAMESPACE
