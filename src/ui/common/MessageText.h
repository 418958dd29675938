#pragma once

#include <QLabel>
#include <QUrl>

// A message body, caption or system line with its web links active and underlined. The text is
// always shown as typed (never interpreted as markup); clicking a link opens it in the browser,
// and only http and https addresses are ever opened.
class MessageText : public QLabel
{
    Q_OBJECT
public:
    explicit MessageText(const QString &text = {}, QWidget *parent = nullptr);

    // Replaces QLabel::setText: the text is escaped and its links found here. Call this one,
    // not the base class's, which would read the text as HTML.
    void setText(const QString &text);
    QString text() const { return m_text; }

    // Hands `url` to the desktop when it is an http or https address; false otherwise.
    static bool openLink(const QUrl &url);

protected:
    void changeEvent(QEvent *event) override;

private:
    QString m_text;
};
