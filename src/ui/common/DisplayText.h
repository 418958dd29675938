#pragma once

#include <QString>
#include <QStringView>

// Texts that come from the service (names, message bodies) as the views show them, so that none
// can reorder the text around it or stretch a line. Only what is shown changes: stored data and
// what is sent or copied stay as they are.
class DisplayText
{
public:
    // Unicode's bidi controls: the marks (U+061C, U+200E, U+200F) and the embeddings, overrides
    // and isolates (U+202A–U+202E, U+2066–U+2069). Every view that shows text from the service
    // asks here.
    static bool isBidiControl(char32_t c);

    // A web link's text as shown: its bidi controls written out percent-encoded, as the address
    // it opens has them, so that none can reorder what is shown of it.
    static QString linkText(QStringView link);

    // A display name or room name: the embedding, override and isolate controls dropped, each
    // run of line breaks (with the blanks around it) shown as one space, and, when it holds
    // right-to-left text, isolated (U+2068 … U+2069) so that its direction stays inside it.
    static QString name(const QString &text);

    // A message body or preview shown next to other text (the reply bar, the room list, a
    // spoken description): the embedding, override and isolate controls dropped, each web link
    // written as linkText() and, when the text holds right-to-left text, each link isolated left
    // to right (U+2066 … U+2069) and the whole isolated (U+2068 … U+2069). The text reads in
    // its logical order and every address in the order of what it opens.
    static QString isolated(const QString &text);

    // A message body shown as a line of its own (a desktop notification): as isolated(), but
    // each run of line breaks (with the blanks around it) one space, and not isolated as a
    // whole, so that its own first letter still sets the direction of the line.
    static QString oneLine(const QString &text);

    static constexpr QChar leftToRightIsolate{0x2066};
    static constexpr QChar firstStrongIsolate{0x2068};
    static constexpr QChar popDirectionalIsolate{0x2069};
};
