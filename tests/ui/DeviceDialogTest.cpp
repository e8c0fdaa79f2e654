// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaseName.h"
#include "DeviceDialog.h"
#include "UiTestSupport.h"
#include "playback/DeviceSettings.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

using namespace Qt::StringLiterals;

template <class T>
T* Control(const TDeviceDialog& dialog, const char* name)
{
    T* control = dialog.findChild<T*>(QLatin1String(name));
    if (!control)
        ADD_FAILURE() << "no control " << name;
    return control;
}

QString CheckText(const TDeviceDialog& dialog) { return Control<QPlainTextEdit>(dialog, "memCheck")->toPlainText(); }

// The check runs off the UI thread: its answer shows when it comes.
QString CheckAnswer(const TDeviceDialog& dialog)
{
    Control<QPushButton>(dialog, "btnCheck")->click();
    EXPECT_TRUE(WaitUntil([&] { return !CheckText(dialog).isEmpty(); }));
    return CheckText(dialog);
}

// A device text in the form the dialog writes, and the controls that stand for it.
struct TDeviceCase
{
    const char* Name;
    const char* Text;
    const char* Kind;
    const char* Options; // emulator
    const char* Port;    // serial
    int BaudRate;
    const char* Host; // tcp
    int TcpPort;
    int Timeout; // both wire kinds
    int PrintWait;
    int Password;
    const char* LogFile;
};

void PrintTo(const TDeviceCase& c, std::ostream* os) { *os << c.Name; }

bool IsWire(const TDeviceCase& c) { return qstrcmp(c.Kind, "emulator") != 0; }

class DeviceControlsTest : public ::testing::TestWithParam<TDeviceCase>
{
};

TEST_P(DeviceControlsTest, FilledFromTheText)
{
    const TDeviceCase& c = GetParam();
    const TDeviceDialog dialog(QString::fromUtf8(c.Text));
    EXPECT_EQ(Control<QComboBox>(dialog, "cbxKind")->currentData().toString(), QLatin1String(c.Kind));
    if (!IsWire(c)) {
        EXPECT_EQ(Control<QLineEdit>(dialog, "edtOptions")->text(), QString::fromUtf8(c.Options));
        return;
    }
    if (c.Port) {
        EXPECT_EQ(Control<QComboBox>(dialog, "cbxPort")->currentText(), QString::fromUtf8(c.Port));
        EXPECT_EQ(Control<QComboBox>(dialog, "cbxBaudRate")->currentData().toInt(), c.BaudRate);
    } else {
        EXPECT_EQ(Control<QLineEdit>(dialog, "edtHost")->text(), QString::fromUtf8(c.Host));
        EXPECT_EQ(Control<QSpinBox>(dialog, "edtTcpPort")->value(), c.TcpPort);
    }
    EXPECT_EQ(Control<QSpinBox>(dialog, "edtTimeout")->value(), c.Timeout);
    EXPECT_EQ(Control<QSpinBox>(dialog, "edtPrintWait")->value(), c.PrintWait);
    EXPECT_EQ(Control<QSpinBox>(dialog, "edtPassword")->value(), c.Password);
    EXPECT_EQ(Control<QLineEdit>(dialog, "edtLogFile")->text(), QString::fromUtf8(c.LogFile));
    EXPECT_EQ(CheckText(dialog), QString());
}

TEST_P(DeviceControlsTest, TextBuiltFromTheControls)
{
    const TDeviceCase& c = GetParam();
    const TDeviceDialog dialog(u"emulator"_s);
    auto* kind = Control<QComboBox>(dialog, "cbxKind");
    kind->setCurrentIndex(kind->findData(QLatin1String(c.Kind)));
    Control<QLineEdit>(dialog, "edtOptions")->setText(QString::fromUtf8(c.Options));
    if (c.Port) {
        Control<QComboBox>(dialog, "cbxPort")->setCurrentText(QString::fromUtf8(c.Port));
        auto* rate = Control<QComboBox>(dialog, "cbxBaudRate");
        rate->setCurrentIndex(rate->findData(c.BaudRate));
    }
    if (c.Host) {
        Control<QLineEdit>(dialog, "edtHost")->setText(QString::fromUtf8(c.Host));
        Control<QSpinBox>(dialog, "edtTcpPort")->setValue(c.TcpPort);
    }
    Control<QSpinBox>(dialog, "edtTimeout")->setValue(c.Timeout);
    Control<QSpinBox>(dialog, "edtPrintWait")->setValue(c.PrintWait);
    Control<QSpinBox>(dialog, "edtPassword")->setValue(c.Password);
    Control<QLineEdit>(dialog, "edtLogFile")->setText(QString::fromUtf8(c.LogFile));
    EXPECT_EQ(dialog.DeviceText(), QString::fromUtf8(c.Text));
}

