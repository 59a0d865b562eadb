#pragma once

#include <QByteArray>
#include <QIODevice>

// The body of a request that must not reach the server twice (a POST). Qt's
// network layer sends a request again when the connection breaks before the
// answer (a reset after the server read it, a malformed status line); it asks
// the body to rewind first, and this body refuses, so the reply fails with
// ContentReSendError instead. Lives in the thread of the reply it feeds.
class SingleSendBody : public QIODevice
{
    Q_OBJECT

public:
    explicit SingleSendBody(const QByteArray& data, QObject* parent = nullptr);
    ~SingleSendBody() override;

    bool isSequential() const override { return false; }
    qint64 size() const override { return data.size(); }
    bool reset() override { return false; }

protected:
    qint64 readData(char* out, qint64 maxSize) override;
    qint64 writeData(const char* in, qint64 size) override;

private:
    QByteArray data;
};
