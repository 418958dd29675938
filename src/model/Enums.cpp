#include "model/Enums.h"

#include <array>
#include <utility>

namespace {

template<typename E, std::size_t N>
using RawTexts = std::array<std::pair<E, QStringView>, N>;

constexpr RawTexts<AccountKind, 2> accountKinds{{
    {AccountKind::person, u"person"},
    {AccountKind::official, u"official"},
}};
constexpr RawTexts<AccountStatus, 3> accountStatuses{{
    {AccountStatus::active, u"active"},
    {AccountStatus::suspended, u"suspended"},
    {AccountStatus::deleted, u"deleted"},
}};
constexpr RawTexts<ConversationKind, 2> conversationKinds{{
    {ConversationKind::direct, u"direct"},
    {ConversationKind::group, u"group"},
}};
constexpr RawTexts<MemberRole, 2> memberRoles{{
    {MemberRole::owner, u"owner"},
    {MemberRole::member, u"member"},
}};
constexpr RawTexts<MessageKind, 4> messageKinds{{
    {MessageKind::text, u"text"},
    {MessageKind::image, u"image"},
    {MessageKind::system, u"system"},
    {MessageKind::deleted, u"deleted"},
}};
constexpr RawTexts<MessageOrigin, 4> messageOrigins{{
    {MessageOrigin::user, u"user"},
    {MessageOrigin::broadcast, u"broadcast"},
    {MessageOrigin::system, u"system"},
    {MessageOrigin::reply, u"reply"},
}};
constexpr RawTexts<DeliveryState, 3> deliveryStates{{
    {DeliveryState::sending, u"sending"},
    {DeliveryState::sent, u"sent"},
    {DeliveryState::failed, u"failed"},
}};
constexpr RawTexts<FriendState, 3> friendStates{{
    {FriendState::incoming, u"incoming"},
    {FriendState::outgoing, u"outgoing"},
    {FriendState::friends, u"friends"},
}};
constexpr RawTexts<ReportReason, 4> reportReasons{{
    {ReportReason::spam, u"스팸"},
    {ReportReason::impersonation, u"사칭"},
    {ReportReason::hate, u"혐오"},
    {ReportReason::other, u"기타"},
}};

template<typename E, std::size_t N>
QString textOf(const RawTexts<E, N> &table, E value)
{
    for (const auto &[e, text] : table) {
        if (e == value)
            return text.toString();
    }
    return {};
}

// Exact, case-sensitive match: "Text" is not a MessageKind.
template<typename E, std::size_t N>
std::optional<E> valueOf(const RawTexts<E, N> &table, QStringView text)
{
    for (const auto &[e, raw] : table) {
        if (raw == text)
            return e;
    }
    return std::nullopt;
}

} // namespace

QString rawText(AccountKind value)
{
    return textOf(accountKinds, value);
}
QString rawText(AccountStatus value)
{
    return textOf(accountStatuses, value);
}
QString rawText(ConversationKind value)
{
    return textOf(conversationKinds, value);
}
QString rawText(MemberRole value)
{
    return textOf(memberRoles, value);
}
QString rawText(MessageKind value)
{
    return textOf(messageKinds, value);
}
QString rawText(MessageOrigin value)
{
    return textOf(messageOrigins, value);
}
QString rawText(DeliveryState value)
{
    return textOf(deliveryStates, value);
}
QString rawText(FriendState value)
{
    return textOf(friendStates, value);
}
QString rawText(ReportReason value)
{
    return textOf(reportReasons, value);
}

template<>
std::optional<AccountKind> fromRawText<AccountKind>(QStringView text)
{
    return valueOf(accountKinds, text);
}
template<>
std::optional<AccountStatus> fromRawText<AccountStatus>(QStringView text)
{
    return valueOf(accountStatuses, text);
}
template<>
std::optional<ConversationKind> fromRawText<ConversationKind>(QStringView text)
{
    return valueOf(conversationKinds, text);
}
template<>
std::optional<MemberRole> fromRawText<MemberRole>(QStringView text)
{
    return valueOf(memberRoles, text);
}
template<>
std::optional<MessageKind> fromRawText<MessageKind>(QStringView text)
{
    return valueOf(messageKinds, text);
}
template<>
std::optional<MessageOrigin> fromRawText<MessageOrigin>(QStringView text)
{
    return valueOf(messageOrigins, text);
}
template<>
std::optional<DeliveryState> fromRawText<DeliveryState>(QStringView text)
{
    return valueOf(deliveryStates, text);
}
template<>
std::optional<FriendState> fromRawText<FriendState>(QStringView text)
{
    return valueOf(friendStates, text);
}
template<>
std::optional<ReportReason> fromRawText<ReportReason>(QStringView text)
{
    return valueOf(reportReasons, text);
}

QList<ReportReason> allReportReasons()
{
    QList<ReportReason> out;
    for (const auto &[e, text] : reportReasons)
        out.append(e);
    return out;
}
