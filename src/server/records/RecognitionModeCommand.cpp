#include "RecognitionModeCommand.h"

#include "JsonFields.h"

RecognitionModeCommand::RecognitionModeCommand() = default;

RecognitionModeCommand::RecognitionModeCommand(QJsonObject object)
{
    const QJsonValue type = object.value(QStringLiteral("Type"));
    const std::optional<RecognitionMode> mode = JsonFields::enumeration(
        type.toInt(0), RecognitionModeNamespace::Off, RecognitionModeNamespace::TemplatedWizardForm);
    // An unknown mode reads as no mode.
    if (!type.isNull() && !type.isUndefined() && mode) {
        m_ownType = *mode;
        m_type = &m_ownType;
    }
    const QJsonObject parameters = JsonFields::object(object, QStringLiteral("Parameters"));
    for (auto it = parameters.begin(); it != parameters.end(); ++it)
        m_parameters.insert(it.key(), it.value().toVariant());
}

RecognitionModeCommand::RecognitionModeCommand(const RecognitionModeCommand& other)
    : JsonConvertable(other)
{
    copyFrom(other);
}

RecognitionModeCommand& RecognitionModeCommand::operator=(const RecognitionModeCommand& other)
{
    if (this != &other) {
        JsonConvertable::operator=(other);
        copyFrom(other);
    }
    return *this;
}

RecognitionModeCommand::~RecognitionModeCommand() = default;

void RecognitionModeCommand::copyFrom(const RecognitionModeCommand& other)
{
    m_parameters = other.m_parameters;
    m_ownType = other.m_ownType;
    // A mode read from JSON lives inside the record: the copy must point at its
    // own storage, not at the source's, which may be gone before the copy is written.
    m_type = other.m_type == &other.m_ownType ? &m_ownType : other.m_type;
}

QJsonObject RecognitionModeCommand::toJson() const
{
    QJsonObject parameters;
    for (auto it = m_parameters.cbegin(); it != m_parameters.cend(); ++it)
        parameters.insert(it.key(), it.value().toString());
    return QJsonObject{
        {QStringLiteral("Type"), m_type ? QJsonValue(int(*m_type)) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("Parameters"), parameters},
    };
}
