// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceDialog.h"

#include "log/Exception.h"
#include "playback/DeviceDriver.h"
#include "playback/DeviceLink.h"
#include "playback/DeviceOptions.h"
#include "playback/StatusQuery.h"
#include "playback/WireSettings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace kestrun {

namespace {

// How the dialog reads and writes the options of each kind of the core's table, in its order;
// null: the options stay free-form text.
struct TKindForm
{
    TWireSettings (*Parse)(const QString& options);
    QString (*Format)(const TWireSettings& settings);
};

TKindForm FormOf(TDeviceKind kind)
{
    switch (kind) {
    case TDeviceKind::dkSerial: return {ParseSerialSettings, FormatSerialSettings};
    case TDeviceKind::dkTcp: return {ParseTcpSettings, FormatTcpSettings};
    case TDeviceKind::dkEmulator: break;
    }
    return {nullptr, nullptr};
}

QString OptionsHelp(TOptionGroup group)
{
    QString help = QStringLiteral("Параметры через запятую:");
    for (const TDeviceOption* option : OptionsOfGroup(group))
        help += QStringLiteral("\n%1=%2 - %3")
                    .arg(QLatin1String(option->Name), QString::fromUtf8(option->ValueRu), QString::fromUtf8(option->HelpRu));
    return help;
}

const int32_t BaudRates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

const int DefaultTcpPort = 5000;

QSpinBox* NumberBox(QWidget* parent, const char* name, int min, int max, int value)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(min, max);
    box->setValue(value);
    return box;
}

// The ranges and the help of the device text's own option.
QSpinBox* OptionBox(QWidget* parent, const char* name, const TDeviceOption& option)
{
    QSpinBox* box = NumberBox(parent, name, option.Min, option.Max, option.Default);
    box->setToolTip(QString::fromUtf8(option.HelpRu));
    return box;
}

const TDeviceKindInfo& KindAt(int index) { return DeviceKinds[qBound(0, index, int(std::size(DeviceKinds)) - 1)]; }

} // namespace

TDeviceDialog::TDeviceDialog(const QString& deviceText, QWidget* parent, IDialogs* dialogs)
    : QDialog(parent), FDialogs(dialogs ? dialogs : &FQtDialogs)
{
    setObjectName(QStringLiteral("dlgDevice"));
    setWindowTitle(QStringLiteral("Настройка свойств"));

    cbxKind = new QComboBox(this);
    cbxKind->setObjectName(QStringLiteral("cbxKind"));
    for (const TDeviceKindInfo& k : DeviceKinds)
        cbxKind->addItem(QString::fromUtf8(k.Caption), QString::fromLatin1(k.Name));

    stkKind = new QStackedWidget(this);
    stkKind->setObjectName(QStringLiteral("stkKind"));
    stkKind->addWidget(CreateEmulatorPage());
    stkKind->addWidget(CreateSerialPage());
    stkKind->addWidget(CreateTcpPage());
    pnlWire = CreateWireOptions();

    auto* kindForm = new QFormLayout;
    kindForm->addRow(QStringLiteral("Устройство:"), cbxKind);

    auto* btnCheck = new QPushButton(QStringLiteral("Проверить связь"), this);
    btnCheck->setObjectName(QStringLiteral("btnCheck"));
    connect(btnCheck, &QPushButton::clicked, this, &TDeviceDialog::btnCheckClick);
    memCheck = new QPlainTextEdit(this);
    memCheck->setObjectName(QStringLiteral("memCheck"));
    memCheck->setReadOnly(true);
    memCheck->setMaximumHeight(memCheck->fontMetrics().lineSpacing() * 5);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TDeviceDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(kindForm);
    layout->addWidget(stkKind);
    layout->addWidget(pnlWire);
    layout->addWidget(btnCheck, 0, Qt::AlignLeft);
    layout->addWidget(memCheck);
    layout->addWidget(buttons);

    const TDeviceText text = SplitDeviceText(deviceText);
    Fill(text.Kind, text.Options);
    connect(cbxKind, &QComboBox::currentIndexChanged, this, &TDeviceDialog::cbxKindChange);
}

QWidget* TDeviceDialog::CreateEmulatorPage()
{
    auto* page = new QWidget(this);
    edtOptions = new QLineEdit(page);
    edtOptions->setObjectName(QStringLiteral("edtOptions"));
    edtOptions->setMinimumWidth(320);
    auto* help = new QLabel(OptionsHelp(TOptionGroup::ogEmulator), page);
    help->setObjectName(QStringLiteral("lblOptionsHelp"));
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("Параметры:"), edtOptions);
    form->addRow(help);
    return page;
}

QWidget* TDeviceDialog::CreateSerialPage()
{
    auto* page = new QWidget(this);
    pgSerial = page;
    cbxPort = new QComboBox(page);
    cbxPort->setObjectName(QStringLiteral("cbxPort"));
    cbxPort->setEditable(true);
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        cbxPort->addItem(port.portName());
        cbxPort->setItemData(cbxPort->count() - 1, port.description(), Qt::ToolTipRole);
    }
    cbxBaudRate = new QComboBox(page);
    cbxBaudRate->setObjectName(QStringLiteral("cbxBaudRate"));
    for (const int32_t rate : BaudRates)
        cbxBaudRate->addItem(QString::number(rate), rate);
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("Порт:"), cbxPort);
    form->addRow(QStringLiteral("Скорость, бод:"), cbxBaudRate);
    return page;
}

QWidget* TDeviceDialog::CreateTcpPage()
{
    auto* page = new QWidget(this);
    edtHost = new QLineEdit(page);
    edtHost->setObjectName(QStringLiteral("edtHost"));
    edtTcpPort = NumberBox(page, "edtTcpPort", 1, 65535, DefaultTcpPort);
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("Адрес:"), edtHost);
    form->addRow(QStringLiteral("Порт TCP:"), edtTcpPort);
    return page;
}

