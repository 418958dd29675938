#include "ui/panels/ReportSheet.h"

#include "model/TextLimits.h"
#include "store/LocalStore.h"
#include "ui/common/ChangeNotify.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatIcon.h"
#include "ui/common/FieldLimits.h"
#include "ui/common/PanelParts.h"
#include "ui/common/UiMetrics.h"

#include <QAbstractTextDocumentLayout>
#include <QBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

// One reason of the list: its label, and the check mark at the trailing end while it is the
// chosen one.
class ReasonRow : public RowButton
{
public:
    ReasonRow(ReportReason reason, QWidget *parent)
        : RowButton(parent)
        , m_reason(reason)
    {
        setObjectName(rawText(reason));
        setAccessibleName(rawText(reason));
        addPart(PanelParts::label(rawText(reason), QString(), QFont(), this));
        addStretch(1);
        setLeadingRoom(PanelParts::buttonInset);
        setMinimumHeight(UiMetrics::controlHeight);
    }

    ReportReason reason() const { return m_reason; }

    void setChosen(bool chosen)
    {
        if (!assignChanged(m_chosen, chosen))
            return;
        setAccessibleDescription(chosen ? QStringLiteral("선택됨") : QString());
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        RowButton::paintEvent(event);
        if (!m_chosen)
            return;
        QPainter painter(this);
        const int side = 18;
        const QRect mark(width() - PanelParts::buttonInset - side, (height() - side) / 2, side,
                         side);
        ChatIcon::symbol(QStringLiteral("checkmark"), ChatColor::officialMark(palette()))
            .paint(&painter, mark);
    }

private:
    ReportReason m_reason;
    bool m_chosen = false;
};

namespace {

// A multi-line field that grows with its text from 3 to 6 lines, then scrolls.
class NoteField : public QPlainTextEdit
{
public:
    explicit NoteField(QWidget *parent)
        : QPlainTextEdit(parent)
    {
        setTabChangesFocus(true);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged,
                this, &NoteField::fit);
        fit();
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QPlainTextEdit::resizeEvent(event);
        fit();
    }

private:
    void fit()
    {
        // The plain-text layout measures the document in lines, wrapped lines included.
        const int lines
            = std::clamp(int(document()->documentLayout()->documentSize().height()), 3, 6);
        const int margins = int(2 * document()->documentMargin()) + 2 * frameWidth()
            + contentsMargins().top() + contentsMargins().bottom();
        const int height = lines * fontMetrics().lineSpacing() + margins;
        if (height != this->height())
            setFixedHeight(height);
    }
};

} // namespace

ReportSheet::ReportSheet(const ReportDraft &draft, QWidget *parent)
    : PageBase(QStringLiteral("reportSheet"), parent)
    , m_draft(draft)
{
    QVBoxLayout *column = pageColumn(UiMetrics::formPadding, 12);
    column->addWidget(formTitle(QStringLiteral("신고"), this));

    // The rows' labels and check marks line up with the title and the field.
    QBoxLayout *reasons
        = PanelParts::outsetLayout(Qt::Vertical, PanelParts::buttonInset, PanelParts::buttonInset);
    reasons->setSpacing(12);
    for (const ReportReason reason : allReportReasons()) {
        auto *row = new ReasonRow(reason, this);
        connect(row, &ReasonRow::clicked, this, [this, reason] {
            m_reason = reason;
            refresh();
        });
        reasons->addWidget(row);
        m_rows.append(row);
    }
    column->addLayout(reasons);

    m_note = new NoteField(this);
    m_note->setObjectName(QStringLiteral("note"));
    m_note->setPlaceholderText(QStringLiteral("내용"));
    ChatColor::keepSecondary(m_note, QPalette::PlaceholderText);
    m_note->setAccessibleName(QStringLiteral("내용"));
    FieldLimits::limitToGraphemes(m_note, TextLimit::reportNote);
    column->addWidget(m_note);

    m_errorLine = PanelParts::messageLine(PanelParts::Tone::Failure, QStringLiteral("error"), this);
    column->addWidget(m_errorLine);
    column->addStretch(1);

    QBoxLayout *bottom = addCloseRow(column, PanelParts::buttonInset);
    m_send = PanelParts::plainButton(QStringLiteral("보내기"), this, Qt::AlignRight,
                                     QStringLiteral("send"));
    bottom->addWidget(m_send);

    // The sheet opens on its first reason, ringed, so that the keyboard's place shows at once.
    PanelParts::focusWhenShown(this, m_rows.first(), PanelParts::Ring::Yes);
    connect(m_send, &QPushButton::clicked, this, &ReportSheet::send);
    connect(m_note, &QPlainTextEdit::textChanged, this, &ReportSheet::refresh);
    refresh();
}

bool ReportSheet::canSend() const
{
    if (!m_reason || m_sending)
        return false;
    return m_reason != ReportReason::other || !trimmedText(m_note->toPlainText()).isEmpty();
}

void ReportSheet::send()
{
    if (!canSend())
        return;
    m_sending = true;
    refresh();
    // A note typed under "기타" goes only with "기타"; the store trims it.
    const bool withNote = m_reason == ReportReason::other;
    emit sendRequested(m_draft, rawText(*m_reason), withNote ? m_note->toPlainText() : QString());
}

void ReportSheet::refused(const QString &failure)
{
    PanelParts::showMessage(m_errorLine, failure);
    m_sending = false;
    refresh();
}

void ReportSheet::refresh()
{
    for (ReasonRow *row : std::as_const(m_rows))
        row->setChosen(m_reason == row->reason());
    // Choosing another reason hides the note but keeps its text for a return to "기타".
    m_note->setVisible(m_reason == ReportReason::other);
    m_send->setEnabled(canSend());
}
