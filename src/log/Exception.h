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

} // namespace kestrun
