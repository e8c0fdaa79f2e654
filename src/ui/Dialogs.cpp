// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dialogs.h"

#include "ArchiveMemberDialog.h"
#include "DeviceDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace kestrun {

namespace {

// Texts keep their CR LF as written; message boxes break lines at LF.
QString Shown(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

// "shown|pattern|..." as Qt name filters, "shown (pattern pattern)".
QStringList QtNameFilters(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append(QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(u';', u' ')));
    return filters;
}

bool Execute(QWidget* parent, TFileDialog& dialog, QFileDialog::AcceptMode mode)
{
    QFileDialog box(parent);
    box.setAcceptMode(mode);
    box.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    box.setOption(QFileDialog::DontConfirmOverwrite, !dialog.ConfirmOverwrite);
    const QStringList filters = QtNameFilters(dialog.Filter);
    box.setNameFilters(filters);
    if (dialog.FilterIndex >= 1 && dialog.FilterIndex <= filters.size())
        box.selectNameFilter(filters[dialog.FilterIndex - 1]);
    // A wildcard extension means none is added.
    if (!dialog.DefaultExt.contains(u'*'))
        box.setDefaultSuffix(dialog.DefaultExt);
    if (!dialog.InitialDir.isEmpty())
        box.setDirectory(dialog.InitialDir);
    if (!dialog.FileName.isEmpty())
        box.selectFile(dialog.FileName);
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return false;
    dialog.FileName = box.selectedFiles().constFirst();
    dialog.InitialDir = QFileInfo(dialog.FileName).absolutePath();
    dialog.FilterIndex = qMax(1, int(filters.indexOf(box.selectedNameFilter())) + 1);
    return true;
}

} // namespace

void TQtDialogs::ShowError(QWidget* parent, const QString& message)
{
    QMessageBox::critical(parent, QApplication::applicationDisplayName(), Shown(message));
}

bool TQtDialogs::AskOkCancel(QWidget* parent, const QString& title, const QString& text)
{
    return QMessageBox::question(parent, title, Shown(text), QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok)
           == QMessageBox::Ok;
}

bool TQtDialogs::AskErrorYesNo(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, title, Shown(text), QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

bool TQtDialogs::AskWarningOkCancel(QWidget* parent, const QString& title, const QString& text,
                                    const QString& checkText, bool& checked)
{
    QMessageBox box(QMessageBox::Warning, title, Shown(text), QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    auto* check = new QCheckBox(checkText, &box);
    check->setChecked(checked);
    box.setCheckBox(check);
    const bool ok = box.exec() == QMessageBox::Ok;
    checked = check->isChecked();
    return ok;
}

bool TQtDialogs::ExecuteOpen(QWidget* parent, TFileDialog& dialog)
{
    return Execute(parent, dialog, QFileDialog::AcceptOpen);
}

bool TQtDialogs::ExecuteSave(QWidget* parent, TFileDialog& dialog)
{
    return Execute(parent, dialog, QFileDialog::AcceptSave);
}

std::optional<QString> TQtDialogs::ChooseDevice(QWidget* parent, const QString& deviceText)
{
    TDeviceDialog dialog(deviceText, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.DeviceText();
}

std::optional<QString> TQtDialogs::ChooseArchiveMember(QWidget* parent, const QString& archiveName,
                                                       const QStringList& members)
{
    TArchiveMemberDialog dialog(archiveName, members, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Member();
}

} // namespace kestrun
