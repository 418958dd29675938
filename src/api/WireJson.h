#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <array>
#include <optional>

// Strict readers for the service's JSON, shared by the wire decoders and the socket.

// snake_case to lowerCamelCase: split at underscores, lower-case the first word, capitalise the
// later ones; leading and trailing underscores stay; a key without inner underscores is kept.
QString snakeToCamel(const QString &key);

// The value of one hexadecimal digit, either case; -1 for any other character. Inline and by
// table, as every UUID of an answer passes 32 digits through it.
inline int wireHexDigit(char16_t c)
{
    static constexpr auto digits = [] {
        std::array<signed char, 128> table{};
        for (int i = 0; i < 128; ++i) {
            table[i] = i >= '0' && i <= '9' ? i - '0'
                : i >= 'a' && i <= 'f'      ? i - 'a' + 10
                : i >= 'A' && i <= 'F'      ? i - 'A' + 10
                                            : -1;
        }
        return table;
    }();
    return c < 128 ? digits[c] : -1;
}

// A UUID in the canonical 8-4-4-4-12 hexadecimal form, either case; nothing otherwise.
std::optional<QUuid> parseWireUuid(const QString &text);
std::optional<QUuid> parseWireUuid(QByteArrayView ascii);
std::optional<QUuid> parseWireUuid(const QJsonValue &value);

// A JSON number with an integral value that fits 64 bits; nothing otherwise.
std::optional<qint64> wireInteger(const QJsonValue &value);

// One JSON object viewed through its field names. Every reader answers false when the field
// fails (required: absent, null or of the wrong type; optional: present with the wrong type).
class WireObject
{
public:
    enum class Keys { snakeCase, asIs };

    static std::optional<WireObject> from(const QJsonValue &value, Keys keys = Keys::snakeCase);

    QJsonValue value(const QString &name) const;
    bool has(const QString &name) const;

    bool text(const QString &name, QString &out) const;
    bool text(const QString &name, std::optional<QString> &out) const;
    bool uuid(const QString &name, QUuid &out) const;
    bool uuid(const QString &name, std::optional<QUuid> &out) const;
    bool integer(const QString &name, qint64 &out) const;
    bool flag(const QString &name, bool &out) const;
    bool flag(const QString &name, std::optional<bool> &out) const;

    template<typename T>
    bool object(const QString &name, T &out) const
    {
        auto decoded = T::fromJson(value(name));
        if (!decoded)
            return false;
        out = std::move(*decoded);
        return true;
    }

    template<typename T>
    bool object(const QString &name, std::optional<T> &out) const
    {
        const QJsonValue v = value(name);
        if (v.isUndefined() || v.isNull()) {
            out.reset();
            return true;
        }
        auto decoded = T::fromJson(v);
        if (!decoded)
            return false;
        out = std::move(*decoded);
        return true;
    }

    template<typename T>
    bool array(const QString &name, QList<T> &out) const
    {
        return decodeArray(value(name), out);
    }

    template<typename T>
    bool array(const QString &name, std::optional<QList<T>> &out) const
    {
        const QJsonValue v = value(name);
        if (v.isUndefined() || v.isNull()) {
            out.reset();
            return true;
        }
        QList<T> list;
        if (!decodeArray(v, list))
            return false;
        out = std::move(list);
        return true;
    }

    // One bad element fails the whole array.
    template<typename T>
    static bool decodeArray(const QJsonValue &value, QList<T> &out)
    {
        if (!value.isArray())
            return false;
        const QJsonArray array = value.toArray();
        QList<T> list;
        list.reserve(array.size());
        for (const QJsonValue &element : array) {
            auto decoded = T::fromJson(element);
            if (!decoded)
                return false;
            list.append(std::move(*decoded));
        }
        out = std::move(list);
        return true;
    }

private:
    // The fields in key order, each under its converted name. Service objects have a dozen
    // members: a walk finds one faster than a hash; a large object gets a hash besides.
    struct Field
    {
        QString name;
        QJsonValue value;
    };
    static constexpr qsizetype hashedFrom = 24;
    const Field *find(const QString &name) const;

    QList<Field> m_fields;
    QHash<QString, qsizetype> m_index; // only for objects of hashedFrom fields or more
};
