// The invite-link parser, fed arbitrary text as a URL.
#include "api/ChatAPI.h"

#include <QRegularExpression>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    static const QRegularExpression code(QStringLiteral("\\A[A-Za-z0-9_-]{16,128}\\z"));
    for (const QUrl &url : {QUrl(QString::fromUtf8(bytes)), QUrl::fromEncoded(bytes)}) {
        if (const auto found = ChatAPI::inviteCode(url)) {
            if (!code.match(*found).hasMatch())
                std::abort();
        }
    }
    return 0;
}
