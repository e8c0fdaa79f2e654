// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <exception>
#include <string>

namespace kestrun {

// The one error type of the system: an action fails with a message the user is shown as is.
class Exception : public std::exception
{
public:
    explicit Exception(QString message) : FMessage(std::move(message)), FUtf8(FMessage.toStdString()) {}
    const QString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FUtf8.c_str(); }

private:
    QString FMessage;
    std::string FUtf8;
};

// A compressed or archived log damaged (or unpacking far too much) part way: what was read before
// the fault is kept and shown, the message a warning beside it.
class TDamagedInput : public Exception
{
public:
    using Exception::Exception;
};

} // namespace kestrun
