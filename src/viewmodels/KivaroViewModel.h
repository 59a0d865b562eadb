#pragma once

#include "UserNotification.h"

#include <QObject>

class AsrManager;
class LocalKivaroManager;

// The word-list window's model over the user's word list.
class KivaroViewModel : public QObject
{
    Q_OBJECT

public:
    KivaroViewModel(AsrManager* asrManager, LocalKivaroManager* kivaroManager, QObject* parent = nullptr);
    ~KivaroViewModel() override;

signals:
    void notifyUser(UserNotification notification);

private:
    AsrManager* asrManager;
    LocalKivaroManager* kivaroManager;
};
