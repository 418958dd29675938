#include "api/ChatAPI.h"

#include <QRegularExpression>

#ifndef ZUMO_SERVICE_URL
#error "ZUMO_SERVICE_URL must be defined by the build"
#endif

QString ChatAPI::serviceHost()
{
    return QUrl(QStringLiteral(ZUMO_SERVICE_URL)).host().toLower();
}

std::optional<QString> ChatAPI::inviteCode(const QUrl &url)
{
    const QString host = url.host();
    if (host.isEmpty())
        return std::nullopt;
    if (host.toLower() != serviceHost())
        return std::nullopt;

    const QStringList pieces = url.path(QUrl::FullyDecoded).split(u'/', Qt::SkipEmptyParts);
    if (pieces.size() != 2 || pieces.at(0) != QLatin1String("i"))
        return std::nullopt;

    static const QRegularExpression code(QStringLiteral("^[A-Za-z0-9_-]{16,128}$"));
    const QString candidate = pieces.at(1);
    // QRegularExpression's $ also matches before a final newline; the code may hold none.
    if (candidate.contains(u'\n') || !code.match(candidate).hasMatch())
        return std::nullopt;
    return candidate;
}
