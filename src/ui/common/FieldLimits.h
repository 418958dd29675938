#pragma once

#include <QString>

#include <functional>

class QLineEdit;
class QPlainTextEdit;

// Text limits that a form enforces while the user types: the field's text is cut on every edit,
// typed, pasted or set, so that it never holds more than its limit.
namespace FieldLimits {

// Keeps `field`'s text as `cut` makes it (a length limit, lower case, digits only...). The cursor
// stays where it was when possible.
void cutWhileTyping(QLineEdit *field, std::function<QString(const QString &)> cut);

// At most `count` user-perceived characters.
void limitToGraphemes(QLineEdit *field, int count);
// The same for a multi-line field: a longer text keeps its first `count` characters, wherever
// the edit was made. The cut is an edit of its own, so undo brings the longer text back.
void limitToGraphemes(QPlainTextEdit *field, int count);

// Puts a value taken from the data into a limited field without cutting it: limits apply to
// what the user types, not to what the form is filled with.
void setUncut(QLineEdit *field, const QString &text);

} // namespace FieldLimits
