#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// One web link found in a message: the range it covers in the text and the address it opens.
struct MessageLink
{
    qsizetype start = 0;
    qsizetype length = 0;
    QUrl url;

    friend bool operator==(const MessageLink &, const MessageLink &) = default;
};

// Web links in message text: addresses that start with "http://" or "https://" (any letter
// case), and bare "www." host names, which open as "http://". Trailing punctuation and an
// unbalanced closing bracket are not part of a link, nor is text right after the host that
// cannot belong to a host name (so "https://a.kr에서" links "https://a.kr"). Other schemes
// ("javascript:", "file:", "mailto:") and bare domains are never links.
class MessageLinks
{
public:
    static QList<MessageLink> find(const QString &text);

    // True for the only addresses a message link may open: http or https with a host.
    static bool isWebLink(const QUrl &url);

    // The text as rich text for a QLabel or QTextDocument: everything HTML-escaped, line
    // breaks kept, and each link an <a href> to its address.
    static QString html(const QString &text);
};
