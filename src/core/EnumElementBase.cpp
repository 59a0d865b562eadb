#include "EnumElementBase.h"

#include <QCoreApplication>

EnumElementBase::EnumElementBase(int value, const QString& name, const QString& invariantName)
    : QObject(nullptr)
    , m_value(value)
    , m_invariantName(invariantName)
    , m_name(name)
{
}

EnumElementBase::~EnumElementBase() = default;

QString EnumElementBase::name() const
{
    return QCoreApplication::translate("EnumElementBase", m_name.toUtf8().constData());
}
