#include "RecognitionParameters.h"

RecognitionParameters::RecognitionParameters(bool sendingMode, bool usePunctuation)
    : m_sendingMode(sendingMode)
    , m_usePunctuation(usePunctuation)
{
}

RecognitionParameters::~RecognitionParameters() = default;

QJsonObject RecognitionParameters::toJson() const
{
    return QJsonObject{
        {QStringLiteral("SendingMode"), m_sendingMode},
        {QStringLiteral("UsePunctuation"), m_usePunctuation},
    };
}
