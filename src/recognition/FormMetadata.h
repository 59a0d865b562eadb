#pragma once

#include "JsonConvertable.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// The description of an MIS form that a form mode fills: sent to the server
// as message 106. The arrays travel uninterpreted; the form settings are kept
// as compact JSON text.
class FormMetadata : public JsonConvertable
{
public:
    FormMetadata();
    explicit FormMetadata(const QJsonObject& object);
    FormMetadata(const FormMetadata&) = default;
    FormMetadata& operator=(const FormMetadata&) = default;
    ~FormMetadata() override;

    QString themeId() const { return m_themeId; }
    void setThemeId(const QString& themeId) { m_themeId = themeId; }
    QString key() const { return m_key; }
    void setKey(const QString& key) { m_key = key; }
    QJsonArray childs() const { return m_childs; }
    void setChilds(const QJsonArray& childs) { m_childs = childs; }
    QJsonArray customCommands() const { return m_customCommands; }
    void setCustomCommands(const QJsonArray& commands) { m_customCommands = commands; }
    QJsonArray formCommands() const { return m_formCommands; }
    void setFormCommands(const QJsonArray& commands) { m_formCommands = commands; }
    QString formSettings() const { return m_formSettings; }
    void setFormSettings(const QString& settings) { m_formSettings = settings; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    QString cultureCode() const { return m_cultureCode; }
    void setCultureCode(const QString& cultureCode) { m_cultureCode = cultureCode; }
    bool isDeleted() const { return m_isDeleted; }
    void setIsDeleted(bool isDeleted) { m_isDeleted = isDeleted; }
    int mode() const { return m_mode; }
    void setMode(int mode) { m_mode = mode; }

    void Clone(const FormMetadata& other);

    QJsonObject toJson() const override;

private:
    QString m_themeId;
    QString m_key;
    QJsonArray m_childs;
    QJsonArray m_customCommands;
    QJsonArray m_formCommands;
    QString m_formSettings;
    QString m_name;
    QString m_cultureCode;
    bool m_isDeleted = false;
    int m_mode = 0;
};
