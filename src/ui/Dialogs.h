// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace kestrun {

// A file dialog's setup and the choices it keeps between uses (and between runs, see settings).
struct TFileDialog
{
    QString Filter;           // "shown|pattern|shown|pattern..."
    QString DefaultExt;
    QString FileName;         // last chosen full path, or the proposed name
    QString InitialDir;
    int FilterIndex = 1;      // 1-based
    bool ConfirmOverwrite = false;
};

// Every modal interaction of the window goes through here, so tests can answer them.
class IDialogs
{
public:
    virtual ~IDialogs() = default;

    // The standard error box.
    virtual void ShowError(QWidget* parent, const QString& message) = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool AskOkCancel(QWidget* parent, const QString& title, const QString& text) = 0;
    // A question with an error icon and Yes and No; true for Yes.
    virtual bool AskErrorYesNo(QWidget* parent, const QString& title, const QString& text) = 0;
    // A warning whose default answer is Cancel, with a check box that `checked` sets and takes
    // back; true for OK.
    virtual bool AskWarningOkCancel(QWidget* parent, const QString& title, const QString& text,
                                    const QString& checkText, bool& checked) = 0;
    // Open and save dialogs: on confirmation the dialog's FileName, InitialDir and FilterIndex
    // take the user's choice and true is returned; on cancel nothing changes.
    virtual bool ExecuteOpen(QWidget* parent, TFileDialog& dialog) = 0;
    virtual bool ExecuteSave(QWidget* parent, TFileDialog& dialog) = 0;
    // The driver's settings: the chosen device text, nothing on cancel.
    virtual std::optional<QString> ChooseDevice(QWidget* parent, const QString& deviceText) = 0;
    // One of an archive's several files, nothing on cancel.
    virtual std::optional<QString> ChooseArchiveMember(QWidget* parent, const QString& archiveName,
                                                       const QStringList& members) = 0;
};

// The Qt message boxes and file dialogs.
class TQtDialogs : public IDialogs
{
public:
    void ShowError(QWidget* parent, const QString& message) override;
    bool AskOkCancel(QWidget* parent, const QString& title, const QString& text) override;
    bool AskErrorYesNo(QWidget* parent, const QString& title, const QString& text) override;
    bool AskWarningOkCancel(QWidget* parent, const QString& title, const QString& text, const QString& checkText,
                            bool& checked) override;
    bool ExecuteOpen(QWidget* parent, TFileDialog& dialog) override;
    bool ExecuteSave(QWidget* parent, TFileDialog& dialog) override;
    std::optional<QString> ChooseDevice(QWidget* parent, const QString& deviceText) override;
    std::optional<QString> ChooseArchiveMember(QWidget* parent, const QString& archiveName,
                                               const QStringList& members) override;
};

} // namespace kestrun
