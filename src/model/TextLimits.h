#pragma once

#include <QString>

// Text limits count user-perceived characters (grapheme clusters), so that an emoji with
// modifiers or a Hangul syllable in decomposed form counts as one.

// Number of user-perceived characters in `text`.
int graphemeCount(const QString &text);

// The first `n` user-perceived characters of `text` (all of it when it has fewer; empty for
// n <= 0). Never cuts a character in half.
QString firstGraphemes(const QString &text, int n);

// `text` when it has at most `n` user-perceived characters; otherwise its first n - 1 followed
// by "…", n characters in all. For n <= 0, empty.
QString shortenedText(const QString &text, int n);

// `text` without white space and line breaks (any Unicode kind) at both ends.
QString trimmedText(const QString &text);
