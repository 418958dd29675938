#include "ui/common/FieldLimits.h"

#include "model/TextLimits.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextCursor>
#include <QValidator>

#include <algorithm>

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

namespace FieldLimits {

void cutWhileTyping(QLineEdit *field, std::function<QString(const QString &)> cut)
{
    field->setValidator(new CutValidator(std::move(cut), field));
}

void limitToGraphemes(QLineEdit *field, int count)
{
    cutWhileTyping(field, [count](const QString &text) { return firstGraphemes(text, count); });
}

void limitToGraphemes(QPlainTextEdit *field, int count)
{
    QObject::connect(field, &QPlainTextEdit::textChanged, field, [field, count] {
        const QString text = field->toPlainText();
        const QString kept = firstGraphemes(text, count);
        if (kept.size() == text.size())
            return;
        // Removing the tail through a cursor keeps the user's cursor where it was (or at the
        // new end) and emits textChanged once more, with a text that is then within the limit.
        QTextCursor tail(field->document());
        tail.setPosition(int(kept.size()));
        tail.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        tail.removeSelectedText();
    });
}

void setUncut(QLineEdit *field, const QString &text)
{
    // The validator stays the field's child; only this one setText bypasses it.
    QPointer<const QValidator> validator = field->validator();
    field->setValidator(nullptr);
    field->setText(text);
    field->setValidator(validator);
}

} // namespace FieldLimits
