#include "api/JsonCursor.h"

#include "api/WireJson.h"

#include <array>
#include <cstring>

namespace {

// The bytes that end a run of plain ASCII inside a string: the quote, the backslash, control
// characters and every byte above ASCII.
constexpr auto kEndsPlainRun = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = c == '"' || c == '\\' || c < 0x20 || c >= 0x80;
    return table;
}();

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The four hexadecimal digits of a \u escape at `p`, or -1.
int escapedUnit(const char *p)
{
    int unit = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = wireHexDigit(char16_t(uchar(p[i])));
        if (digit < 0)
            return -1;
        unit = unit << 4 | digit;
    }
    return unit;
}

// The length of the well-formed UTF-8 sequence of a character above ASCII at `p`, or 0 for a
// malformed one (overlong, a surrogate, beyond U+10FFFF, cut short) and for a noncharacter,
// which is left to the general decoder.
int sequenceLength(const uchar *p, const uchar *end)
{
    const uchar lead = p[0];
    int length = 0;
    char32_t code = 0;
    uchar low = 0x80;
    uchar high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        const uchar c = p[i];
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF))
            return 0;
        code = code << 6 | (c & 0x3F);
    }
    if ((code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE)
        return 0;
    return length;
}

// The character a one-letter escape stands for, or 0.
char16_t escapedChar(char c)
{
    switch (c) {
    case '"':
        return u'"';
    case '\\':
        return u'\\';
    case '/':
        return u'/';
    case 'b':
        return u'\b';
    case 'f':
        return u'\f';
    case 'n':
        return u'\n';
    case 'r':
        return u'\r';
    case 't':
        return u'\t';
    default:
        return 0;
    }
}

// The text of a checked string body: escapes and UTF-8 sequences decoded. A decoder of its own,
// as QString::fromUtf8() would drop a byte-order mark at the start of a run.
QString decodeText(const char *p, const char *end)
{
    QString out(end - p, Qt::Uninitialized); // never more UTF-16 units than bytes
    char16_t *to = reinterpret_cast<char16_t *>(out.data());
    while (p < end) {
        const uchar c = uchar(*p);
        if (c == '\\') {
            if (p[1] == 'u') {
                *to++ = char16_t(escapedUnit(p + 2));
                p += 6;
            } else {
                *to++ = escapedChar(p[1]);
                p += 2;
            }
        } else if (c < 0x80) {
            *to++ = c;
            ++p;
        } else if (c < 0xE0) {
            *to++ = char16_t((c & 0x1F) << 6 | (p[1] & 0x3F));
            p += 2;
        } else if (c < 0xF0) {
            *to++ = char16_t((c & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F));
            p += 3;
        } else {
            const char32_t code = char32_t(c & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12
                | char32_t(p[2] & 0x3F) << 6 | char32_t(p[3] & 0x3F);
            *to++ = QChar::highSurrogate(code);
            *to++ = QChar::lowSurrogate(code);
            p += 4;
        }
    }
    out.truncate(to - reinterpret_cast<const char16_t *>(out.constData()));
    return out;
}

} // namespace

bool JsonCursor::atEnd()
{
    skipSpace();
    return m_at == m_end;
}

bool JsonCursor::string(StringSpan &span)
{
    if (!take('"'))
        return false;
    span = StringSpan{m_at, nullptr, false, false};
    const char *p = m_at;
    while (p != m_end) {
        // Most of a text is plain ASCII: one table look-up per byte passes over it.
        while (p != m_end && !kEndsPlainRun[uchar(*p)])
            ++p;
        if (p == m_end)
            break;
        const uchar c = uchar(*p);
        if (c == '"') {
            span.end = p;
            m_at = p + 1;
            return true;
        }
        if (c == '\\') {
            if (m_end - p < 2)
                return false;
            if (p[1] == 'u') {
                if (m_end - p < 6 || escapedUnit(p + 2) < 0)
                    return false;
                p += 6;
            } else {
                if (!escapedChar(p[1]))
                    return false;
                p += 2;
            }
            span.escaped = true;
        } else if (c < 0x20) {
            return false;
        } else {
            const int length = sequenceLength(reinterpret_cast<const uchar *>(p),
                                              reinterpret_cast<const uchar *>(m_end));
            if (!length)
                return false;
            p += length;
            span.wide = true;
        }
    }
    return false;
}

