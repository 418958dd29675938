#pragma once

#include "ui/common/ChatTextLayout.h"

#include <QUrl>
#include <QWidget>

#include <optional>

// A message body, caption or system line with its web links active and underlined. The text is
// always shown as typed (never interpreted as markup) and wraps inside any word that does not
// fit its line, so long runs without blanks are never clipped. Clicking a link opens it in the
// browser, and only http and https addresses are ever opened.
class MessageText : public QWidget
{
    Q_OBJECT
public:
    explicit MessageText(const QString &text = {}, QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const { return m_layout.text(); }

    void setAlignment(Qt::Alignment alignment);
    Qt::Alignment alignment() const { return m_layout.alignment(); }

    // Hands `url` to the desktop when it is an http or https address; false otherwise.
    static bool openLink(const QUrl &url);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

signals:
    // A link was clicked; its address as encoded text. Every activation goes through openLink.
    void linkActivated(const QString &link);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    // The layout for the current font and link colour, laid out `width` wide.
    ChatTextLayout &laidOut(int width) const;
    std::optional<MessageLink> linkAt(const QPoint &position) const;

    mutable ChatTextLayout m_layout;
    std::optional<MessageLink> m_pressed;
};
