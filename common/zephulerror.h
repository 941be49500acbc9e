#pragma once

#include <QString>
#include <stdexcept>

// An error of the program with a message for the operator. what() is UTF-8.
class ZephulError : public std::runtime_error
{
public:
    explicit ZephulError(const QString &message);
    QString message() const { return QString::fromUtf8(what()); }
};
