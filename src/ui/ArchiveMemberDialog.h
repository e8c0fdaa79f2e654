// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Dialogs.h"

#include <QDialog>
#include <optional>

class QListWidget;

namespace kestrun {

// Asks which log of an archive to open: a short list of its files, the first one chosen.
class TArchiveMemberDialog : public QDialog
{
    Q_OBJECT
public:
    TArchiveMemberDialog(const QString& archiveName, const QStringList& members, QWidget* parent = nullptr);

    QString Member() const;

private:
    QListWidget* lstMembers;
};

// The log to load for a file the user chose: the file itself, or "ARCHIVE:MEMBER" once one of an
// archive's several files was picked; nothing when the choice was cancelled. An archive that
// cannot be listed is handed on as it is, so that loading reports its fault.
std::optional<QString> ChooseLogMember(IDialogs& dialogs, QWidget* parent, const QString& fileName);

} // namespace kestrun
