#include "VexStyle.h"

VexStyle::VexStyle(QObject* parent)
    : QObject(parent)
    , defaultBackground(QStringLiteral("#FF0000"))
{
}

VexStyle::~VexStyle() = default;

VexStyle* VexStyle::qmlAttachedProperties(QObject* object)
{
    return new VexStyle(object);
}

void VexStyle::registerQmlType()
{
    qmlRegisterUncreatableType<VexStyle>("VexStyle", 1, 0, "VexStyle", QStringLiteral("VexStyle attached properties"));
}
