#pragma once

#include "JsonConvertable.h"

// Recognition options sent to the server (message type 13).
class RecognitionParameters : public JsonConvertable
{
public:
    RecognitionParameters(bool sendingMode, bool usePunctuation);
    RecognitionParameters(const RecognitionParameters&) = default;
    RecognitionParameters& operator=(const RecognitionParameters&) = default;
    ~RecognitionParameters() override;

    bool sendingMode() const { return m_sendingMode; }
    bool usePunctuation() const { return m_usePunctuation; }

    QJsonObject toJson() const override;

private:
    bool m_sendingMode;
    bool m_usePunctuation;
};
