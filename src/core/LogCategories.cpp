#include "LogCategories.h"

Q_LOGGING_CATEGORY(lcAudioManager, "AudioManager")
Q_LOGGING_CATEGORY(lcPulseAudioManager, "PulseAudioManager")
Q_LOGGING_CATEGORY(lcConnectionManager, "ConnectionManager")
Q_LOGGING_CATEGORY(lcWebSocketWorker, "WebSocketWorker")
Q_LOGGING_CATEGORY(lcHeartbeatWorker, "HeartbeatWorker")
Q_LOGGING_CATEGORY(lcRestProxyServer, "RestProxyServer")
Q_LOGGING_CATEGORY(lcWebSocketServer, "WebSocketServer")
Q_LOGGING_CATEGORY(lcKbd, "KBD")
