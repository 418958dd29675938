#include "model/JsonFields.h"

namespace {

bool isHex(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// `text` at `pos` holds `count` ASCII digits; gives their value.
std::optional<int> digits(QStringView text, qsizetype pos, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = text.at(pos + i);
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// "key" + the inner record's error, which either names a member of its own ("pinned: missing")
// or is about the inner value as a whole ("expected an object, found null").
QString nestError(const QString &prefix, const QString &inner)
{
    return prefix
        + (inner.startsWith(QLatin1String("expected")) ? QStringLiteral(": ") : QStringLiteral("."))
        + inner;
}

QString describe(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a text");
    case QJsonValue::Array:
        return QStringLiteral("a list");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

} // namespace

QString uuidText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> uuidFromText(QStringView text)
{
    // QUuid itself also takes braces and silently gives the null UUID for garbage, so the
    // form is checked here first.
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text.at(i) != u'-' : !isHex(text.at(i)))
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

bool hasTimeText(const QDateTime &utc)
{
    // The form has four digits for the year and no sign.
    const int year = utc.date().year();
    return year >= 1 && year <= 9999;
}

std::optional<QString> timeText(const QDateTime &time)
{
    if (!time.isValid())
        return std::nullopt;
    const QDateTime utc = time.toUTC();
    if (!hasTimeText(utc))
        return std::nullopt;
    // Whole seconds only: the format has no fraction, so the milliseconds are cut off.
    return utc.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

std::optional<QDateTime> timeFromText(QStringView text)
{
    // yyyy-MM-ddTHH:mm:ss followed by Z or +hh:mm / -hh:mm
    if (text.size() != 20 && text.size() != 25)
        return std::nullopt;
    if (text.at(4) != u'-' || text.at(7) != u'-' || (text.at(10) != u'T' && text.at(10) != u't')
        || text.at(13) != u':' || text.at(16) != u':')
        return std::nullopt;
    const auto year = digits(text, 0, 4);
    const auto month = digits(text, 5, 2);
    const auto day = digits(text, 8, 2);
    const auto hour = digits(text, 11, 2);
    const auto minute = digits(text, 14, 2);
    const auto second = digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second)
        return std::nullopt;
    int offsetSeconds = 0;
    if (text.size() == 20) {
        if (text.at(19) != u'Z' && text.at(19) != u'z')
            return std::nullopt;
    } else {
        const QChar sign = text.at(19);
        if ((sign != u'+' && sign != u'-') || text.at(22) != u':')
            return std::nullopt;
        const auto oh = digits(text, 20, 2);
        const auto om = digits(text, 23, 2);
        if (!oh || !om || *oh > 23 || *om > 59)
            return std::nullopt;
        offsetSeconds = (*oh * 3600 + *om * 60) * (sign == u'-' ? -1 : 1);
    }
    const QDate date(*year, *month, *day);
    const QTime clock(*hour, *minute, *second);
    if (*year < 1 || !date.isValid() || !clock.isValid())
        return std::nullopt;
    const QDateTime utc = QDateTime(date, clock, Qt::OffsetFromUTC, offsetSeconds).toUTC();
    // An offset can carry a time written in year 9999 or 0001 over the edge of the form; such
    // a time could be read but never written back, and every later save would fail.
    if (!utc.isValid() || !hasTimeText(utc))
        return std::nullopt;
    return utc;
}

QString bytesText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64Encoding));
}