QWidget* TDeviceDialog::CreateWireOptions()
{
    auto* panel = new QWidget(this);
    edtTimeout = OptionBox(panel, "edtTimeout", OptTimeout);
    edtPrintWait = OptionBox(panel, "edtPrintWait", OptPrintWait);
    edtPassword = OptionBox(panel, "edtPassword", OptPassword);
    edtLogFile = new QLineEdit(panel);
    edtLogFile->setToolTip(QString::fromUtf8(OptLog.HelpRu));
    edtLogFile->setObjectName(QStringLiteral("edtLogFile"));
    edtLogFile->setPlaceholderText(QStringLiteral("не вести"));
    auto* btnLogFile = new QPushButton(QStringLiteral("..."), panel);
    btnLogFile->setObjectName(QStringLiteral("btnLogFile"));
    connect(btnLogFile, &QPushButton::clicked, this, &TDeviceDialog::btnLogFileClick);
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(edtLogFile);
    logRow->addWidget(btnLogFile);
    auto* form = new QFormLayout(panel);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("Таймаут, мс:"), edtTimeout);
    form->addRow(QStringLiteral("Ожидание печати, мс:"), edtPrintWait);
    form->addRow(QStringLiteral("Пароль:"), edtPassword);
    form->addRow(QStringLiteral("Журнал обмена:"), logRow);
    return panel;
}

void TDeviceDialog::Fill(const QString& kind, const QString& options)
{
    const int index = qMax(0, cbxKind->findData(kind));
    cbxKind->setCurrentIndex(index);
    cbxKindChange();
    const TKindForm form = FormOf(KindAt(index).Kind);
    if (!form.Parse) {
        edtOptions->setText(options);
        return;
    }
    try {
        FillWire(form.Parse(options));
    } catch (const Exception& e) {
        // A text that no longer reads leaves the defaults, and says why.
        memCheck->setPlainText(e.Message());
    }
}

void TDeviceDialog::FillWire(const TWireSettings& settings)
{
    if (stkKind->currentWidget() == pgSerial) {
        cbxPort->setCurrentText(settings.Address);
        if (cbxBaudRate->findData(settings.Number) < 0)
            cbxBaudRate->addItem(QString::number(settings.Number), settings.Number);
        cbxBaudRate->setCurrentIndex(cbxBaudRate->findData(settings.Number));
    } else {
        edtHost->setText(settings.Address);
        edtTcpPort->setValue(settings.Number);
    }
    edtTimeout->setValue(settings.TimeoutMs);
    edtPrintWait->setValue(settings.PrintWaitMs);
    edtPassword->setValue(settings.Password);
    edtLogFile->setText(settings.LogFile);
}

TWireSettings TDeviceDialog::WireSettings() const
{
    TWireSettings settings;
    if (stkKind->currentWidget() == pgSerial) {
        settings.Address = cbxPort->currentText().trimmed();
        settings.Number = cbxBaudRate->currentData().toInt();
    } else {
        settings.Address = edtHost->text().trimmed();
        settings.Number = edtTcpPort->value();
    }
    settings.TimeoutMs = edtTimeout->value();
    settings.PrintWaitMs = edtPrintWait->value();
    settings.Password = edtPassword->value();
    settings.LogFile = edtLogFile->text().trimmed();
    return settings;
}

QString TDeviceDialog::DeviceText() const
{
    const TDeviceKindInfo& kind = KindAt(cbxKind->currentIndex());
    const TKindForm form = FormOf(kind.Kind);
    return JoinDeviceText(QString::fromLatin1(kind.Name),
                          form.Format ? form.Format(WireSettings()) : edtOptions->text().trimmed());
}

// A text the driver would refuse keeps the dialog open with the reason.
void TDeviceDialog::accept()
{
    try {
        CheckDeviceText(DeviceText());
    } catch (const Exception& e) {
        memCheck->setPlainText(e.Message());
        return;
    }
    QDialog::accept();
}

void TDeviceDialog::cbxKindChange()
{
    const int index = qMax(0, cbxKind->currentIndex());
    stkKind->setCurrentIndex(index);
    // Only the shown page counts for the dialog's height, so no gap is left below a short one.
    for (int i = 0; i < stkKind->count(); ++i)
        stkKind->widget(i)->setSizePolicy(QSizePolicy::Preferred, i == index ? QSizePolicy::Preferred : QSizePolicy::Ignored);
    pnlWire->setVisible(KindAt(index).Options == TOptionGroup::ogWire);
    adjustSize();
}

void TDeviceDialog::btnLogFileClick()
{
    TFileDialog dialog;
    dialog.Filter = QStringLiteral("*.log|*.log|*.*|*.*");
    dialog.DefaultExt = QStringLiteral("log");
    dialog.FileName = edtLogFile->text().trimmed();
    if (FDialogs->ExecuteSave(this, dialog))
        edtLogFile->setText(dialog.FileName);
}

// A fresh driver, off the UI thread: the window's own may be replaying, and a register that
// does not answer takes the link's whole timeout.
void TDeviceDialog::btnCheckClick()
{
    if (FCheck.Pending())
        return;
    memCheck->clear();
    QString deviceText;
    try {
        deviceText = DeviceText();
    } catch (const Exception& e) {
        memCheck->setPlainText(e.Message());
        return;
    }
    FCheck.Start([deviceText] { return QueryStatus(*CreateDriver(deviceText)); },
                 [this](const TQueryAnswer& answer) {
                     memCheck->setPlainText(answer.Error.isEmpty() ? answer.Lines.join(u'\n') : answer.Error);
                 });
}

} // namespace kestrun
