#include "DeviceDialog.h"

#include "log/Exception.h"
#include "playback/DeviceDriver.h"
#include "playback/DeviceLink.h"
#include "playback/StatusQuery.h"
#include "playback/WireSettings.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSerialPortInfo>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace kestrun {

namespace {

// One page of the stack per kind, in this order.
struct TDeviceKind
{
    const char* Kind;
    const char* Caption;
    TWireSettings (*Parse)(const QString& options); // null: the options stay free-form text
    QString (*Format)(const TWireSettings& settings);
};

const TDeviceKind Kinds[] = {
    {"emulator", "Встроенный эмулятор ККТ", nullptr, nullptr},
    {"serial", "ККТ на последовательном порту (COM, USB)", ParseSerialSettings, FormatSerialSettings},
    {"tcp", "ККТ по сети (TCP)", ParseTcpSettings, FormatTcpSettings},
};

const char EmulatorHelp[] = "Параметры через запятую:\n"
                            "busy=N[:КОД] - N обменов подряд отвечают КОД (50 или 4B)\n"
                            "error=КОМАНДА:ОШИБКА - команда получает ошибку ККТ (hex)\n"
                            "driver=КОМАНДА[:-N[:ТЕКСТ]] - команда получает ошибку драйвера\n"
                            "throw=КОМАНДА[:ТЕКСТ] - вызов команды завершается сбоем\n"
                            "print=МС - печать длится МС миллисекунд\n"
                            "shift=open|closed - смена при включении";

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

// Kind and options of "KIND" or "KIND:OPTIONS".
std::pair<QString, QString> SplitDeviceText(const QString& deviceText)
{
    const QString text = deviceText.trimmed();
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0)
        return {text, QString()};
    return {text.left(colon), text.mid(colon + 1)};
}

} // namespace

TDeviceDialog::TDeviceDialog(const QString& deviceText, QWidget* parent, IDialogs* dialogs)
    : QDialog(parent), FDialogs(dialogs ? dialogs : &FQtDialogs)
{
    setObjectName(QStringLiteral("dlgDevice"));
    setWindowTitle(QStringLiteral("Настройка свойств"));

    cbxKind = new QComboBox(this);
    cbxKind->setObjectName(QStringLiteral("cbxKind"));
    for (const TDeviceKind& k : Kinds)
        cbxKind->addItem(QString::fromUtf8(k.Caption), QString::fromLatin1(k.Kind));

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

    const auto [kind, options] = SplitDeviceText(deviceText);
    Fill(kind, options);
    connect(cbxKind, &QComboBox::currentIndexChanged, this, &TDeviceDialog::cbxKindChange);
}

QWidget* TDeviceDialog::CreateEmulatorPage()
{
    auto* page = new QWidget(this);
    edtOptions = new QLineEdit(page);
    edtOptions->setObjectName(QStringLiteral("edtOptions"));
    edtOptions->setMinimumWidth(320);
    auto* help = new QLabel(QString::fromUtf8(EmulatorHelp), page);
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

// The ranges are those the device text accepts.
QWidget* TDeviceDialog::CreateWireOptions()
{
    const TWireSettings defaults;
    auto* panel = new QWidget(this);
    edtTimeout = NumberBox(panel, "edtTimeout", 10, 600000, defaults.TimeoutMs);
    edtPrintWait = NumberBox(panel, "edtPrintWait", 0, 3600000, defaults.PrintWaitMs);
    edtPassword = NumberBox(panel, "edtPassword", 0, 99999999, defaults.Password);
    edtLogFile = new QLineEdit(panel);
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
    if (!Kinds[index].Parse) {
        edtOptions->setText(options);
        return;
    }
    try {
        FillWire(Kinds[index].Parse(options));
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
    const TDeviceKind& kind = Kinds[qMax(0, cbxKind->currentIndex())];
    const QString options = kind.Format ? kind.Format(WireSettings()) : edtOptions->text().trimmed();
    return options.isEmpty() ? QString::fromLatin1(kind.Kind) : QString::fromLatin1(kind.Kind) + u':' + options;
}

// A text the driver would refuse keeps the dialog open with the reason.
void TDeviceDialog::accept()
{
    try {
        CreateDeviceLink(DeviceText());
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
    pnlWire->setVisible(Kinds[index].Parse != nullptr);
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

// A fresh driver: the window's own may be replaying.
void TDeviceDialog::btnCheckClick()
{
    memCheck->clear();
    memCheck->repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    try {
        const std::unique_ptr<TUlvex> driver = CreateDriver(DeviceText());
        memCheck->setPlainText(QueryStatus(*driver).join(u'\n'));
    } catch (const Exception& e) {
        memCheck->setPlainText(e.Message());
    }
}

} // namespace kestrun
