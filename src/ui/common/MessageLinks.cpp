#include "ui/common/MessageLinks.h"

#include <QRegularExpression>

namespace {

// A scheme link's authority, or a "www." host name, then an optional path, query or fragment
// that runs to the next blank. The look-behind keeps "www." inside an e-mail address or a
// longer word from counting.
const QRegularExpression &linkPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"((?<![\w@.\-/])(?:(https?)://[A-Za-z0-9._~%@:\[\]\-]+)"
                       R"(|(?<![\w@.\-/])www\.[A-Za-z0-9\-]+(?:\.[A-Za-z0-9\-]+)+(?::[0-9]+)?))"
                       R"((?:[/?#][^\s<>"]*)?)"),
        QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

bool isTrailingPunctuation(QChar c)
{
    static const QString marks = QStringLiteral(".,:;!?'\"…。、，！？」』〉》】·~");
    return marks.contains(c);
}

// Cuts what reads as sentence punctuation from the end: full stops, commas, quotes, and closing
// brackets that have no opening partner inside the link.
qsizetype trimmedLength(QStringView link)
{
    qsizetype length = link.size();
    while (length > 0) {
        const QChar last = link.at(length - 1);
        if (isTrailingPunctuation(last)) {
            --length;
            continue;
        }
        const qsizetype closing = QStringView(u")]}").indexOf(last);
        const QStringView body = link.first(length);
        if (closing < 0 || body.count(last) <= body.count(QChar(u"([{"[closing])))
            break;
        --length;
    }
    return length;
}

} // namespace

bool MessageLinks::isWebLink(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

QList<MessageLink> MessageLinks::find(const QString &text)
{
    QList<MessageLink> links;
    auto it = linkPattern().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const qsizetype start = match.capturedStart();
        const qsizetype length = trimmedLength(match.capturedView());
        if (length <= 0)
            continue;
        const QString candidate = text.mid(start, length);
        const bool hasScheme = !match.captured(1).isEmpty();
        QUrl url(hasScheme ? candidate : QStringLiteral("http://") + candidate, QUrl::TolerantMode);
        // QUrl keeps the scheme as written; the address opened is the canonical lower case.
        url.setScheme(url.scheme().toLower());
        if (!isWebLink(url))
            continue;
        links.append({start, length, url});
    }
    return links;
}

QString MessageLinks::html(const QString &text)
{
    const auto escape = [](const QString &plain) {
        QString escaped = plain.toHtmlEscaped();
        escaped.replace(QLatin1String("\r\n"), QLatin1String("<br>"));
        escaped.replace(u'\n', QLatin1String("<br>"));
        return escaped;
    };
    // pre-wrap keeps runs of spaces as typed while still wrapping long lines.
    QString out = QStringLiteral("<span style=\"white-space: pre-wrap\">");
    qsizetype position = 0;
    for (const MessageLink &link : find(text)) {
        out += escape(text.mid(position, link.start - position));
        out += QStringLiteral("<a href=\"")
            + QString::fromLatin1(link.url.toEncoded()).toHtmlEscaped() + QStringLiteral("\">")
            + escape(text.mid(link.start, link.length)) + QStringLiteral("</a>");
        position = link.start + link.length;
    }
    out += escape(text.mid(position));
    out += QStringLiteral("</span>");
    return out;
}
