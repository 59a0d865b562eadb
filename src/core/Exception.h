#pragma once

#include <QByteArray>
#include <QException>
#include <QString>

// The program's own failure type. It derives from QException so it can also
// cross threads through Qt Concurrent (raise/clone keep the dynamic type).
class Exception : public QException
{
public:
    explicit Exception(const QString& message);
    explicit Exception(const char* message);
    ~Exception() override;

    const char* what() const noexcept override;
    void raise() const override;
    Exception* clone() const override;

    QString message() const { return QString::fromUtf8(m_message); }

private:
    QByteArray m_message;
};
