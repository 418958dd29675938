#include "model/TextLimits.h"

#include <QTextBoundaryFinder>

int graphemeCount(const QString &text)
{
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QString firstGraphemes(const QString &text, int n)
{
    if (n <= 0 || text.isEmpty())
        return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (int i = 0; i < n; ++i) {
        const qsizetype next = finder.toNextBoundary();
        if (next == -1)
            return text;
        end = next;
    }
    return text.left(end);
}

QString shortenedText(const QString &text, int n)
{
    if (n <= 0)
        return {};
    const QString head = firstGraphemes(text, n);
    if (head.size() == text.size())
        return text;
    return firstGraphemes(head, n - 1) + QChar(0x2026);
}

QString trimmedText(const QString &text)
{
    // QString::trimmed drops every QChar::isSpace character: the Unicode separators (Zs, Zl, Zp,
    // e.g. U+00A0, U+3000, U+2028) and the controls U+0009-U+000D and U+0085. All of them lie in
    // the BMP, so working on UTF-16 units cannot split a surrogate pair.
    return text.trimmed();
}

bool isValidDisplayName(const QString &trimmedName)
{
    const int count = graphemeCount(trimmedName);
    return count >= 1 && count <= TextLimit::displayName;
}
