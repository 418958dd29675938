#pragma once

#include "model/Enums.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// The text forms the store document uses for values JSON has no type for, and the small readers
// and writers the records are built from.

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" in upper case.
QString uuidText(const QUuid &id);
// The 36-character hyphenated form in either case; anything else (braces included) is nothing.
std::optional<QUuid> uuidFromText(QStringView text);

// "yyyy-MM-ddTHH:mm:ssZ" in UTC; a fraction of a second is dropped. Nothing for an invalid
// time or a year outside 0001-9999, which have no such form.
std::optional<QString> timeText(const QDateTime &time);
// The same form; a numeric offset ("+09:00") in place of "Z" is also taken. Gives UTC, and
// nothing when the time in UTC falls outside the years 0001-9999.
std::optional<QDateTime> timeFromText(QStringView text);
// Whether timeText() has a form for the UTC time `utc`: its year is within 0001-9999.
bool hasTimeText(const QDateTime &utc);

// Standard Base64 with padding, no line breaks.
QString bytesText(const QByteArray &bytes);
std::optional<QByteArray> bytesFromText(QStringView text);

// Reads the members of one JSON object. The first failure is kept and every later read is a
// no-op that returns a default value, so a record's reading is a straight list of fields followed
// by one check of ok().
class JsonReader
{
public:
    explicit JsonReader(const QJsonValue &value);

    bool ok() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }

    QUuid uuid(const char *key);
    std::optional<QUuid> optionalUuid(const char *key);
    QList<QUuid> uuidList(const char *key);
    QString text(const char *key);
    std::optional<QString> optionalText(const char *key);
    QByteArray bytes(const char *key);
    std::optional<QByteArray> optionalBytes(const char *key);
    QDateTime time(const char *key);
    std::optional<QDateTime> optionalTime(const char *key);
    bool boolean(const char *key);
    std::optional<bool> optionalBoolean(const char *key);
    qint64 int64(const char *key);

    template<typename E>
    E enumeration(const char *key)
    {
        const QJsonValue v = required(key);
        if (!ok())
            return E{};
        if (!v.isString())
            return fail(key, QStringLiteral("expected a text")), E{};
        const std::optional<E> e = fromRawText<E>(v.toString());
        if (!e)
            return fail(key, QStringLiteral("unknown value \"%1\"").arg(v.toString())), E{};
        return *e;
    }

    // A record read by T::fromJson(value, &error).
    template<typename T>
    std::optional<T> optionalRecord(const char *key)
    {
        const QJsonValue v = optional(key);
        if (!ok() || v.isNull() || v.isUndefined())
            return std::nullopt;
        QString inner;
        std::optional<T> r = T::fromJson(v, &inner);
        if (!r)
            fail(key, inner, true);
        return r;
    }

    template<typename T>
    QList<T> list(const char *key)
    {
        const QJsonValue v = required(key);
        if (!ok())
            return {};
        if (!v.isArray())
            return fail(key, QStringLiteral("expected a list")), QList<T>{};
        const QJsonArray array = v.toArray();
        QList<T> out;
        out.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            QString inner;
            std::optional<T> r = T::fromJson(array.at(i), &inner);
            if (!r) {
                failAt(key, i, inner);
                return {};
            }
            out.append(std::move(*r));
        }
        return out;
    }

    // Records the failure `what` at `key` (unless one is already kept). `nested` marks an
    // error text that already names a member inside `key`.
    void fail(const char *key, const QString &what, bool nested = false);

    // Writes the reason into `error` when reading failed; returns ok().
    bool finish(QString *error) const;

private:
    QJsonValue required(const char *key);
    QJsonValue optional(const char *key);
    void failAt(const char *key, qsizetype index, const QString &inner);

    QJsonObject m_object;
    QString m_error;
};

// Builds one JSON object; the first value without a text form is kept as the error.
class JsonWriter
{
public:
    bool ok() const { return m_error.isEmpty(); }

    void uuid(const char *key, const QUuid &value);
    void optionalUuid(const char *key, const std::optional<QUuid> &value);
    void uuidList(const char *key, const QList<QUuid> &values);
    void text(const char *key, const QString &value);
    void optionalText(const char *key, const std::optional<QString> &value);
    void bytes(const char *key, const QByteArray &value);
    void optionalBytes(const char *key, const std::optional<QByteArray> &value);
    void time(const char *key, const QDateTime &value);
    void optionalTime(const char *key, const std::optional<QDateTime> &value);
    void boolean(const char *key, bool value);
    void int64(const char *key, qint64 value);

    template<typename E>
    void enumeration(const char *key, E value)
    {
        text(key, rawText(value));
    }

    template<typename T>
    void optionalRecord(const char *key, const std::optional<T> &value)
    {
        if (!value)
            return;
        QString inner;
        const std::optional<QJsonObject> o = value->toJson(&inner);
        if (!o)
            return fail(key, inner, true);
        m_object.insert(QLatin1String(key), *o);
    }

    template<typename T>
    void list(const char *key, const QList<T> &values)
    {
        QJsonArray array;
        for (qsizetype i = 0; i < values.size(); ++i) {
            QString inner;
            const std::optional<QJsonObject> o = values.at(i).toJson(&inner);
            if (!o)
                return failAt(key, i, inner);
            array.append(*o);
        }
        m_object.insert(QLatin1String(key), array);
    }

    // The object built, or nothing with the reason in `error`.
    std::optional<QJsonObject> finish(QString *error) const;

private:
    void fail(const char *key, const QString &what, bool nested = false);
    void failAt(const char *key, qsizetype index, const QString &inner);

    QJsonObject m_object;
    QString m_error;
};
