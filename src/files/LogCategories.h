#pragma once

#include <QLoggingCategory>

// The program's logging categories. Debug lines are off by default; turn them on with
// QT_LOGGING_RULES="zumo.*.debug=true". Nothing logged here may carry a token, a password,
// an e-mail address or a message's text.
Q_DECLARE_LOGGING_CATEGORY(lcApi) // zumo.api: requests, answers, the session's refresh
Q_DECLARE_LOGGING_CATEGORY(lcSocket) // zumo.socket: the live socket and its reconnects
Q_DECLARE_LOGGING_CATEGORY(lcStore) // zumo.store: the store, its files and its tasks
Q_DECLARE_LOGGING_CATEGORY(lcKeychain) // zumo.keychain: where the session is kept
Q_DECLARE_LOGGING_CATEGORY(lcImages) // zumo.images: decoding and fetching pictures
Q_DECLARE_LOGGING_CATEGORY(lcNotify) // zumo.notify: desktop notifications and the badge

#include <exception>

// Logs, as critical in zumo.store, an exception that a task of the store did not expect.
void logFault(const std::exception_ptr &fault);
