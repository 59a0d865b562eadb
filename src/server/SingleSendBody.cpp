#include "SingleSendBody.h"

#include <cstring>

SingleSendBody::SingleSendBody(const QByteArray& data, QObject* parent)
    : QIODevice(parent)
    , data(data)
{
    open(QIODevice::ReadOnly);
}

SingleSendBody::~SingleSendBody() = default;

qint64 SingleSendBody::readData(char* out, qint64 maxSize)
{
    const qint64 count = qMin(maxSize, data.size() - pos());
    if (count <= 0)
        return 0;
    std::memcpy(out, data.constData() + pos(), size_t(count));
    return count;
}

qint64 SingleSendBody::writeData(const char*, qint64)
{
    return -1;
}
