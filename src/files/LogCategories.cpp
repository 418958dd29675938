#include "files/LogCategories.h"

Q_LOGGING_CATEGORY(lcApi, "zumo.api", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSocket, "zumo.socket", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStore, "zumo.store", QtInfoMsg)
Q_LOGGING_CATEGORY(lcKeychain, "zumo.keychain", QtInfoMsg)
Q_LOGGING_CATEGORY(lcImages, "zumo.images", QtInfoMsg)
Q_LOGGING_CATEGORY(lcNotify, "zumo.notify", QtInfoMsg)

void logFault(const std::exception_ptr &fault)
{
    try {
        if (fault)
            std::rethrow_exception(fault);
        qCCritical(lcStore, "a task failed without an exception");
    } catch (const std::exception &e) {
        qCCritical(lcStore, "a task failed unexpectedly: %s", e.what());
    } catch (...) {
        qCCritical(lcStore, "a task failed with an unknown exception");
    }
}
