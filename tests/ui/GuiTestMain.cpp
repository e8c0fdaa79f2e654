// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

// The window's tests need a QApplication; the offscreen platform unless one is chosen.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
