// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BusyQuery.h"
#include "Dialogs.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QStackedWidget;
class QWidget;

namespace kestrun {

struct TWireSettings;

// Chooses the device the driver talks to, as a device text "KIND" or "KIND:OPTIONS": the
// emulator with its free-form options, or a register on a serial port or over TCP.
class TDeviceDialog : public QDialog
{
    Q_OBJECT
public:
    // `dialogs` answers the log file's browse button; null takes the Qt dialogs.
    TDeviceDialog(const QString& deviceText, QWidget* parent = nullptr, IDialogs* dialogs = nullptr);

    // Throws kestrun::Exception when the controls cannot make a device text.
    QString DeviceText() const;

    void accept() override;

private:
    QWidget* CreateEmulatorPage();
    QWidget* CreateSerialPage();
    QWidget* CreateTcpPage();
    QWidget* CreateWireOptions();
    void Fill(const QString& kind, const QString& options);
    void FillWire(const TWireSettings& settings);
    TWireSettings WireSettings() const;
    void cbxKindChange();
    void btnLogFileClick();
    void btnCheckClick();

    TQtDialogs FQtDialogs;
    TBusyQuery FCheck;
    IDialogs* FDialogs;
    QComboBox* cbxKind;
    QStackedWidget* stkKind;
    QLineEdit* edtOptions;
    QWidget* pgSerial;
    QComboBox* cbxPort;
    QComboBox* cbxBaudRate;
    QLineEdit* edtHost;
    QSpinBox* edtTcpPort;
    QWidget* pnlWire;
    QSpinBox* edtTimeout;
    QSpinBox* edtPrintWait;
    QSpinBox* edtPassword;
    QLineEdit* edtLogFile;
    QPlainTextEdit* memCheck;
};

} // namespace kestrun
