// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "QtPrint.h"
#include "log/Exception.h"
#include "playback/Protocol1Frames.h"
#include "playback/WireSettings.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

TEST(Protocol1Frame, EnvelopeAndLrcOfTheLoggedExchange)
{
    EXPECT_EQ(Protocol1Frame(QByteArray::fromHex("10AABB")), QByteArray::fromHex("020310AABB02"));
    EXPECT_EQ(Protocol1Frame(QByteArray::fromHex("1000CCDD")), QByteArray::fromHex("02041000CCDD05"));
    EXPECT_EQ(Protocol1Frame({}), QByteArray::fromHex("020000"));
}

struct TSettingsCase
{
    const char* Name;
    bool Serial;
    const char* Text; // after the kind
    const char* Address;
    int32_t Number;
    int Timeout;
    int PrintWait;
    int32_t Password;
    const char* LogFile;
};

class WireSettingsTest : public ::testing::TestWithParam<TSettingsCase>
{
};

TEST_P(WireSettingsTest, Reads)
{
    const TSettingsCase& c = GetParam();
    const QString text = QString::fromUtf8(c.Text);
    const TWireSettings s = c.Serial ? ParseSerialSettings(text) : ParseTcpSettings(text);
    EXPECT_EQ(s.Address, c.Address);
    EXPECT_EQ(s.Number, c.Number);
    EXPECT_EQ(s.TimeoutMs, c.Timeout);
    EXPECT_EQ(s.PrintWaitMs, c.PrintWait);
    EXPECT_EQ(s.Password, c.Password);
    EXPECT_EQ(s.LogFile, c.LogFile);
}

INSTANTIATE_TEST_SUITE_P(
    Wire, WireSettingsTest,
    ::testing::Values(
        TSettingsCase{"SerialWithBaud", true, "/dev/ttyACM0:9600", "/dev/ttyACM0", 9600, 1000, 60000, 30, ""},
        TSettingsCase{"SerialDefaultBaud", true, "COM3", "COM3", 115200, 1000, 60000, 30, ""},
        TSettingsCase{"SerialOptions", true, "/dev/pts/4, timeout=250,password=29,log=/tmp/a b.log", "/dev/pts/4",
                      115200, 250, 60000, 29, "/tmp/a b.log"},
        TSettingsCase{"Tcp", false, "192.0.2.7:5000", "192.0.2.7", 5000, 1000, 60000, 30, ""},
        TSettingsCase{"TcpOptions", false, "localhost:5000,printwait=0,timeout=10", "localhost", 5000, 10, 0, 30, ""}),
    kestrun::test::CaseName());

struct TBadCase
{
    const char* Name;
    bool Serial;
    const char* Text;
};

class BadWireSettingsTest : public ::testing::TestWithParam<TBadCase>
{
};

TEST_P(BadWireSettingsTest, IsRefused)
{
    const QString text = QString::fromUtf8(GetParam().Text);
    EXPECT_THROW(GetParam().Serial ? ParseSerialSettings(text) : ParseTcpSettings(text), Exception);
}

INSTANTIATE_TEST_SUITE_P(Wire, BadWireSettingsTest,
                         ::testing::Values(TBadCase{"SerialEmpty", true, ""},
                                           TBadCase{"SerialBaudZero", true, "COM1:0"},
                                           TBadCase{"SerialBaudText", true, "COM1:fast"},
                                           TBadCase{"TcpWithoutPort", false, "127.0.0.1"},
                                           TBadCase{"TcpPortTooBig", false, "127.0.0.1:65536"},
                                           TBadCase{"TcpNoHost", false, ":5000"},
                                           TBadCase{"TimeoutTooShort", false, "127.0.0.1:5000,timeout=1"},
                                           TBadCase{"UnknownOption", false, "127.0.0.1:5000,speed=1"},
                                           TBadCase{"OptionWithoutValue", false, "127.0.0.1:5000,timeout"},
                                           TBadCase{"EmptyLog", true, "COM1,log="}),
                         kestrun::test::CaseName());

struct TFormatCase
{
    const char* Name;
    bool Serial;
    const char* Given; // after the kind
    const char* Written;
};

class FormatWireSettingsTest : public ::testing::TestWithParam<TFormatCase>
{
};

TEST_P(FormatWireSettingsTest, WritesOnlyWhatDiffersAndReadsBack)
{
    const TFormatCase& c = GetParam();
    const auto parse = c.Serial ? ParseSerialSettings : ParseTcpSettings;
    const auto format = c.Serial ? FormatSerialSettings : FormatTcpSettings;
    const QString written = format(parse(QString::fromUtf8(c.Given)));
    EXPECT_EQ(written, QString::fromUtf8(c.Written));
    EXPECT_EQ(format(parse(written)), written);
}

INSTANTIATE_TEST_SUITE_P(
    Wire, FormatWireSettingsTest,
    ::testing::Values(
        TFormatCase{"SerialDefaults", true, "COM3:115200,timeout=1000,printwait=60000,password=30", "COM3"},
        TFormatCase{"SerialEverything", true, "/dev/ttyACM0:9600, timeout=250,printwait=0,password=29,log=/tmp/a b.log",
                    "/dev/ttyACM0:9600,timeout=250,printwait=0,password=29,log=/tmp/a b.log"},
        TFormatCase{"SerialNameWithColon", true, "port:1:115200", "port:1:115200"},
        TFormatCase{"TcpDefaults", false, "192.0.2.7:5000,password=30", "192.0.2.7:5000"},
        TFormatCase{"TcpOptions", false, "localhost:5000,log=C:\\kkt\\wire.log,timeout=10",
                    "localhost:5000,timeout=10,log=C:\\kkt\\wire.log"},
        TFormatCase{"TcpIpv6", false, "::1:5000", "::1:5000"}),
    kestrun::test::CaseName());

TEST(FormatWireSettings, RefusesACommaThatWouldSplitTheText)
{
    TWireSettings settings;
    settings.Address = QStringLiteral("127.0.0.1");
    settings.Number = 5000;
    settings.LogFile = QStringLiteral("/tmp/a,b.log");
    EXPECT_THROW(FormatTcpSettings(settings), Exception);
    settings.LogFile.clear();
    settings.Address = QStringLiteral("COM1,timeout=5");
    EXPECT_THROW(FormatSerialSettings(settings), Exception);
}

} // namespace
} // namespace kestrun::test
