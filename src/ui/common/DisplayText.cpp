#include "ui/common/DisplayText.h"

#include "ui/common/MessageLinks.h"

#include <QUrl>

#include <algorithm>
#include <utility>

namespace {

// The controls that reorder the text after them up to their end or the paragraph's: the
// embeddings, overrides and isolates. The marks are single invisible letters of one direction
// and reorder nothing beyond the neutral characters next to them.
bool isDirectionFormat(char32_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool isLineBreak(char32_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x0B || c == 0x0C || c == 0x85 || c == 0x2028
        || c == 0x2029;
}

// Whether the text holds a right-to-left letter, an Arabic number or a direction control:
// only such text can reorder what surrounds it.
bool affectsDirection(const QString &text)
{
    static constexpr QChar::Direction directional[] = {
        QChar::DirR,   QChar::DirAL,  QChar::DirAN,  QChar::DirRLE, QChar::DirRLO, QChar::DirLRE,
        QChar::DirLRO, QChar::DirPDF, QChar::DirRLI, QChar::DirLRI, QChar::DirFSI, QChar::DirPDI};
    const QList<uint> letters = text.toUcs4();
    return std::any_of(letters.begin(), letters.end(), [](uint c) {
        return std::ranges::find(directional, QChar::direction(c)) != std::end(directional);
    });
}

QString wrapped(const QString &text)
{
    return DisplayText::firstStrongIsolate + text + DisplayText::popDirectionalIsolate;
}

struct Shaping
{
    bool isolateLinks = false; // each link between U+2066 and U+2069
    bool oneLine = false; // a run of line breaks, with the blanks around it, is one space
};

// The text without its embedding, override and isolate controls, its links (ranges of `text`,
// in order) written as DisplayText::linkText(). The controls are dropped without a trace, so
// that the letters on either side meet as they were typed; folded line breaks become one space
// between the words they separated and nothing at either end.
QString shaped(const QString &text, const QList<MessageLink> &links, Shaping shaping)
{
    QString shown;
    shown.reserve(text.size() + 2 * links.size());
    bool inBreak = false;
    const auto beforeWord = [&] {
        if (std::exchange(inBreak, false) && !shown.isEmpty())
            shown.append(u' ');
    };
    auto link = links.cbegin();
    qsizetype position = 0;
    while (position < text.size()) {
        if (link != links.cend() && link->start == position) {
            // A link never holds a blank or a line break.
            beforeWord();
            if (shaping.isolateLinks)
                shown.append(DisplayText::leftToRightIsolate);
            shown.append(DisplayText::linkText(QStringView(text).sliced(position, link->length)));
            if (shaping.isolateLinks)
                shown.append(DisplayText::popDirectionalIsolate);
            position += link->length;
            ++link;
            continue;
        }
        // Every control and line break lies in the BMP: a surrogate passes through unchanged.
        const QChar c = text.at(position++);
        if (isDirectionFormat(c.unicode()))
            continue;
        if (shaping.oneLine) {
            if (isLineBreak(c.unicode())) {
                inBreak = true;
                while (shown.endsWith(u' ') || shown.endsWith(u'\t'))
                    shown.chop(1);
                continue;
            }
            if (inBreak && (c == u' ' || c == u'\t'))
                continue;
            beforeWord();
        }
        shown.append(c);
    }
    return shown;
}

// A body with its controls dropped and its links written out; when right-to-left text is left,
// each link is isolated left to right so that the text around cannot move its parts.
QString shapedBody(const QString &text, bool oneLine)
{
    const QList<MessageLink> links = MessageLinks::find(text);
    const QString plain = shaped(text, links, {false, oneLine});
    if (links.isEmpty() || !affectsDirection(plain))
        return plain;
    return shaped(text, links, {true, oneLine});
}

} // namespace

bool DisplayText::isBidiControl(char32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || isDirectionFormat(c);
}

QString DisplayText::linkText(QStringView link)
{
    QString shown;
    shown.reserve(link.size());
    for (const QChar c : link) {
        if (isBidiControl(c.unicode()))
            shown.append(QString::fromLatin1(QUrl::toPercentEncoding(QString(c))));
        else
            shown.append(c);
    }
    return shown;
}

QString DisplayText::name(const QString &text)
{
    const QString shown = shaped(text, {}, {false, true});
    return affectsDirection(shown) ? wrapped(shown) : shown;
}

QString DisplayText::isolated(const QString &text)
{
    if (!affectsDirection(text))
        return text;
    const QString shown = shapedBody(text, false);
    return affectsDirection(shown) ? wrapped(shown) : shown;
}

QString DisplayText::oneLine(const QString &text)
{
    return shapedBody(text, true);
}
