#pragma once

#include <QString>

// Text limits count user-perceived characters (grapheme clusters), so that an emoji with
// modifiers or a Hangul syllable in decomposed form counts as one.

// Number of user-perceived characters in `text`.
int graphemeCount(const QString &text);

// The first `n` user-perceived characters of `text` (all of it when it has fewer; empty for
// n <= 0). Never cuts a character in half.
QString firstGraphemes(const QString &text, int n);

// `text` when it has at most `n` user-perceived characters; otherwise its first n - 1 followed
// by "…", n characters in all. For n <= 0, empty.
QString shortenedText(const QString &text, int n);

// `text` without white space and line breaks (any Unicode kind) at both ends.
QString trimmedText(const QString &text);

// What users may write, in user-perceived characters (members in people): the store holds to
// these, and the forms cut to them while the user types.
namespace TextLimit {
inline constexpr int displayName = 20;
inline constexpr int handleMin = 3; // handles count ASCII characters
inline constexpr int handleMax = 20;
inline constexpr int groupTitle = 40;
inline constexpr int reportNote = 200;
inline constexpr int message = 4000;
inline constexpr int groupMembers = 20; // the active members of a group, its owner included
} // namespace TextLimit

// The notices for a name or a handle outside these limits.
inline const QString kCheckNameText = QStringLiteral("이름을 확인해 주세요.");
inline const QString kHandleRuleText
    = QStringLiteral("아이디는 영문 소문자, 숫자, 밑줄 3–20자입니다.");

// Whether a trimmed display name has between 1 and TextLimit::displayName characters.
bool isValidDisplayName(const QString &trimmedName);
