#include "FormMetadata.h"

#include <QJsonDocument>

namespace {
const QString ThemeIdField = QStringLiteral("ThemeId");
const QString KeyField = QStringLiteral("Key");
const QString ChildsField = QStringLiteral("Childs");
const QString CustomCommandsField = QStringLiteral("CustomCommands");
const QString FormCommandsField = QStringLiteral("FormCommands");
const QString FormSettingsField = QStringLiteral("FormSettings");
const QString NameField = QStringLiteral("Name");
const QString CultureCodeField = QStringLiteral("CultureCode");
const QString IsDeletedField = QStringLiteral("IsDeleted");
const QString ModeField = QStringLiteral("Mode");

QString compactText(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}
} // namespace

FormMetadata::FormMetadata() = default;

FormMetadata::FormMetadata(const QJsonObject& object)
    : m_themeId(object.value(ThemeIdField).toString())
    , m_key(object.value(KeyField).toString())
    , m_childs(object.value(ChildsField).toArray())
    , m_customCommands(object.value(CustomCommandsField).toArray())
    , m_formCommands(object.value(FormCommandsField).toArray())
    , m_formSettings(compactText(object.value(FormSettingsField).toObject()))
    , m_name(object.value(NameField).toString())
    , m_cultureCode(object.value(CultureCodeField).toString())
    , m_isDeleted(object.value(IsDeletedField).toBool(false))
    , m_mode(object.value(ModeField).toInt(0))
{
}

FormMetadata::~FormMetadata() = default;

void FormMetadata::Clone(const FormMetadata& other)
{
    setThemeId(other.themeId());
    setKey(other.key());
    setChilds(other.childs());
    setCustomCommands(other.customCommands());
    setFormCommands(other.formCommands());
    setFormSettings(other.formSettings());
    setName(other.name());
    setCultureCode(other.cultureCode());
    setIsDeleted(other.isDeleted());
    setMode(other.mode());
}

QJsonObject FormMetadata::toJson() const
{
    // Text that is not a JSON object (possible through setFormSettings) is written as {}.
    const QJsonDocument settings = QJsonDocument::fromJson(m_formSettings.toUtf8());
    return QJsonObject{
        {ThemeIdField, m_themeId},
        {KeyField, m_key},
        {ChildsField, m_childs},
        {CustomCommandsField, m_customCommands},
        {FormCommandsField, m_formCommands},
        {FormSettingsField, settings.isObject() ? settings.object() : QJsonObject()},
        {NameField, m_name},
        {CultureCodeField, m_cultureCode},
        {IsDeletedField, m_isDeleted},
        {ModeField, m_mode},
    };
}
