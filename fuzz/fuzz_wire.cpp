// Every decoder of service answers and of the stored session, fed arbitrary bytes.
#include "api/ApiDecoder.h"
#include "api/ChatErrors.h"
#include "api/ChatPath.h"
#include "api/WireJson.h"
#include "api/WireTypes.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    (void)ApiDecoder::decode<APIUser>(bytes);
    (void)ApiDecoder::decode<APIMessage>(bytes);
    (void)ApiDecoder::decode<AuthPayload>(bytes);
    (void)ApiDecoder::decode<InviteOpenBody>(bytes);
    (void)ApiDecoder::decode<APIFriendRequestList>(bytes);
    (void)ApiDecoder::decode<APIConversation>(bytes);
    (void)ApiDecoder::decode<SyncRoom>(bytes);
    (void)ApiDecoder::conversationPage(bytes);
    (void)ApiDecoder::messagePage(bytes);
    (void)ApiDecoder::syncPage(bytes);
    // The pages read straight from the bytes come to what the reading through a document does,
    // or leave the page to it.
    const auto sameAsDocument = [&](auto decode) {
        const auto direct = decode(bytes, ApiDecoder::Reader::direct);
        if (direct && direct != decode(bytes, ApiDecoder::Reader::document))
            std::abort();
    };
    sameAsDocument(&ApiDecoder::conversationPage);
    sameAsDocument(&ApiDecoder::messagePage);
    sameAsDocument(&ApiDecoder::syncPage);
    (void)ApiDecoder::conversationRef(bytes);
    (void)ApiDecoder::resourceId(bytes);
    (void)ApiDecoder::inviteCode(bytes);
    (void)ApiDecoder::blockedFlag(bytes);

    const ChatAPIError error = ChatAPIError::fromResponse(400, bytes);
    if (error.status != 400 || error.message.isEmpty())
        std::abort();

    // A stored session that decodes must survive its own round trip.
    if (const auto session = StoredSession::decode(bytes)) {
        const auto again = StoredSession::decode(session->encode());
        if (!again || again->accessToken != session->accessToken || !(again->user == session->user))
            std::abort();
    }

    const QString text = QString::fromUtf8(bytes);
    (void)snakeToCamel(text);
    (void)parseWireUuid(text);
    (void)ChatPath::userByHandle(text).path();
    (void)ChatPath::sync(text).path();
    return 0;
}
