#pragma once

#include <QString>
#include <QWidget>

#include <optional>

// The notice laid over the bottom centre of the window: the text in a capsule on a translucent
// backdrop, 24 above the bottom edge of its parent. Hidden while there is no text.
// It takes no clicks: what lies under it stays usable.
class BannerView : public QWidget
{
    Q_OBJECT
public:
    explicit BannerView(QWidget *parent);

    void setText(const std::optional<QString> &text);
    QString text() const { return m_text; }

    // Moves the capsule to its place in the parent; the parent calls it when it is resized.
    void place();

    QSize sizeHint() const override;
    // The capsule at most `maxWidth` wide: the text on one line, or broken between words.
    QSize sizeFor(int maxWidth) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QString m_text;
};
