#pragma once

#include <QByteArrayView>
#include <QString>
#include <QUuid>

// A forward reader over the UTF-8 bytes of one JSON text, for decoding the socket's frames
// straight into values without building a document first.
//
// It reads a plain subset of JSON: strings of valid UTF-8 without raw control characters or
// noncharacters, integers of at most 15 digits, literals, and containers nested at most
// kMaxDepth deep. Object keys are plain ASCII without escapes. Every reader answers false when
// the text leaves that subset or is not JSON at all; the caller then hands the whole text to
// the general decoder, which stays the reference for what a text means. A cursor never reads
// outside its bytes and holds no state but its position, so a copy marks a place to come back to.
class JsonCursor
{
public:
    static constexpr int kMaxDepth = 32;

    explicit JsonCursor(QByteArrayView bytes)
        : m_at(bytes.data())
        , m_end(bytes.data() + bytes.size())
    { }

    // Skips white space; consumes `c` when it comes next.
    bool take(char c)
    {
        skipSpace();
        if (m_at == m_end || *m_at != c)
            return false;
        ++m_at;
        return true;
    }
    // Only white space is left.
    bool atEnd();

    // An object key and its colon.
    bool key(QByteArrayView &out);
    // A string that is plain ASCII without escapes, as its bytes.
    bool plain(QByteArrayView &out);
    bool text(QString &out);
    // The same, but a text equal to one of `shared` is that one, sharing its data: for the few
    // words a field takes, read thousands of times over in one answer.
    bool text(QString &out, const QString *shared, qsizetype count);
    // A string holding a UUID in the canonical 8-4-4-4-12 form, either case.
    bool uuid(QUuid &out);
    bool integer(qint64 &out);
    bool flag(bool &out);
    // Consumes a null when one comes next.
    bool null();
    // Any value, checked and passed over.
    bool skip() { return skipValue(0); }

    // Reads an object, calling member(key) with the cursor at each value; member reads it.
    template<typename Member>
    bool members(Member &&member)
    {
        if (!take('{'))
            return false;
        if (take('}'))
            return true;
        do {
            QByteArrayView name;
            if (!key(name) || !member(name))
                return false;
        } while (take(','));
        return take('}');
    }

    // Reads an array, calling element() with the cursor at each element; element reads it.
    template<typename Element>
    bool elements(Element &&element)
    {
        if (!take('['))
            return false;
        if (take(']'))
            return true;
        do {
            if (!element())
                return false;
        } while (take(','));
        return take(']');
    }

private:
    struct StringSpan
    {
        const char *begin = nullptr;
        const char *end = nullptr; // at the closing quote
        bool escaped = false;
        bool wide = false; // holds bytes outside ASCII
    };
    bool string(StringSpan &span);
    bool literal(const char *word, qsizetype size);
    bool skipValue(int depth);
    void skipSpace()
    {
        while (m_at != m_end && (*m_at == ' ' || *m_at == '\n' || *m_at == '\t' || *m_at == '\r'))
            ++m_at;
    }

    const char *m_at;
    const char *m_end;
};
