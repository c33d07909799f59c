#pragma once

#include <QString>
#include <exception>

// Every failure of the database layer: the engine's own message text, shown as it is
// or cut at its first "." for the status bar.
class EDatabaseError : public std::exception
{
public:
    explicit EDatabaseError(QString message)
        : m_message(std::move(message))
        , m_utf8(m_message.toUtf8())
    {}
    const QString &Message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
