#pragma once

#include <QString>

class QLineEdit;

// Limits that the sign-in and profile forms enforce while the user types.
namespace FormLimits {

inline constexpr int codeLength = 6;
inline constexpr int displayNameLength = 20;

// Only the ASCII digits of `text`, at most six of them.
QString codeDigits(const QString &text);

// Keeps a field cut to its limit on every edit (typed, pasted or set); the cursor stays where
// it was when possible.
void limitToGraphemes(QLineEdit *field, int count);
void limitToCode(QLineEdit *field);

} // namespace FormLimits