std::optional<QByteArray> bytesFromText(QStringView text)
{
    // Padded standard Base64 only: whole groups of four, alphabet A-Z a-z 0-9 + /, and at most
    // two "=" at the very end.
    if (text.size() % 4 != 0)
        return std::nullopt;
    qsizetype padding = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool alpha = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')
            || (c >= '0' && c <= '9') || c == '+' || c == '/';
        if (c == '=') {
            ++padding;
        } else if (!alpha || padding > 0) {
            return std::nullopt;
        }
    }
    if (padding > 2)
        return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(
        text.toLatin1(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return std::move(decoded.decoded);
}

// ---------------------------------------------------------------------------------------------

JsonReader::JsonReader(const QJsonValue &value)
{
    if (value.isObject())
        m_object = value.toObject();
    else
        m_error = QStringLiteral("expected an object, found %1").arg(describe(value));
}

QJsonValue JsonReader::required(const char *key)
{
    if (!ok())
        return {};
    const QJsonValue v = m_object.value(QLatin1String(key));
    if (v.isUndefined())
        fail(key, QStringLiteral("missing"));
    else if (v.isNull())
        fail(key, QStringLiteral("null where a value is required"));
    return v;
}

QJsonValue JsonReader::optional(const char *key)
{
    if (!ok())
        return {};
    return m_object.value(QLatin1String(key));
}

void JsonReader::fail(const char *key, const QString &what, bool nested)
{
    if (!ok())
        return;
    m_error = nested ? nestError(QLatin1String(key), what)
                     : QString(QLatin1String(key)) + QStringLiteral(": ") + what;
}

void JsonReader::failAt(const char *key, qsizetype index, const QString &inner)
{
    if (!ok())
        return;
    m_error = nestError(QStringLiteral("%1[%2]").arg(QLatin1String(key)).arg(index), inner);
}

bool JsonReader::finish(QString *error) const
{
    if (!ok() && error)
        *error = m_error;
    return ok();
}

QUuid JsonReader::uuid(const char *key)
{
    const QJsonValue v = required(key);
    if (!ok())
        return {};
    if (!v.isString())
        return fail(key, QStringLiteral("expected a UUID text, found %1").arg(describe(v))),
               QUuid();
    const std::optional<QUuid> id = uuidFromText(v.toString());
    if (!id)
        return fail(key, QStringLiteral("malformed UUID \"%1\"").arg(v.toString())), QUuid();
    return *id;
}

std::optional<QUuid> JsonReader::optionalUuid(const char *key)
{
    const QJsonValue v = optional(key);
    if (!ok() || v.isNull() || v.isUndefined())
        return std::nullopt;
    return uuid(key);
}

QList<QUuid> JsonReader::uuidList(const char *key)
{
    const QJsonValue v = required(key);
    if (!ok())
        return {};
    if (!v.isArray())
        return fail(key, QStringLiteral("expected a list, found %1").arg(describe(v))),
               QList<QUuid>();
    const QJsonArray array = v.toArray();
    QList<QUuid> out;
    out.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QJsonValue e = array.at(i);
        const std::optional<QUuid> id = e.isString() ? uuidFromText(e.toString()) : std::nullopt;
        if (!id) {
            failAt(key, i, QStringLiteral("expected a UUID text"));
            return {};
        }
        out.append(*id);
    }
    return out;
}

QString JsonReader::text(const char *key)
{
    const QJsonValue v = required(key);
    if (!ok())
        return {};
    if (!v.isString())
        return fail(key, QStringLiteral("expected a text, found %1").arg(describe(v))), QString();
    return v.toString();
}

std::optional<QString> JsonReader::optionalText(const char *key)
{
    const QJsonValue v = optional(key);
    if (!ok() || v.isNull() || v.isUndefined())
        return std::nullopt;
    return text(key);
}

QByteArray JsonReader::bytes(const char *key)
{
    const QJsonValue v = required(key);
    if (!ok())
        return {};
    if (!v.isString())
        return fail(key, QStringLiteral("expected Base64 text, found %1").arg(describe(v))),
               QByteArray();
    std::optional<QByteArray> b = bytesFromText(v.toString());
    if (!b)
        return fail(key, QStringLiteral("malformed Base64 text")), QByteArray();
    return *b;
}

std::optional<QByteArray> JsonReader::optionalBytes(const char *key)
{
    const QJsonValue v = optional(key);
    if (!ok() || v.isNull() || v.isUndefined())
        return std::nullopt;
    QByteArray b = bytes(key);
    if (!ok())
        return std::nullopt;
    return b;
}

QDateTime JsonReader::time(const char *key)
{
    const QJsonValue v = required(key);
    if (!ok())
        return {};
    if (!v.isString())
        return fail(key, QStringLiteral("expected a time text, found %1").arg(describe(v))),
               QDateTime();
    const std::optional<QDateTime> t = timeFromText(v.toString());
    if (!t)
        return fail(key, QStringLiteral("malformed time \"%1\"").arg(v.toString())), QDateTime();
    return *t;
}