// The window keeps the chosen text in a file of its own and opens the dialog with it again.
TEST_P(DeviceControlsTest, RememberedBetweenRuns)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QByteArray savedConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
    SaveDeviceText(TDeviceDialog(QString::fromUtf8(GetParam().Text)).DeviceText());
    const QString loaded = LoadDeviceText();
    qputenv("XDG_CONFIG_HOME", savedConfigHome);
    EXPECT_EQ(TDeviceDialog(loaded).DeviceText(), QString::fromUtf8(GetParam().Text));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DeviceControlsTest,
    ::testing::Values(
        TDeviceCase{"Emulator", "emulator", "emulator", "", nullptr, 0, nullptr, 0, 1000, 60000, 30, ""},
        TDeviceCase{"EmulatorOptions", "emulator:print=100,busy=2", "emulator", "print=100,busy=2", nullptr, 0,
                    nullptr, 0, 1000, 60000, 30, ""},
        TDeviceCase{"SerialDefaults", "serial:/dev/ttyACM0", "serial", "", "/dev/ttyACM0", 115200, nullptr, 0, 1000,
                    60000, 30, ""},
        TDeviceCase{"SerialEverything", "serial:COM3:9600,timeout=250,printwait=0,password=29,log=/tmp/wire.log",
                    "serial", "", "COM3", 9600, nullptr, 0, 250, 0, 29, "/tmp/wire.log"},
        TDeviceCase{"TcpDefaults", "tcp:192.0.2.10:5000", "tcp", "", nullptr, 0, "192.0.2.10", 5000, 1000, 60000,
                    30, ""},
        TDeviceCase{"TcpEverything", "tcp:kkt.example:7000,timeout=500,printwait=90000,password=1,log=/tmp/a b.log",
                    "tcp", "", nullptr, 0, "kkt.example", 7000, 500, 90000, 1, "/tmp/a b.log"}),
    kestrun::test::CaseName());

// Texts the dialog gives back after the user touched nothing or only the emulator's options.
struct TTextCase
{
    const char* Name;
    const char* Given;
    const char* Typed; // emulator options typed by the user, or null to keep them
    const char* Chosen;
};

void PrintTo(const TTextCase& c, std::ostream* os) { *os << c.Name; }

class DeviceTextTest : public ::testing::TestWithParam<TTextCase>
{
};

TEST_P(DeviceTextTest, GivesTheDeviceText)
{
    const TTextCase& c = GetParam();
    const TDeviceDialog dialog(QString::fromUtf8(c.Given));
    if (c.Typed)
        Control<QLineEdit>(dialog, "edtOptions")->setText(QString::fromUtf8(c.Typed));
    EXPECT_EQ(dialog.DeviceText(), QString::fromUtf8(c.Chosen));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DeviceTextTest,
    ::testing::Values(TTextCase{"TypedOptions", "emulator", " shift=open ", "emulator:shift=open"},
                      TTextCase{"ClearedOptions", "emulator:busy=2", "", "emulator"},
                      TTextCase{"DefaultsDropped", "tcp:127.0.0.1:5000,timeout=1000,password=30", nullptr,
                                "tcp:127.0.0.1:5000"},
                      TTextCase{"UnlistedBaudRateKept", "serial:COM1:14400", nullptr, "serial:COM1:14400"},
                      TTextCase{"UnknownKindIsTheEmulator", "modem", nullptr, "emulator"}),
    kestrun::test::CaseName());

TEST(DeviceDialog, SavedTextThatNoLongerReadsSaysWhy)
{
    const TDeviceDialog dialog(u"tcp:127.0.0.1"_s);
    EXPECT_EQ(Control<QComboBox>(dialog, "cbxKind")->currentData().toString(), u"tcp"_s);
    EXPECT_EQ(CheckText(dialog), u"Неверный параметр устройства: 127.0.0.1"_s);
}

TEST(DeviceDialog, CheckShowsTheStatusOfTheEmulator)
{
    const TDeviceDialog dialog(u"emulator"_s);
    EXPECT_EQ(CheckAnswer(dialog), u"Запрос состояния: Успешно\nРежим   : 4, Закрытая смена\nПодрежим: 0, бумага есть"_s);
}

TEST(DeviceDialog, CheckShowsTheDeviceErrorLine)
{
    const TDeviceDialog dialog(u"emulator:error=11:05"_s);
    EXPECT_TRUE(CheckAnswer(dialog).startsWith(u"Запрос состояния: Ошибка: 5, "_s)) << CheckText(dialog).toStdString();
    EXPECT_FALSE(CheckText(dialog).contains(u'\n'));
}

TEST(DeviceDialog, CheckOfABadTextShowsTheMessage)
{
    const TDeviceDialog dialog(u"emulator:nonsense"_s);
    EXPECT_EQ(CheckAnswer(dialog), u"Неверный параметр эмулятора: nonsense"_s);
}

TEST(DeviceDialog, CheckWithoutAHostShowsTheMessage)
{
    const TDeviceDialog dialog(u"tcp:192.0.2.10:5000"_s);
    Control<QLineEdit>(dialog, "edtHost")->clear();
    EXPECT_EQ(CheckAnswer(dialog), u"Не указан адрес устройства"_s);
}

TEST(DeviceDialog, OkWithATextTheDriverRefusesKeepsTheDialogOpen)
{
    TDeviceDialog dialog(u"tcp:192.0.2.10:5000"_s);
    Control<QLineEdit>(dialog, "edtLogFile")->setText(u"/tmp/a,b.log"_s);
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(CheckText(dialog), u"Параметр устройства не может содержать запятую: /tmp/a,b.log"_s);

    Control<QLineEdit>(dialog, "edtLogFile")->clear();
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(DeviceDialog, LogFileChosenThroughTheSaveDialog)
{
    TScriptedDialogs dialogs;
    const TDeviceDialog dialog(u"serial:COM1,log=/tmp/old.log"_s, nullptr, &dialogs);
    auto* logFile = Control<QLineEdit>(dialog, "edtLogFile");
    Control<QPushButton>(dialog, "btnLogFile")->click();
    EXPECT_EQ(logFile->text(), u"/tmp/old.log"_s); // cancelled

    dialogs.SaveFileName = u"/tmp/kkt/wire.log"_s;
    Control<QPushButton>(dialog, "btnLogFile")->click();
    EXPECT_EQ(logFile->text(), u"/tmp/kkt/wire.log"_s);
    EXPECT_EQ(dialog.DeviceText(), u"serial:COM1,log=/tmp/kkt/wire.log"_s);
}

} // namespace
} // namespace kestrun::test
