#include "api/WireJson.h"

#include <QJsonObject>

#include <algorithm>

namespace {

// The conversion through words, for keys with other than ASCII characters.
QString snakeToCamelWords(const QString &key, qsizetype first, qsizetype last)
{
    const QString inner = key.mid(first, last - first + 1);
    const QStringList words = inner.split(u'_', Qt::SkipEmptyParts);
    if (words.size() <= 1)
        return key;
    QString joined = words.first().toLower();
    for (qsizetype i = 1; i < words.size(); ++i) {
        const QString &word = words.at(i);
        joined += word.left(1).toUpper() + word.mid(1).toLower();
    }
    return key.left(first) + joined + key.mid(last + 1);
}

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

char16_t asciiUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
}

} // namespace

QString snakeToCamel(const QString &key)
{
    const qsizetype size = key.size();
    const char16_t *text = reinterpret_cast<const char16_t *>(key.utf16());
    qsizetype first = 0;
    while (first < size && text[first] == u'_')
        ++first;
    if (first == size)
        return key; // empty, or nothing but underscores
    qsizetype last = size - 1;
    while (text[last] == u'_')
        --last;
    // Without an underscore between the first and the last letter there is one word only.
    const char16_t *innerEnd = text + last + 1;
    if (std::find(text + first, innerEnd, u'_') == innerEnd)
        return key;
    if (std::any_of(text + first, innerEnd, [](char16_t c) { return c >= 0x80; }))
        return snakeToCamelWords(key, first, last);

    QString joined;
    joined.reserve(size);
    joined.append(QStringView(text, first));
    bool wordStart = true;
    bool firstWord = true;
    for (qsizetype i = first; i <= last; ++i) {
        const char16_t c = text[i];
        if (c == u'_') {
            if (!wordStart)
                firstWord = false;
            wordStart = true;
            continue;
        }
        joined.append(QChar(wordStart && !firstWord ? asciiUpper(c) : asciiLower(c)));
        wordStart = false;
    }
    joined.append(QStringView(text + last + 1, size - last - 1));
    return joined;
}

namespace {

// The same reading for UTF-16 text and for ASCII bytes.
template<typename Char>
std::optional<QUuid> uuidFromText(const Char *c, qsizetype size)
{
    if (size != 36)
        return std::nullopt;
    uchar bytes[16];
    int byte = 0;
    for (qsizetype i = 0; i < 36;) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c[i] != Char('-'))
                return std::nullopt;
            ++i;
            continue;
        }
        const int high = wireHexDigit(char16_t(c[i]));
        const int low = wireHexDigit(char16_t(c[i + 1]));
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[byte++] = uchar(high << 4 | low);
        i += 2;
    }
    // The nil UUID is a valid text too.
    return QUuid::fromRfc4122(QByteArrayView(bytes, 16));
}

} // namespace

std::optional<QUuid> parseWireUuid(const QString &text)
{
    return uuidFromText(reinterpret_cast<const char16_t *>(text.utf16()), text.size());
}

std::optional<QUuid> parseWireUuid(QByteArrayView ascii)
{
    return uuidFromText(reinterpret_cast<const uchar *>(ascii.data()), ascii.size());
}

std::optional<QUuid> parseWireUuid(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    return parseWireUuid(value.toString());
}

std::optional<qint64> wireInteger(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    // toInteger() answers its default unless the number is integral and fits 64 bits: two
    // different defaults tell a real value from a refusal.
    const qint64 a = value.toInteger(0);
    const qint64 b = value.toInteger(1);
    if (a != b)
        return std::nullopt;
    return a;
}

std::optional<WireObject> WireObject::from(const QJsonValue &value, Keys keys)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    WireObject result;
    result.m_fields.reserve(object.size());
    const bool hashed = object.size() >= hashedFrom;
    if (hashed)
        result.m_index.reserve(object.size());
    for (auto it = object.begin(); it != object.end(); ++it) {
        QString name = keys == Keys::snakeCase ? snakeToCamel(it.key()) : it.key();
        // Two keys that convert to the same name: the first in key order wins.
        if (result.find(name))
            continue;
        if (hashed)
            result.m_index.insert(name, result.m_fields.size());
        result.m_fields.append(Field{std::move(name), it.value()});
    }
    return result;
}

const WireObject::Field *WireObject::find(const QString &name) const
{
    if (!m_index.isEmpty()) {
        const auto at = m_index.constFind(name);
        return at == m_index.cend() ? nullptr : &m_fields.at(*at);
    }
    for (const Field &field : m_fields) {
        if (field.name == name)
            return &field;
    }
    return nullptr;
}

QJsonValue WireObject::value(const QString &name) const
{
    const Field *field = find(name);
    return field ? field->value : QJsonValue(QJsonValue::Undefined);
}

bool WireObject::has(const QString &name) const
{
    const QJsonValue v = value(name);
    return !v.isUndefined() && !v.isNull();
}

bool WireObject::text(const QString &name, QString &out) const
{
    const QJsonValue v = value(name);
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

bool WireObject::text(const QString &name, std::optional<QString> &out) const
{
    const QJsonValue v = value(name);
    if (v.isUndefined() || v.isNull()) {
        out.reset();
        return true;
    }
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

bool WireObject::uuid(const QString &name, QUuid &out) const
{
    const auto id = parseWireUuid(value(name));
    if (!id)
        return false;
    out = *id;
    return true;
}

bool WireObject::uuid(const QString &name, std::optional<QUuid> &out) const
{
    const QJsonValue v = value(name);
    if (v.isUndefined() || v.isNull()) {
        out.reset();
        return true;
    }
    const auto id = parseWireUuid(v);
    if (!id)
        return false;
    out = *id;
    return true;
}

bool WireObject::integer(const QString &name, qint64 &out) const
{
    const auto n = wireInteger(value(name));
    if (!n)
        return false;
    out = *n;
    return true;
}

bool WireObject::flag(const QString &name, bool &out) const
{
    const QJsonValue v = value(name);
    if (!v.isBool())
        return false;
    out = v.toBool();
    return true;
}

bool WireObject::flag(const QString &name, std::optional<bool> &out) const
{
    const QJsonValue v = value(name);
    if (v.isUndefined() || v.isNull()) {
        out.reset();
        return true;
    }
    if (!v.isBool())
        return false;
    out = v.toBool();
    return true;
}
