#include "app/FormLimits.h"

#include "ui/common/FieldLimits.h"

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

void limitToCode(QLineEdit *field)
{
    FieldLimits::cutWhileTyping(field, &codeDigits);
}

} // namespace FormLimits
