#include "ui/common/DisplayText.h"

#include <algorithm>
#include <utility>

namespace {

bool isDirectionControl(char32_t c)
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

} // namespace

QString DisplayText::name(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    // A run of line breaks, with the blanks around it, is one space between the words it
    // separates; at either end of the name it is nothing.
    bool inBreak = false;
    for (const char32_t c : text.toUcs4()) {
        if (isDirectionControl(c))
            continue;
        if (isLineBreak(c)) {
            inBreak = true;
            while (shown.endsWith(u' ') || shown.endsWith(u'\t'))
                shown.chop(1);
            continue;
        }
        if (inBreak && (c == u' ' || c == u'\t'))
            continue;
        if (std::exchange(inBreak, false) && !shown.isEmpty())
            shown.append(u' ');
        shown.append(QString::fromUcs4(&c, 1));
    }
    return affectsDirection(shown) ? wrapped(shown) : shown;
}

QString DisplayText::isolated(const QString &text)
{
    if (!affectsDirection(text))
        return text;
    // An isolate opened inside and not closed would swallow the closing one of ours, and a
    // closing one without its opening would end ours early: the first are closed, the second
    // (invisible anyway) left out.
    QString inner;
    inner.reserve(text.size() + 2);
    int open = 0;
    for (const QChar c : text) {
        if (c.unicode() >= 0x2066 && c.unicode() <= 0x2068) {
            ++open;
        } else if (c == popDirectionalIsolate) {
            if (open == 0)
                continue;
            --open;
        }
        inner.append(c);
    }
    return wrapped(inner + QString(open, popDirectionalIsolate));
}