bool JsonCursor::key(QByteArrayView &out)
{
    return plain(out) && take(':');
}

bool JsonCursor::plain(QByteArrayView &out)
{
    StringSpan span;
    if (!string(span) || span.escaped || span.wide)
        return false;
    out = QByteArrayView(span.begin, span.end);
    return true;
}

bool JsonCursor::text(QString &out)
{
    return text(out, nullptr, 0);
}

bool JsonCursor::text(QString &out, const QString *shared, qsizetype count)
{
    StringSpan span;
    if (!string(span))
        return false;
    if (span.escaped || span.wide) {
        // The document reader drops a byte-order mark that opens a text without escapes and
        // keeps it otherwise: such texts are left to it.
        if (span.wide && span.end - span.begin >= 3
            && std::memcmp(span.begin, "\xef\xbb\xbf", 3) == 0)
            return false;
        out = decodeText(span.begin, span.end);
        return true;
    }
    const QLatin1StringView plainText(span.begin, span.end);
    for (const QString *s = shared; s != shared + count; ++s) {
        if (s->size() == plainText.size() && *s == plainText) {
            out = *s;
            return true;
        }
    }
    out = QString(plainText);
    return true;
}

bool JsonCursor::uuid(QUuid &out)
{
    QByteArrayView bytes;
    if (!plain(bytes))
        return false;
    const auto id = parseWireUuid(bytes);
    if (!id)
        return false;
    out = *id;
    return true;
}

bool JsonCursor::integer(qint64 &out)
{
    skipSpace();
    const char *p = m_at;
    const bool negative = p != m_end && *p == '-';
    if (negative)
        ++p;
    const char *digits = p;
    while (p != m_end && isDigit(*p))
        ++p;
    const qsizetype count = p - digits;
    // A leading zero, "-0", a fraction, an exponent or a long number: the general decoder
    // knows how each of those reads.
    if (count == 0 || count > 15 || (*digits == '0' && (count > 1 || negative)))
        return false;
    if (p != m_end && (*p == '.' || *p == 'e' || *p == 'E'))
        return false;
    qint64 value = 0;
    for (const char *d = digits; d != p; ++d)
        value = value * 10 + (*d - '0');
    out = negative ? -value : value;
    m_at = p;
    return true;
}

bool JsonCursor::literal(const char *word, qsizetype size)
{
    skipSpace();
    if (m_end - m_at < size || std::memcmp(m_at, word, size) != 0)
        return false;
    m_at += size;
    return true;
}

bool JsonCursor::flag(bool &out)
{
    if (literal("true", 4)) {
        out = true;
        return true;
    }
    if (literal("false", 5)) {
        out = false;
        return true;
    }
    return false;
}

bool JsonCursor::null()
{
    return literal("null", 4);
}

bool JsonCursor::skipValue(int depth)
{
    skipSpace();
    if (m_at == m_end)
        return false;
    switch (*m_at) {
    case '"': {
        StringSpan span;
        return string(span);
    }
    case '{':
        if (depth >= kMaxDepth)
            return false;
        return members([&](QByteArrayView) { return skipValue(depth + 1); });
    case '[':
        if (depth >= kMaxDepth)
            return false;
        return elements([&] { return skipValue(depth + 1); });
    case 't':
    case 'f': {
        bool ignored;
        return flag(ignored);
    }
    case 'n':
        return null();
    default: {
        qint64 ignored;
        return integer(ignored);
    }
    }
}
