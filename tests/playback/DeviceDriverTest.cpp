// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "log/Exception.h"
#include "playback/DeviceDriver.h"
#include "playback/DeviceSettings.h"
#include "playback/DriverErrors.h"
#include "playback/StatusQuery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include "QtPrint.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

TEST(DeviceDriver, RefusesWhatItCannotSend)
{
    TDeviceDriver driver(QStringLiteral("emulator"));
    driver.SetBinaryConversion(0);
    driver.SetTransferBytes(QStringLiteral("10 1E 00 00 00"));
    EXPECT_EQ(driver.ExchangeBytes(), deBadConversion);
    EXPECT_EQ(driver.ResultCodeDescription(), "Неподдерживаемый формат данных");
    driver.SetBinaryConversion(1);
    driver.SetTransferBytes(QStringLiteral("zz"));
    EXPECT_EQ(driver.ExchangeBytes(), deNoData);
    EXPECT_EQ(driver.ResultCode(), deNoData);
}

TEST(DeviceDriver, DeviceErrorCarriesItsDescription)
{
    TDeviceDriver driver(QStringLiteral("emulator"));
    driver.SetBinaryConversion(1);
    driver.SetTransferBytes(QStringLiteral("e0 1e 00 00 00"));
    EXPECT_EQ(driver.ExchangeBytes(), 0);
    EXPECT_EQ(driver.TransferBytes(), "E0 00");
    EXPECT_EQ(driver.ResultCodeDescription(), "Ошибок нет");
    driver.SetTransferBytes(QStringLiteral("E0 1E 00 00 00"));
    EXPECT_EQ(driver.ExchangeBytes(), 0x73);
    EXPECT_EQ(driver.ResultCodeDescription(), "Команда не поддерживается в данном режиме");
}

struct TStatusCase
{
    const char* Name;
    const char* Device;
    QStringList Lines;
};

class StatusQueryTest : public ::testing::TestWithParam<TStatusCase>
{
};

TEST_P(StatusQueryTest, Lines)
{
    TDeviceDriver driver(QString::fromUtf8(GetParam().Device));
    EXPECT_EQ(QueryStatus(driver), GetParam().Lines);
    EXPECT_EQ(driver.Password(), driver.SysAdminPassword());
}

INSTANTIATE_TEST_SUITE_P(
    DeviceDriver, StatusQueryTest,
    ::testing::Values(TStatusCase{"Closed", "emulator",
                                  {"Запрос состояния: Успешно", "Режим   : 4, Закрытая смена", "Подрежим: 0, бумага есть"}},
                      TStatusCase{"Open", "emulator:shift=open",
                                  {"Запрос состояния: Успешно", "Режим   : 2, Открытая смена; 24 часа не кончились",
                                   "Подрежим: 0, бумага есть"}},
                      TStatusCase{"DeviceError", "emulator:error=11:05",
                                  {"Запрос состояния: Ошибка: 5, Параметры команды не соответствуют сроку жизни ФН"}},
                      TStatusCase{"DriverError", "emulator:driver=11",
                                  {"Запрос состояния: Ошибка: -1, Нет связи"}}),
    kestrun::test::CaseName());

// Settings go to the test location of the standard paths, emptied before and after.
class DeviceSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        QFile::remove(DeviceSettingsFileName());
    }
    void TearDown() override
    {
        QFile::remove(DeviceSettingsFileName());
        SetPropertiesDialog({});
        QStandardPaths::setTestModeEnabled(false);
    }
};

TEST_F(DeviceSettingsTest, DefaultRoundTripAndBrokenFile)
{
    EXPECT_TRUE(DeviceSettingsFileName().endsWith(QStringLiteral("/KELMAR/Kestrun/device.xml")));
    EXPECT_EQ(LoadDeviceText(), "emulator");
    SaveDeviceText(QStringLiteral("emulator:print=100,driver=10:-2:<&>"));
    EXPECT_EQ(LoadDeviceText(), "emulator:print=100,driver=10:-2:<&>");
    QFile file(DeviceSettingsFileName());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<Device><Text>emul");
    file.close();
    EXPECT_THROW(LoadDeviceText(), Exception);
}

TEST_F(DeviceSettingsTest, PropertiesWithoutDialogIsADriverError)
{
    TDeviceDriver driver(QStringLiteral("emulator"));
    EXPECT_EQ(driver.ShowProperties(), deNoDialog);
}

TEST_F(DeviceSettingsTest, PropertiesDialogChangesAndSavesTheDevice)
{
    TDeviceDriver driver(QStringLiteral("emulator"));
    QString shown;
    SetPropertiesDialog([&shown](const QString& current) -> std::optional<QString> {
        shown = current;
        return QStringLiteral("emulator:shift=open");
    });
    EXPECT_EQ(driver.ShowProperties(), 0);
    EXPECT_EQ(shown, "emulator");
    EXPECT_EQ(driver.DeviceText(), "emulator:shift=open");
    EXPECT_EQ(LoadDeviceText(), "emulator:shift=open");
    ASSERT_EQ(driver.GetECRStatus(), 0);
    EXPECT_EQ(driver.ECRMode(), 2);
}

TEST_F(DeviceSettingsTest, BadChoiceKeepsTheDevice)
{
    TDeviceDriver driver(QStringLiteral("emulator"));
    SetPropertiesDialog([](const QString&) -> std::optional<QString> { return QStringLiteral("emulator:bad"); });
    EXPECT_THROW(driver.ShowProperties(), Exception);
    EXPECT_EQ(driver.DeviceText(), "emulator");
    EXPECT_FALSE(QFileInfo::exists(DeviceSettingsFileName()));
    SetPropertiesDialog([](const QString&) -> std::optional<QString> { return std::nullopt; });
    EXPECT_EQ(driver.ShowProperties(), 0);
    EXPECT_EQ(driver.DeviceText(), "emulator");
}

} // namespace
} // namespace kestrun::test
