#pragma once

#include <QString>

class QLineEdit;

// Limits that the sign-in and profile forms enforce while the user types.
namespace FormLimits {

inline constexpr int codeLength = 6;

// Only the ASCII digits of `text`, at most six of them.
QString codeDigits(const QString &text);

// Keeps a code field cut to codeDigits() on every edit (typed, pasted or set); the cursor stays
// where it was when possible.
void limitToCode(QLineEdit *field);

} // namespace FormLimits
