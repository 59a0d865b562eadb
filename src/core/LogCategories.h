#pragma once

#include <QLoggingCategory>

// Each category becomes an easylogging++ logger of the same name.
Q_DECLARE_LOGGING_CATEGORY(lcAudioManager)
Q_DECLARE_LOGGING_CATEGORY(lcPulseAudioManager)
Q_DECLARE_LOGGING_CATEGORY(lcConnectionManager)
Q_DECLARE_LOGGING_CATEGORY(lcWebSocketWorker)
Q_DECLARE_LOGGING_CATEGORY(lcHeartbeatWorker)
Q_DECLARE_LOGGING_CATEGORY(lcRestProxyServer)
Q_DECLARE_LOGGING_CATEGORY(lcWebSocketServer)
Q_DECLARE_LOGGING_CATEGORY(lcKbd)
