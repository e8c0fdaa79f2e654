// SPDX-License-Identifier: GPL-3.0-or-later
#include "FilterBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

namespace kestrun {

namespace {

QLineEdit* MakeField(QWidget* parent, const char* name, const char* placeholder, const char* tip)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setPlaceholderText(QString::fromUtf8(placeholder));
    field->setToolTip(QString::fromUtf8(tip));
    field->setClearButtonEnabled(true);
    return field;
}

QCheckBox* MakeToggle(QWidget* parent, const char* name, const char* caption)
{
    auto* toggle = new QCheckBox(QString::fromUtf8(caption), parent);
    toggle->setObjectName(QLatin1String(name));
    return toggle;
}

} // namespace

TFilterBar::TFilterBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pnlFilter"));
    edtFilter = MakeField(this, "edtFilter", "Фильтр (Ctrl+L)",
                          "Показывать только строки с этим текстом: время, название команды или данные");
    chkFilterErrors = MakeToggle(this, "chkFilterErrors", "Только ошибки");
    chkFilterErrors->setToolTip(QStringLiteral("Ошибка в ответе из лога, ошибка драйвера или ошибка при воспроизведении"));
    edtFilterCommands = MakeField(this, "edtFilterCommands", "Команды",
                                  "Коды (FF 46) или части названий команд, через запятую");
    edtFilterThread = MakeField(this, "edtFilterThread", "Поток", "Только команды этого потока");
    chkHidePolls = MakeToggle(this, "chkHidePolls", "Без опросов");
    chkHidePolls->setToolTip(QStringLiteral("Скрыть запросы состояния (команды 10 и 11)"));
    edtGoTo = MakeField(this, "edtGoTo", "№ (Ctrl+G)", "Перейти к команде с этим номером (с 0)");
    edtGoTo->setValidator(new QIntValidator(0, std::numeric_limits<int>::max(), edtGoTo));
    edtGoTo->setClearButtonEnabled(false);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->addWidget(edtFilter, 4);
    layout->addWidget(chkFilterErrors);
    layout->addWidget(edtFilterCommands, 3);
    layout->addWidget(edtFilterThread, 1);
    layout->addWidget(chkHidePolls);
    layout->addWidget(edtGoTo, 1);

    for (QLineEdit* field : {edtFilter, edtFilterCommands, edtFilterThread}) {
        connect(field, &QLineEdit::textChanged, this, &TFilterBar::Changed);
        field->installEventFilter(this);
    }
    edtGoTo->installEventFilter(this);
    for (QCheckBox* toggle : {chkFilterErrors, chkHidePolls})
        connect(toggle, &QCheckBox::toggled, this, &TFilterBar::Changed);
}

TFilterSettings TFilterBar::Settings() const
{
    TFilterSettings settings;
    settings.Text = edtFilter->text();
    settings.ErrorsOnly = chkFilterErrors->isChecked();
    settings.Commands = edtFilterCommands->text().split(QRegularExpression(QStringLiteral("[,;]")), Qt::SkipEmptyParts);
    settings.Thread = edtFilterThread->text();
    settings.HidePolls = chkHidePolls->isChecked();
    return settings;
}

void TFilterBar::FocusFilter()
{
    edtFilter->setFocus(Qt::ShortcutFocusReason);
    edtFilter->selectAll();
}

void TFilterBar::FocusGoTo()
{
    edtGoTo->setFocus(Qt::ShortcutFocusReason);
    edtGoTo->selectAll();
}

bool TFilterBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return QWidget::eventFilter(watched, event);
    if (watched == edtGoTo && !edtGoTo->text().isEmpty())
        emit GoTo(edtGoTo->text().toInt());
    return true;
}

} // namespace kestrun
