// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchiveMemberDialog.h"

#include "log/Exception.h"
#include "log/LogArchive.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace kestrun {

TArchiveMemberDialog::TArchiveMemberDialog(const QString& archiveName, const QStringList& members, QWidget* parent)
    : QDialog(parent), lstMembers(new QListWidget(this))
{
    setWindowTitle(QStringLiteral("Файл в архиве"));
    auto* label = new QLabel(
        QStringLiteral("В архиве %1 несколько файлов. Какой из них открыть?").arg(QFileInfo(archiveName).fileName()), this);
    label->setWordWrap(true);
    lstMembers->setObjectName(QStringLiteral("lstMembers"));
    lstMembers->addItems(members);
    lstMembers->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(lstMembers, &QListWidget::itemActivated, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(lstMembers);
    layout->addWidget(buttons);
}

QString TArchiveMemberDialog::Member() const
{
    const QListWidgetItem* item = lstMembers->currentItem();
    return item ? item->text() : QString();
}

std::optional<QString> ChooseLogMember(IDialogs& dialogs, QWidget* parent, const QString& fileName)
{
    // Listing reads the file through, and a pipe (a log unpacked by another program) can be read
    // only once; it is no archive to choose from anyway.
    if (!ParseLogSource(fileName).Member.isEmpty() || !QFileInfo(fileName).isFile())
        return fileName;
    QStringList members;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        members = ListArchiveMembers(fileName);
    } catch (const Exception&) {
        members.clear();
    }
    QApplication::restoreOverrideCursor();
    if (members.size() < 2)
        return fileName;
    const std::optional<QString> member = dialogs.ChooseArchiveMember(parent, fileName, members);
    if (!member)
        return std::nullopt;
    return fileName + QLatin1Char(':') + *member;
}

} // namespace kestrun
