// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFile>
#include <QStringList>

namespace kestrun::test {

using namespace Qt::StringLiterals;

// A settings file with a text before and after a list of three codes, the file's and the
// window's damage tests cut.
inline const QByteArray WholeFile = "<?xml version=\"1.0\"?>\n<Configuration><fmMain>"
                                    "<dlgOpen_FileName>/logs/day.log</dlgOpen_FileName>"
                                    "<memCommandExceptions_Lines><Count>3</Count><Item0>41</Item0><Item1>E0</Item1><Item2>85</Item2>"
                                    "</memCommandExceptions_Lines>"
                                    "<dlgSave_FileName>listing</dlgSave_FileName>"
                                    "</fmMain></Configuration>\n";
// Its list.
inline const QStringList AllCodes{u"41"_s, u"E0"_s, u"85"_s};

inline QByteArray ReadFile(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace kestrun::test
