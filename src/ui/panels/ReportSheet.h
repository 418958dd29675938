#pragma once

#include "model/Enums.h"
#include "model/HandOver.h"
#include "ui/panels/PageBase.h"

#include <functional>
#include <optional>

class LocalStore;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class ReasonRow;

// The report of another user, or of one of their messages: one of the four reasons, a note for
// "기타", and "보내기", which files the report with the store. A report that the service
// accepts goes to `onDone` with the text to show (also when the sheet was closed while the report
// was on its way: `onDone` must stay callable), and the presenter closes the sheet; a refusal
// stays on the sheet as a red line, with the choice and the note kept for another try. "닫기"
// drops the report (closeRequested()).
class ReportSheet : public PageBase
{
    Q_OBJECT
public:
    ReportSheet(LocalStore &store, const ReportDraft &draft,
                std::function<void(const QString &text)> onDone, QWidget *parent = nullptr);

    static QString doneText() { return QStringLiteral("신고를 접수했습니다."); }

    std::optional<ReportReason> reason() const { return m_reason; }

private:
    bool canSend() const;
    void send();
    void submit(const QString &reason, const QString &note);
    void refused(const QString &failure);
    void refresh();

    LocalStore &m_store;
    ReportDraft m_draft;
    std::function<void(const QString &)> m_onDone;

    std::optional<ReportReason> m_reason;
    bool m_sending = false;
    std::optional<QString> m_error;

    QList<ReasonRow *> m_rows;
    QPlainTextEdit *m_note;
    QLabel *m_errorLine;
    QPushButton *m_send;
};
