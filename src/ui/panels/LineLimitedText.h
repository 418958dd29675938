#pragma once

#include <QStringList>
#include <QWidget>

// Wrapped plain text shown in at most a given number of lines; the last line shown ends in "…"
// when the text goes on. Its height follows its width. The room information panel shows an
// official account's description in it.
class LineLimitedText : public QWidget
{
    Q_OBJECT
public:
    explicit LineLimitedText(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const { return m_text; }
    // 0: no limit.
    void setMaxLines(int lines);
    int maxLines() const { return m_maxLines; }

    // The lines as they are shown at `width`.
    QStringList shownLines(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    int m_maxLines = 0;
};
