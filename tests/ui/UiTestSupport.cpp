// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>

namespace kestrun::test {

bool TScriptedDialogs::Answer(const QString& title, const QString& text)
{
    Questions.append({title, text});
    if (OnQuestion)
        OnQuestion();
    if (Answers.empty())
        return false;
    const bool answer = Answers.front();
    Answers.pop_front();
    return answer;
}

bool TScriptedDialogs::ExecuteOpen(QWidget*, TFileDialog& dialog)
{
    if (OpenFileName.isEmpty())
        return false;
    dialog.FileName = OpenFileName;
    dialog.InitialDir = QFileInfo(OpenFileName).absolutePath();
    dialog.FilterIndex = OpenFilterIndex;
    return true;
}

bool TScriptedDialogs::ExecuteSave(QWidget*, TFileDialog& dialog)
{
    if (SaveFileName.isEmpty())
        return false;
    dialog.FileName = SaveFileName;
    dialog.InitialDir = QFileInfo(SaveFileName).absolutePath();
    return true;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

void TWindowTest::SetUp()
{
    ASSERT_TRUE(Folder.isValid());
    // Settings and the device choice go to this test's own folder.
    SavedConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", Folder.filePath(QStringLiteral("config")).toLocal8Bit());
    OpenWindow();
}

void TWindowTest::TearDown()
{
    Window.reset();
    qputenv("XDG_CONFIG_HOME", SavedConfigHome);
}

void TWindowTest::OpenWindow()
{
    Window = std::make_unique<TfmMain>(&Dialogs);
    Window->show();
    QCoreApplication::processEvents();
}

void TWindowTest::CloseWindow()
{
    Window->close();
    Window.reset();
}

QString TWindowTest::Cell(int row, int column) const
{
    return Model()->data(Model()->index(row, column), Qt::DisplayRole).toString();
}

void TWindowTest::Click(const char* button) const
{
    QPushButton* control = Child<QPushButton>(button);
    ASSERT_TRUE(control->isEnabled()) << button;
    control->click();
}

void TWindowTest::Trigger(const char* action) const { Child<QAction>(action)->trigger(); }

void TWindowTest::SelectRows(const QList<int>& rows) const
{
    QItemSelectionModel* selection = List()->selectionModel();
    selection->clear();
    for (int row : rows)
        selection->setCurrentIndex(Model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TWindowTest::ClickRow(int row, Qt::KeyboardModifiers keys) const
{
    QWidget* viewport = List()->viewport();
    const QPointF at = List()->visualRect(Model()->index(row, 2)).center();
    ASSERT_TRUE(viewport->rect().contains(at.toPoint())) << "row " << row << " is not in view";
    const QPointF global = viewport->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, keys);
    QCoreApplication::sendEvent(viewport, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, keys);
    QCoreApplication::sendEvent(viewport, &release);
}

QString TWindowTest::Status() const { return Child<QLineEdit>("edtStatus")->text(); }

QString TWindowTest::Info() const { return Child<QPlainTextEdit>("memInfo")->toPlainText(); }

QString TWindowTest::Load(const std::vector<TExchange>& exchanges)
{
    const QString fileName = Path(QStringLiteral("test.log"));
    WriteLog(fileName, exchanges);
    Window->LoadLogFile(fileName);
    return fileName;
}

} // namespace kestrun::test
