#pragma once

#include <QColor>
#include <QObject>
#include <QtQml>

// Style values attached to QML items: each item that reads them gets its own instance.
class VexStyle : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QColor defaultBackground READ getDefaultBackground NOTIFY defaultBackgroundChanged)

public:
    explicit VexStyle(QObject* parent = nullptr);
    ~VexStyle() override;

    QColor getDefaultBackground() const { return defaultBackground; }

    static VexStyle* qmlAttachedProperties(QObject* object);
    // As the uncreatable "VexStyle" 1.0 of the module "VexStyle", for its attached properties.
    static void registerQmlType();

signals:
    void defaultBackgroundChanged();

private:
    QColor defaultBackground;
};

QML_DECLARE_TYPEINFO(VexStyle, QML_HAS_ATTACHED_PROPERTIES)
