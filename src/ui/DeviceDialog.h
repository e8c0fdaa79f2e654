#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace kestrun {

// Chooses the device the driver talks to, as a device text "KIND" or "KIND:OPTIONS".
class TDeviceDialog : public QDialog
{
    Q_OBJECT
public:
    TDeviceDialog(const QString& deviceText, QWidget* parent = nullptr);

    QString DeviceText() const;

private:
    QComboBox* cbxKind;
    QLineEdit* edtOptions;
};

} // namespace kestrun
