#include "RunGuard.h"

#include <QCryptographicHash>

#include <unistd.h>

namespace {

QString generateKeyHash(const QString& key, const QString& salt)
{
    QByteArray data = key.toUtf8();
    data.append(salt.toUtf8());
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
}

} // namespace

RunGuard::RunGuard(const QString& key)
    : key(key)
    , memLockKey(generateKeyHash(key, QStringLiteral("_memLockKey")))
    , sharedmemKey(generateKeyHash(key, QStringLiteral("_sharedmemKey")))
    , sharedMem(sharedmemKey)
    , memLock(memLockKey, 1, QSystemSemaphore::Open)
{
    memLock.acquire();
    {
        // Attaching and letting go frees a segment left behind by a copy that died.
        QSharedMemory fix(sharedmemKey);
        fix.attach();
    }
    memLock.release();
}

RunGuard::~RunGuard()
{
    release();
}

QString RunGuard::clientKey()
{
    return QStringLiteral("Scrivora_Qt_%1").arg(::getuid());
}

bool RunGuard::isAnotherRunning()
{
    if (sharedMem.isAttached())
        return false;
    memLock.acquire();
    const bool isRunning = sharedMem.attach();
    if (isRunning)
        sharedMem.detach();
    memLock.release();
    return isRunning;
}

bool RunGuard::tryToRun()
{
    if (isAnotherRunning())
        return false;
    memLock.acquire();
    const bool result = sharedMem.create(8);
    memLock.release();
    if (!result) {
        release();
        return false;
    }
    return true;
}

void RunGuard::release()
{
    memLock.acquire();
    if (sharedMem.isAttached())
        sharedMem.detach();
    memLock.release();
}
