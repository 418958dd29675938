#include "api/WireJson.h"

#include <QJsonObject>

QString snakeToCamel(const QString &key)
{
    qsizetype first = 0;
    while (first < key.size() && key.at(first) == u'_')
        ++first;
    if (first == key.size())
        return key; // empty, or nothing but underscores
    qsizetype last = key.size() - 1;
    while (key.at(last) == u'_')
        --last;

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

std::optional<QUuid> parseWireUuid(const QString &text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < 36; ++i) {
        const QChar c = text.at(i);
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != u'-')
                return std::nullopt;
        } else if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')
                     || (c >= u'A' && c <= u'F'))) {
            return std::nullopt;
        }
    }
    const QUuid id = QUuid::fromString(text);
    // The nil UUID parses too; only a malformed text gives null here, and that was ruled out.
    return id;
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
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString name = keys == Keys::snakeCase ? snakeToCamel(it.key()) : it.key();
        // Two keys that convert to the same name: the first in key order wins.
        if (!result.m_fields.contains(name))
            result.m_fields.insert(name, it.value());
    }
    return result;
}

bool WireObject::has(const QString &name) const
{
    const QJsonValue v = m_fields.value(name);
    return !v.isUndefined() && !v.isNull();
}

bool WireObject::text(const QString &name, QString &out) const
{
    const QJsonValue v = m_fields.value(name);
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

bool WireObject::text(const QString &name, std::optional<QString> &out) const
{
    const QJsonValue v = m_fields.value(name);
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
    const auto id = parseWireUuid(m_fields.value(name));
    if (!id)
        return false;
    out = *id;
    return true;
}

bool WireObject::uuid(const QString &name, std::optional<QUuid> &out) const
{
    const QJsonValue v = m_fields.value(name);
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
    const auto n = wireInteger(m_fields.value(name));
    if (!n)
        return false;
    out = *n;
    return true;
}

bool WireObject::flag(const QString &name, bool &out) const
{
    const QJsonValue v = m_fields.value(name);
    if (!v.isBool())
        return false;
    out = v.toBool();
    return true;
}

bool WireObject::flag(const QString &name, std::optional<bool> &out) const
{
    const QJsonValue v = m_fields.value(name);
    if (v.isUndefined() || v.isNull()) {
        out.reset();
        return true;
    }
    if (!v.isBool())
        return false;
    out = v.toBool();
    return true;
}
