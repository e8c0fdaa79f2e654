// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandListModel.h"
#include "Dialogs.h"
#include "LogBuilder.h"
#include "MainWindow.h"

#include <QAbstractItemView>
#include <QTemporaryDir>
#include <QTreeView>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace kestrun::test {

// The file label of a window with no log: the designed invitation.
inline const QString OpenPrompt =
    QStringLiteral("Откройте файл лога, либо перетащите файл в это окно, либо вставьте текст лога из буфера обмена");

// Answers the window's questions from a script and records what it was asked.
class TScriptedDialogs : public IDialogs
{
public:
    struct TQuestion
    {
        QString Title;
        QString Text;
    };

    QStringList Errors;
    QList<TQuestion> Questions;
    std::deque<bool> Answers;   // OK/Yes true; a question beyond the script is answered No
    QString OpenFileName;       // empty: the open dialog is cancelled
    QString SaveFileName;       // empty: the save dialog is cancelled
    int OpenFilterIndex = 1;
    std::optional<QString> Device; // the device dialog's answer
    std::optional<QString> Member; // the archive member dialog's answer
    QStringList OfferedMembers;    // what it was last offered
    std::function<void()> OnQuestion; // runs while a question is open
    bool Check = false;               // the state a question's check box is left in
    QStringList CheckTexts;           // the check boxes offered

    void ShowError(QWidget*, const QString& message) override { Errors.append(message); }
    bool AskOkCancel(QWidget*, const QString& title, const QString& text) override { return Answer(title, text); }
    bool AskErrorYesNo(QWidget*, const QString& title, const QString& text) override { return Answer(title, text); }
    bool AskWarningOkCancel(QWidget*, const QString& title, const QString& text, const QString& checkText,
                            bool& checked) override
    {
        CheckTexts.append(checkText);
        checked = Check;
        return Answer(title, text);
    }
    bool ExecuteOpen(QWidget*, TFileDialog& dialog) override;
    bool ExecuteSave(QWidget*, TFileDialog& dialog) override;
    std::optional<QString> ChooseDevice(QWidget*, const QString&) override { return Device; }
    std::optional<QString> ChooseArchiveMember(QWidget*, const QString&, const QStringList& members) override
    {
        OfferedMembers = members;
        return Member;
    }

private:
    bool Answer(const QString& title, const QString& text);
};

// Runs the event loop until `done` holds or the time is up; the result of `done` at the end.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 15000);

// A fresh window over a temporary configuration folder, with scripted dialogs.
class TWindowTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes the window (again, after CloseWindow) and shows it.
    void OpenWindow();
    // Closes and destroys the window, as the user closing the program does.
    void CloseWindow();

    template <class T>
    T* Child(const char* name) const
    {
        T* child = Window->findChild<T*>(QLatin1String(name));
        if (!child)
            ADD_FAILURE() << "no control " << name;
        return child;
    }
    QTreeView* List() const { return Child<QTreeView>("lvCommands"); }
    TCommandListModel* Model() const { return static_cast<TCommandListModel*>(List()->model()); }
    QString Cell(int row, int column) const;
    void Click(const char* button) const;
    void Trigger(const char* action) const;
    // Selects the rows as clicks do, the first alone and the others with Ctrl held: the last one
    // is the current row. No rows leave no current row either.
    void SelectRows(const QList<int>& rows) const;
    // A mouse click on the row, as the user gives it, with the keys held.
    void ClickRow(int row, Qt::KeyboardModifiers keys = Qt::NoModifier) const;
    QString Path(const QString& name) const { return Folder.filePath(name); }
    QString Status() const;
    QString Info() const;
    QString Load(const std::vector<TExchange>& exchanges);

    QTemporaryDir Folder;
    QByteArray SavedConfigHome;
    TScriptedDialogs Dialogs;
    std::unique_ptr<TfmMain> Window;
};

} // namespace kestrun::test
