#include "RecognitionModeInfo.h"

#include "JsonFields.h"

RecognitionModeInfo::RecognitionModeInfo() = default;

RecognitionModeInfo::RecognitionModeInfo(QJsonObject object)
    : m_info(JsonFields::text(object, QStringLiteral("Info")))
{
    const std::optional<RecognitionMode> mode = JsonFields::enumeration(
        object, QStringLiteral("Mode"), RecognitionModeNamespace::Off, RecognitionModeNamespace::TemplatedWizardForm);
    const std::optional<AsrState> state = JsonFields::enumeration(object, QStringLiteral("State"), Starting, Stopping);
    m_known = mode && state;
    if (m_known) {
        m_mode = *mode;
        m_state = *state;
    }
}

RecognitionModeInfo::~RecognitionModeInfo() = default;

QJsonObject RecognitionModeInfo::toJson() const
{
    return QJsonObject{
        {QStringLiteral("Mode"), int(m_mode)},
        {QStringLiteral("State"), int(m_state)},
        {QStringLiteral("Info"), m_info},
    };
}
