#pragma once

#include "api/WireTypes.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QUuid>

#include <optional>

// Decodes answer bodies as the service sends them (snake_case keys). Every function answers
// nothing when the bytes are not JSON or do not decode as the type; none throws.
class ApiDecoder
{
public:
    template<typename T>
    static std::optional<T> decode(const QByteArray &bytes)
    {
        const auto value = parse(bytes);
        if (!value)
            return std::nullopt;
        return T::fromJson(*value);
    }

    // The JSON value of the bytes, or nothing when they are not JSON.
    static std::optional<QJsonValue> parse(const QByteArray &bytes);

    // How a page is read. `direct` reads a page of the plain common form straight from its
    // bytes and answers nothing for any other page; `document` reads every page through a JSON
    // document and is the reference for what a page means; `any` tries the first, then the
    // second, and is what callers use.
    enum class Reader { any, direct, document };

    // One-member envelopes of lists.
    static std::optional<QList<APIConversation>> conversationPage(const QByteArray &bytes,
                                                                  Reader reader = Reader::any);
    static std::optional<QList<APIMessage>> messagePage(const QByteArray &bytes,
                                                        Reader reader = Reader::any);
    static std::optional<QList<SyncRoom>> syncPage(const QByteArray &bytes,
                                                   Reader reader = Reader::any);

    // One-member envelopes.
    static std::optional<QUuid> conversationRef(const QByteArray &bytes); // "conversation_id"
    static std::optional<QUuid> resourceId(const QByteArray &bytes); // "id"
    static std::optional<QString> inviteCode(const QByteArray &bytes); // "code"
    static std::optional<bool> blockedFlag(const QByteArray &bytes); // "blocked"
};
