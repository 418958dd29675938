#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHashFunctions>
#include <QString>
#include <QUuid>

#include <optional>

// Texts are equal when they are canonically equivalent Unicode ("é" precomposed equals "e" with
// a combining accent). Most texts compare equal or unequal as they are; only a raw mismatch pays
// for normalization.
bool sameText(const QString &a, const QString &b);
bool sameText(const std::optional<QString> &a, const std::optional<QString> &b);

// Hashes the canonical (NFC) form, so that texts equal by sameText hash alike.
size_t hashText(const QString &text, size_t seed);

// Feeds values into one hash, in order. An optional adds a presence flag, then its value.
class HashFeed
{
public:
    explicit HashFeed(size_t seed)
        : m_hash(seed)
    { }

    template<typename T>
    HashFeed &add(const T &value)
    {
        return mix(qHash(value, 0));
    }
    HashFeed &addText(const QString &text) { return mix(hashText(text, 0)); }
    HashFeed &addText(const std::optional<QString> &text)
    {
        mix(text ? 1 : 0);
        return text ? addText(*text) : *this;
    }
    template<typename T>
    HashFeed &add(const std::optional<T> &value)
    {
        mix(value ? 1 : 0);
        return value ? add(*value) : *this;
    }

    size_t result() const { return m_hash; }

private:
    HashFeed &mix(size_t h)
    {
        m_hash ^= h + size_t(0x9e3779b97f4a7c15ULL) + (m_hash << 6) + (m_hash >> 2);
        return *this;
    }

    size_t m_hash;
};
