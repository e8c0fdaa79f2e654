#include "DeviceDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kestrun {

namespace {

struct TDeviceKind
{
    const char* Kind;
    const char* Caption;
    const char* OptionsHelp;
};

const TDeviceKind Kinds[] = {
    {"emulator", "Встроенный эмулятор ККТ",
     "Параметры через запятую:\n"
     "busy=N[:КОД] - N обменов подряд отвечают КОД (50 или 4B)\n"
     "error=КОМАНДА:ОШИБКА - команда получает ошибку ККТ (hex)\n"
     "driver=КОМАНДА[:-N[:ТЕКСТ]] - команда получает ошибку драйвера\n"
     "throw=КОМАНДА[:ТЕКСТ] - вызов команды завершается сбоем\n"
     "print=МС - печать длится МС миллисекунд\n"
     "shift=open|closed - смена при включении"},
    {"serial", "ККТ на последовательном порту (COM, USB)",
     "ПОРТ[:СКОРОСТЬ], затем параметры через запятую, например /dev/ttyACM0:115200\n"
     "timeout=МС - ожидание ответа ККТ (1000)\n"
     "printwait=МС - ожидание конца печати (60000)\n"
     "password=N - пароль системного администратора (30)\n"
     "log=ФАЙЛ - журнал обмена"},
    {"tcp", "ККТ по сети (TCP)",
     "ХОСТ:ПОРТ, затем параметры через запятую, например 192.0.2.10:5000\n"
     "timeout=МС - ожидание ответа ККТ (1000)\n"
     "printwait=МС - ожидание конца печати (60000)\n"
     "password=N - пароль системного администратора (30)\n"
     "log=ФАЙЛ - журнал обмена"},
};

} // namespace

TDeviceDialog::TDeviceDialog(const QString& deviceText, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgDevice"));
    setWindowTitle(QStringLiteral("Настройка свойств"));

    const qsizetype colon = deviceText.indexOf(u':');
    const QString kind = colon < 0 ? deviceText : deviceText.left(colon);
    const QString options = colon < 0 ? QString() : deviceText.mid(colon + 1);

    cbxKind = new QComboBox(this);
    cbxKind->setObjectName(QStringLiteral("cbxKind"));
    for (const TDeviceKind& k : Kinds)
        cbxKind->addItem(QString::fromUtf8(k.Caption), QString::fromLatin1(k.Kind));
    cbxKind->setCurrentIndex(qMax(0, cbxKind->findData(kind)));

    edtOptions = new QLineEdit(options, this);
    edtOptions->setObjectName(QStringLiteral("edtOptions"));
    edtOptions->setMinimumWidth(320);

    auto* help = new QLabel(this);
    help->setObjectName(QStringLiteral("lblOptionsHelp"));
    auto showHelp = [this, help] { help->setText(QString::fromUtf8(Kinds[qMax(0, cbxKind->currentIndex())].OptionsHelp)); };
    showHelp();
    connect(cbxKind, &QComboBox::currentIndexChanged, this, showHelp);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Устройство:"), cbxKind);
    form->addRow(QStringLiteral("Параметры:"), edtOptions);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(help);
    layout->addWidget(buttons);
}

QString TDeviceDialog::DeviceText() const
{
    const QString kind = cbxKind->currentData().toString();
    const QString options = edtOptions->text().trimmed();
    return options.isEmpty() ? kind : kind + u':' + options;
}

} // namespace kestrun
