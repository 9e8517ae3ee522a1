#pragma once

#include <QString>
#include <stdexcept>

// Every failure the game reports to the player is an exception carrying the
// text to show. A handler that throws ends there; the dispatcher shows the
// text and goes on with the next message.
class GameError : public std::runtime_error
{
public:
    explicit GameError(const QString &text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromUtf8(what()); }
};

// Raised by the socket layer ("Send - Socket Not Connected", ...).
class ESockException : public GameError
{
public:
    using GameError::GameError;
};

// A number field that does not hold a decimal integer.
class EConvertError : public GameError
{
public:
    using GameError::GameError;
};
