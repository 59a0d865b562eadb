#include "MessageTypeMapper.h"

namespace {
constexpr int formCodeCount = 18;
constexpr int toAsrTable[formCodeCount] = {101, 102, 103, 104, 105, 106, 107, 108, 109,
                                           110, 111, MessageTypeMapper::None, 113, 114, 115, 116, 117, 118};
} // namespace

int MessageTypeMapper::toAsr(MessageFromClientCode code)
{
    if (int(code) < 1 || int(code) > formCodeCount)
        return None;
    return toAsrTable[int(code) - 1];
}

int MessageTypeMapper::toServerMessage(MessageType type)
{
    const int value = int(type);
    if (value == ServerPassThroughType)
        return ServerPassThroughType;
    if ((value >= 200 && value <= 211) || (value >= 214 && value <= 218))
        return value - 200;
    return None;
}