std::optional<QDateTime> JsonReader::optionalTime(const char *key)
{
    const QJsonValue v = optional(key);
    if (!ok() || v.isNull() || v.isUndefined())
        return std::nullopt;
    QDateTime t = time(key);
    if (!ok())
        return std::nullopt;
    return t;
}

bool JsonReader::boolean(const char *key)
{
    const QJsonValue v = required(key);
    if (!ok())
        return false;
    if (!v.isBool())
        return fail(key, QStringLiteral("expected a boolean, found %1").arg(describe(v))), false;
    return v.toBool();
}

std::optional<bool> JsonReader::optionalBoolean(const char *key)
{
    const QJsonValue v = optional(key);
    if (!ok() || v.isNull() || v.isUndefined())
        return std::nullopt;
    const bool b = boolean(key);
    if (!ok())
        return std::nullopt;
    return b;
}

qint64 JsonReader::int64(const char *key)
{
    const QJsonValue v = required(key);
    if (!ok())
        return 0;
    if (!v.isDouble())
        return fail(key, QStringLiteral("expected an integer, found %1").arg(describe(v))), 0;
    // toInteger gives its fallback for a fraction or a value outside qint64; two different
    // fallbacks tell that case apart from a genuine 0 or 1.
    const qint64 a = v.toInteger(0);
    const qint64 b = v.toInteger(1);
    if (a != b)
        return fail(key, QStringLiteral("expected an integer, found %1").arg(v.toDouble())), 0;
    return a;
}

// ---------------------------------------------------------------------------------------------

void JsonWriter::fail(const char *key, const QString &what, bool nested)
{
    if (!ok())
        return;
    m_error = nested ? nestError(QLatin1String(key), what)
                     : QString(QLatin1String(key)) + QStringLiteral(": ") + what;
}

void JsonWriter::failAt(const char *key, qsizetype index, const QString &inner)
{
    if (!ok())
        return;
    m_error = nestError(QStringLiteral("%1[%2]").arg(QLatin1String(key)).arg(index), inner);
}

std::optional<QJsonObject> JsonWriter::finish(QString *error) const
{
    if (!ok()) {
        if (error)
            *error = m_error;
        return std::nullopt;
    }
    return m_object;
}

void JsonWriter::uuid(const char *key, const QUuid &value)
{
    m_object.insert(QLatin1String(key), uuidText(value));
}

void JsonWriter::optionalUuid(const char *key, const std::optional<QUuid> &value)
{
    if (value)
        uuid(key, *value);
}

void JsonWriter::uuidList(const char *key, const QList<QUuid> &values)
{
    QJsonArray array;
    for (const QUuid &id : values)
        array.append(uuidText(id));
    m_object.insert(QLatin1String(key), array);
}

void JsonWriter::text(const char *key, const QString &value)
{
    m_object.insert(QLatin1String(key), value);
}

void JsonWriter::optionalText(const char *key, const std::optional<QString> &value)
{
    if (value)
        text(key, *value);
}

void JsonWriter::bytes(const char *key, const QByteArray &value)
{
    m_object.insert(QLatin1String(key), bytesText(value));
}

void JsonWriter::optionalBytes(const char *key, const std::optional<QByteArray> &value)
{
    if (value)
        bytes(key, *value);
}

void JsonWriter::time(const char *key, const QDateTime &value)
{
    const std::optional<QString> t = timeText(value);
    if (!t)
        return fail(key,
                    value.isValid() ? QStringLiteral("time outside the years 0001-9999")
                                    : QStringLiteral("invalid time"));
    m_object.insert(QLatin1String(key), *t);
}

void JsonWriter::optionalTime(const char *key, const std::optional<QDateTime> &value)
{
    if (value)
        time(key, *value);
}

void JsonWriter::boolean(const char *key, bool value)
{
    m_object.insert(QLatin1String(key), value);
}

void JsonWriter::int64(const char *key, qint64 value)
{
    m_object.insert(QLatin1String(key), QJsonValue(value));
}
