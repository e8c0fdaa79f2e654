// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "QtPrint.h"
#include "log/Exception.h"
#include "playback/DeviceLink.h"
#include "playback/DeviceOptions.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

struct TSplitCase
{
    const char* Name;
    const char* Text;
    const char* Kind;
    const char* Options;
    bool Known;
};

void PrintTo(const TSplitCase& c, std::ostream* os) { *os << c.Name; }

class DeviceTextSplitTest : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(DeviceTextSplitTest, KindAndOptions)
{
    const TSplitCase& c = GetParam();
    const TDeviceText text = SplitDeviceText(QString::fromUtf8(c.Text));
    EXPECT_EQ(text.Kind, c.Kind);
    EXPECT_EQ(text.Options, c.Options);
    EXPECT_EQ(FindDeviceKind(text.Kind) != nullptr, c.Known);
    EXPECT_EQ(JoinDeviceText(text.Kind, text.Options), QString::fromUtf8(c.Text).trimmed());
    EXPECT_EQ(NamesEmulator(QString::fromUtf8(c.Text)), text.Kind == QLatin1String("emulator"));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DeviceTextSplitTest,
    ::testing::Values(TSplitCase{"KindAlone", "emulator", "emulator", "", true},
                      TSplitCase{"EmulatorOptions", "emulator:busy=2:4B,print=5", "emulator", "busy=2:4B,print=5", true},
                      TSplitCase{"SerialWithColons", "serial:/dev/ttyACM0:9600", "serial", "/dev/ttyACM0:9600", true},
                      TSplitCase{"TcpAroundBlanks", "  tcp:127.0.0.1:5000 ", "tcp", "127.0.0.1:5000", true},
                      TSplitCase{"UnknownKind", "modem:COM1", "modem", "COM1", false},
                      TSplitCase{"KindIsCaseSensitive", "Serial:COM1", "Serial", "COM1", false},
                      TSplitCase{"Empty", "", "", "", false}),
    kestrun::test::CaseName());

// The bounds every reader of the table shares: the parsers, the dialog's boxes and --help.
struct TBoundCase
{
    const char* Name;
    const char* Text;
    bool Accepted;
};

void PrintTo(const TBoundCase& c, std::ostream* os) { *os << c.Name; }

class DeviceOptionBoundTest : public ::testing::TestWithParam<TBoundCase> {};

TEST_P(DeviceOptionBoundTest, CheckedAsTheTableSays)
{
    const TBoundCase& c = GetParam();
    if (c.Accepted)
        EXPECT_NO_THROW(CheckDeviceText(QString::fromUtf8(c.Text)));
    else
        EXPECT_THROW(CheckDeviceText(QString::fromUtf8(c.Text)), Exception);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, DeviceOptionBoundTest,
    ::testing::Values(TBoundCase{"BusyZero", "emulator:busy=0", true},
                      TBoundCase{"BusyMost", "emulator:busy=1000000", true},
                      TBoundCase{"BusyTooMany", "emulator:busy=1000001", false},
                      TBoundCase{"BusyNegative", "emulator:busy=-1", false},
                      TBoundCase{"DriverCodeNegative", "emulator:driver=41:-7", true},
                      TBoundCase{"DriverCodeZero", "emulator:driver=41:0", false},
                      TBoundCase{"PrintMost", "emulator:print=600000", true},
                      TBoundCase{"PrintTooLong", "emulator:print=600001", false},
                      TBoundCase{"ShiftOpen", "emulator:shift=open", true},
                      TBoundCase{"ShiftHalfOpen", "emulator:shift=ajar", false},
                      TBoundCase{"TimeoutLeast", "serial:COM1,timeout=10", true},
                      TBoundCase{"TimeoutTooShort", "serial:COM1,timeout=9", false},
                      TBoundCase{"TimeoutMost", "tcp:h:1,timeout=600000", true},
                      TBoundCase{"TimeoutTooLong", "tcp:h:1,timeout=600001", false},
                      TBoundCase{"PrintWaitZero", "serial:COM1,printwait=0", true},
                      TBoundCase{"PrintWaitMost", "serial:COM1,printwait=3600000", true},
                      TBoundCase{"PrintWaitTooLong", "serial:COM1,printwait=3600001", false},
                      TBoundCase{"PasswordMost", "tcp:h:1,password=99999999", true},
                      TBoundCase{"PasswordTooLong", "tcp:h:1,password=100000000", false},
                      TBoundCase{"WireOptionOnTheEmulator", "emulator:timeout=100", false},
                      TBoundCase{"EmulatorOptionOnTheWire", "serial:COM1,busy=1", false},
                      TBoundCase{"UnknownKind", "modem", false}),
    kestrun::test::CaseName());

// Every option has its help in both languages, and a number only where it has bounds.
TEST(DeviceOptions, TableRowsAreComplete)
{
    for (const TDeviceOption* option : DeviceOptions) {
        EXPECT_STRNE(option->Help, "") << option->Name;
        EXPECT_STRNE(option->HelpRu, "") << option->Name;
        EXPECT_LE(option->Min, option->Max) << option->Name;
        EXPECT_TRUE(option->Default >= option->Min && option->Default <= option->Max) << option->Name;
    }
    for (const TDeviceKindInfo& kind : DeviceKinds)
        EXPECT_FALSE(OptionsOfGroup(kind.Options).isEmpty()) << kind.Name;
}

} // namespace
} // namespace kestrun::test
