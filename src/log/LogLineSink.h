#pragma once

#include <QByteArrayView>
#include <QStringView>

namespace kestrun {

// Receives the lines of a log in file order, without their terminators. Single-byte logs
// arrive as Windows-1251 bytes so they need no conversion; others as Unicode.
class ILogLineSink
{
public:
    virtual ~ILogLineSink() = default;

    virtual void AddLine(QByteArrayView ALine) = 0;
    virtual void AddLine(QStringView ALine) = 0;
};

} // namespace kestrun
