#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The closed sets of values the records use. Each is stored and read back as its raw text;
// a text that is none of the raw texts reads as nothing (the comparison is case-sensitive).
//
//   QString text = rawText(MessageKind::image);               // "image"
//   std::optional<MessageKind> k = fromRawText<MessageKind>(u"image");
//
// (Not named toString: QTest calls toString() unqualified and would find a QString-returning
// overload by argument-dependent lookup, which breaks QCOMPARE on these enums.)

enum class AccountKind { person, official };
enum class AccountStatus { active, suspended, deleted };
enum class ConversationKind { direct, group };
enum class MemberRole { owner, member };
enum class MessageKind { text, image, system, deleted };
enum class MessageOrigin { user, broadcast, system, reply };
enum class DeliveryState { sending, sent, failed };
enum class FriendState { incoming, outgoing, friends };

// The reasons offered by the report sheet, in the order of its choices. The raw texts are the
// Korean labels shown to the user; a filed report keeps the label as its reason.
enum class ReportReason { spam, impersonation, hate, other };

QString rawText(AccountKind value);
QString rawText(AccountStatus value);
QString rawText(ConversationKind value);
QString rawText(MemberRole value);
QString rawText(MessageKind value);
QString rawText(MessageOrigin value);
QString rawText(DeliveryState value);
QString rawText(FriendState value);
QString rawText(ReportReason value);

template<typename E>
std::optional<E> fromRawText(QStringView text) = delete;

template<>
std::optional<AccountKind> fromRawText<AccountKind>(QStringView text);
template<>
std::optional<AccountStatus> fromRawText<AccountStatus>(QStringView text);
template<>
std::optional<ConversationKind> fromRawText<ConversationKind>(QStringView text);
template<>
std::optional<MemberRole> fromRawText<MemberRole>(QStringView text);
template<>
std::optional<MessageKind> fromRawText<MessageKind>(QStringView text);
template<>
std::optional<MessageOrigin> fromRawText<MessageOrigin>(QStringView text);
template<>
std::optional<DeliveryState> fromRawText<DeliveryState>(QStringView text);
template<>
std::optional<FriendState> fromRawText<FriendState>(QStringView text);
template<>
std::optional<ReportReason> fromRawText<ReportReason>(QStringView text);

// Every reason in the order of the report sheet: spam, impersonation, hate, other. A reason is
// identified by its label, rawText(reason).
QList<ReportReason> allReportReasons();

// Equal values hash alike; the raw text and the case are one-to-one, so the case number is
// as good a hash input as the text.
inline size_t qHash(AccountKind v, size_t seed = 0) noexcept
{
    return ::qHash(int(v), seed);
}
inline size_t qHash(AccountStatus v, size_t seed = 0) noexcept
{
    return ::qHash(int(v), seed);
}
inline size_t qHash(ConversationKind v, size_t seed = 0) noexcept
{
    return ::qHash(int(v), seed);
}
inline size_t qHash(MemberRole v, size_t seed = 0) noexcept
{
    return ::qHash(int(v), seed);
}
inline size_t qHash(MessageKind v, size_t seed = 0) noexcept
{
    return ::qHash(int(v), seed);
}
inline size_t qHash(MessageOrigin v, size_t seed = 0) noexcept
{
    return ::qHash(int(v), seed);
}
inline size_t qHash(DeliveryState v, size_t seed = 0) noexcept
{
    return ::qHash(int(v), seed);
}
inline size_t qHash(FriendState v, size_t seed = 0) noexcept
{
    return ::qHash(int(v), seed);
}
inline size_t qHash(ReportReason v, size_t seed = 0) noexcept
{
    return ::qHash(int(v), seed);
}
