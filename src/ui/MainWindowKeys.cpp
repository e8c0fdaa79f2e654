// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandListModel.h"
#include "FilterBar.h"
#include "MainWindow.h"

#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>

namespace kestrun {

void TfmMain::CreateShortcuts()
{
    // A key acts only where its button would: a disabled button (during a run) disables its key.
    const auto whenEnabled = [](QPushButton* button, std::function<void()> action) {
        return [button, action = std::move(action)] {
            if (button->isEnabled())
                action();
        };
    };
    const auto onLogPage = [this](std::function<void()> action) {
        return [this, action = std::move(action)] {
            pgcLog->setCurrentIndex(0);
            action();
        };
    };
    const std::pair<QKeySequence, std::function<void()>> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_O), whenEnabled(btnOpen, [this] { btnOpenClick(); })},
        {QKeySequence(Qt::CTRL | Qt::Key_F), onLogPage([this] {
             edtSearch->setFocus(Qt::ShortcutFocusReason);
             edtSearch->selectAll();
         })},
        {QKeySequence(Qt::Key_F3), onLogPage([this] { btnSearchClick(); })},
        {QKeySequence(Qt::SHIFT | Qt::Key_F3), onLogPage([this] { SearchBackward(SearchTest()); })},
        {QKeySequence(Qt::CTRL | Qt::Key_E), whenEnabled(btnFindError, onLogPage([this] { btnFindErrorClick(); }))},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
         whenEnabled(btnFindError, onLogPage([this] { SearchBackward(FindErrorTest()); }))},
        {QKeySequence(Qt::CTRL | Qt::Key_L), onLogPage([this] { FFilterBar->FocusFilter(); })},
        {QKeySequence(Qt::CTRL | Qt::Key_G), onLogPage([this] { FFilterBar->FocusGoTo(); })},
    };
    for (const auto& [sequence, action] : keys) {
        auto* shortcut = new QShortcut(sequence, this);
        connect(shortcut, &QShortcut::activated, this, action);
    }
}

} // namespace kestrun
