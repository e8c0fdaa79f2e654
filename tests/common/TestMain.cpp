// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>
#include <QLocale>
#include <gtest/gtest.h>

namespace {

// In sanitizer builds any report fails the test. The address sanitizer stops at its first
// report by itself; these two would go on.
constexpr char UndefinedOptions[] = "halt_on_error=1:print_stacktrace=1";
constexpr char ThreadOptions[] = "halt_on_error=1:second_deadlock_stack=1:suppressions=\"" KESTRUN_TSAN_SUPPRESSIONS "\"";

// The programs a test starts (kestrun-cli, kestrun-emulator) take the same settings from the
// environment; what the caller set there comes last and wins.
void PassOptionsToChildren(const char* variable, const char* defaults)
{
    const QByteArray own = qgetenv(variable);
    qputenv(variable, own.isEmpty() ? QByteArray(defaults) : defaults + QByteArray(":") + own);
}

} // namespace

// Read by the sanitizer runtimes before main; unused in other builds.
extern "C" const char* __ubsan_default_options() { return UndefinedOptions; }
extern "C" const char* __tsan_default_options() { return ThreadOptions; }

int main(int argc, char** argv)
{
    PassOptionsToChildren("UBSAN_OPTIONS", UndefinedOptions);
    PassOptionsToChildren("TSAN_OPTIONS", ThreadOptions);
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
