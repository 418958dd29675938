#include "app/FormLimits.h"

#include "model/TextLimits.h"

#include <QLineEdit>

namespace FormLimits {

QString codeDigits(const QString &text)
{
    QString digits;
    for (const QChar c : text) {
        if (c >= u'0' && c <= u'9') {
            digits.append(c);
            if (digits.size() == codeLength)
                break;
        }
    }
    return digits;
}

static void keepCut(QLineEdit *field, QString (*cut)(const QString &, int), int count)
{
    // textEdited fires for the user's own edits only, so setText below does not recurse.
    QObject::connect(field, &QLineEdit::textEdited, field,
                     [field, cut, count](const QString &text) {
                         const QString cutText = cut(text, count);
                         if (cutText == text)
                             return;
                         const int cursor = field->cursorPosition();
                         field->setText(cutText);
                         field->setCursorPosition(std::min<int>(cursor, cutText.size()));
                     });
}

void limitToGraphemes(QLineEdit *field, int count)
{
    keepCut(field, &::firstGraphemes, count);
}

void limitToCode(QLineEdit *field)
{
    keepCut(
        field, [](const QString &text, int) { return codeDigits(text); }, codeLength);
}

} // namespace FormLimits
