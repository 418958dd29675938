#pragma once

#include "model/Enums.h"
#include "model/HandOver.h"
#include "ui/panels/PageBase.h"

#include <optional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class ReasonRow;

// The report of another user, or of one of their messages: one of the four reasons, a note for
// "기타", and "보내기", which asks the presenter to file the report. While it is on its way the
// sheet stays as it is; an accepted report closes it, a refusal comes back through refused() and
// stays on the sheet as a red line, with the choice and the note kept for another try. "닫기"
// drops the report (closeRequested()).
class ReportSheet : public PageBase
{
    Q_OBJECT
public:
    explicit ReportSheet(const ReportDraft &draft, QWidget *parent = nullptr);

    static QString doneText() { return QStringLiteral("신고를 접수했습니다."); }

    std::optional<ReportReason> reason() const { return m_reason; }

    // The service refused the report: the sheet can send again.
    void refused(const QString &failure);

signals:
    // "보내기": the reason's wire text, and the note when the reason is "기타" (untrimmed).
    void sendRequested(const ReportDraft &draft, const QString &reason, const QString &note);

private:
    bool canSend() const;
    void send();
    void refresh();

    ReportDraft m_draft;

    std::optional<ReportReason> m_reason;
    bool m_sending = false;

    QList<ReasonRow *> m_rows;
    QPlainTextEdit *m_note;
    QLabel *m_errorLine;
    QPushButton *m_send;
};
