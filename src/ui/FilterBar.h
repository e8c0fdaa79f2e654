// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decode/CommandFilter.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;

namespace kestrun {

// The controls above the command list that narrow it, and the field that jumps to a command.
// Enter in its fields is taken here, so it never reaches the window's default button.
class TFilterBar : public QWidget
{
    Q_OBJECT
public:
    explicit TFilterBar(QWidget* parent = nullptr);

    TFilterSettings Settings() const;
    void FocusFilter();
    void FocusGoTo();

signals:
    void Changed();
    // A command index typed into the go-to field.
    void GoTo(int command);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* edtFilter = nullptr;
    QCheckBox* chkFilterErrors = nullptr;
    QLineEdit* edtFilterCommands = nullptr;
    QLineEdit* edtFilterThread = nullptr;
    QCheckBox* chkHidePolls = nullptr;
    QLineEdit* edtGoTo = nullptr;
};

} // namespace kestrun
