#include "DataMessage.h"

DataMessage::DataMessage() = default;
