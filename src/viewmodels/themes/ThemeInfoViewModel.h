#pragma once

#include <QObject>
#include <QString>

class ClientThemeInfo;

// One recognition theme as a list shows it; copied once, never changed. GUI thread only.
class ThemeInfoViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Id READ get_Id CONSTANT)
    Q_PROPERTY(QString Name READ get_Name CONSTANT)
    Q_PROPERTY(QString Version READ get_Version CONSTANT)
    Q_PROPERTY(QString ThemeId READ get_ThemeId CONSTANT)
    Q_PROPERTY(QString Description READ get_Description CONSTANT)

public:
    ThemeInfoViewModel(const ClientThemeInfo& theme, QObject* parent);
    ~ThemeInfoViewModel() override;

    QString get_Id() const { return id; }
    QString get_Name() const { return name; }
    QString get_Version() const { return version; }
    QString get_ThemeId() const { return themeId; }
    QString get_Description() const { return description; }

private:
    const QString id;
    const QString name;
    const QString version;
    const QString themeId;
    const QString description;
};
