#pragma once

#include <QObject>
#include <QString>

// One row of an enumeration table as QML lists of choices show it.
class EnumElementBase : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Value READ value CONSTANT)
    Q_PROPERTY(QString Name READ name CONSTANT)
    Q_PROPERTY(QString InvariantName READ invariantName CONSTANT)

public:
    EnumElementBase(int value, const QString& name, const QString& invariantName);
    ~EnumElementBase() override;

    int value() const { return m_value; }
    // The display name, translated in the context "EnumElementBase".
    QString name() const;
    QString invariantName() const { return m_invariantName; }

private:
    int m_value;
    QString m_invariantName;
    QString m_name;
};
