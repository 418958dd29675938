#include "app/FormLimits.h"

#include "model/TextLimits.h"

#include <QLineEdit>
#include <QValidator>

#include <functional>

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

namespace {

// Cuts the field's text inside the edit itself. A line edit asks its validator before it
// emits anything, so textEdited and textChanged carry the cut text only. (Cutting afterwards,
// from a textEdited handler, lets the line edit emit textChanged once more with the uncut text
// after the cut one, and whoever reads that argument sees a text the field no longer holds.)
class CutValidator final : public QValidator
{
public:
    CutValidator(std::function<QString(const QString &)> cut, QObject *parent)
        : QValidator(parent)
        , m_cut(std::move(cut))
    { }

    State validate(QString &input, int &pos) const override
    {
        const QString cutText = m_cut(input);
        if (cutText != input) {
            input = cutText;
            pos = std::min<int>(pos, int(cutText.size()));
        }
        return Acceptable;
    }

private:
    std::function<QString(const QString &)> m_cut;
};

} // namespace

void limitToGraphemes(QLineEdit *field, int count)
{
    field->setValidator(new CutValidator(
        [count](const QString &text) { return firstGraphemes(text, count); }, field));
}

void limitToCode(QLineEdit *field)
{
    field->setValidator(new CutValidator(&codeDigits, field));
}

} // namespace FormLimits
