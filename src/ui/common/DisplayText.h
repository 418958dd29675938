#pragma once

#include <QString>

// Texts that come from the service (names, message bodies) as the views show them, so that none
// can reorder the text around it or stretch a line. Only what is shown changes: stored data and
// what is sent stay as they are.
class DisplayText
{
public:
    // A display name or room name: the embedding, override and isolate controls (U+202A–U+202E,
    // U+2066–U+2069) dropped, each run of line breaks (with the blanks around it) shown as one
    // space, and, when it holds right-to-left text, isolated (U+2068 … U+2069) so that its
    // direction stays inside it.
    static QString name(const QString &text);

    // A message body or preview shown next to other text: isolated (U+2068 … U+2069) when it
    // holds anything that affects direction, with any isolate left open inside it closed first.
    static QString isolated(const QString &text);

    static constexpr QChar firstStrongIsolate{0x2068};
    static constexpr QChar popDirectionalIsolate{0x2069};
};
