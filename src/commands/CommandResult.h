#pragma once

#include <QString>

// What one executed command hands back: text to type and an error for the user.
class CommandResult
{
public:
    QString result() const { return m_result; }
    void setResult(const QString& result) { m_result = result; }
    QString error() const { return m_error; }
    void setError(const QString& error) { m_error = error; }

private:
    QString m_result;
    QString m_error;
};
