#include "ui/common/ChatIcon.h"

#include "ui/common/SymbolDrawing.h"
#include "ui/common/UiMetrics.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <QToolButton>

namespace {

// Draws a symbol (ours, or a theme icon recoloured) at whatever size is asked for, in the
// colour of the moment.
class SymbolEngine : public QIconEngine
{
public:
    SymbolEngine(const QString &name, const QIcon &theme, const QColor &color)
        : m_name(name)
        , m_theme(theme)
        , m_color(color)
    { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap picture = pixmap((QSizeF(rect.size()) * ratio).toSize(), mode, state);
        picture.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect.topLeft(), picture);
    }

    // `size` is in device pixels: QIcon asks scaledPixmap() with the size already multiplied
    // by the ratio, and the default scaledPixmap() comes here.
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        if (size.isEmpty())
            return {};
        const QColor color = colorFor(mode);
        const QString key = QStringLiteral("ChatIcon:%1:%2x%3:%4:%5:%6")
                                .arg(m_name)
                                .arg(size.width())
                                .arg(size.height())
                                .arg(color.rgba(), 0, 16)
                                .arg(int(mode))
                                .arg(m_theme.cacheKey());
        QPixmap picture;
        if (QPixmapCache::find(key, &picture))
            return picture;
        picture = m_theme.isNull() ? drawn(size, color) : recoloured(size, mode, state, color);
        QPixmapCache::insert(key, picture);
        return picture;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine *clone() const override { return new SymbolEngine(m_name, m_theme, m_color); }
    QString key() const override { return QStringLiteral("ChatIcon"); }
    QString iconName() override { return m_name; }
    bool isNull() override { return false; }

private:
    QColor colorFor(QIcon::Mode mode) const
    {
        if (m_color.isValid()) {
            QColor color = m_color;
            if (mode == QIcon::Disabled)
                color.setAlphaF(color.alphaF() * 0.4f);
            return color;
        }
        const QPalette palette = QGuiApplication::palette();
        switch (mode) {
        case QIcon::Disabled:
            return palette.color(QPalette::Disabled, QPalette::WindowText);
        case QIcon::Selected:
            return palette.color(QPalette::Active, QPalette::HighlightedText);
        default:
            return palette.color(QPalette::Active, QPalette::WindowText);
        }
    }

    QPixmap drawn(const QSize &size, const QColor &color) const
    {
        QPixmap picture(size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        const qreal side = std::min(size.width(), size.height());
        painter.translate((size.width() - side) / 2, (size.height() - side) / 2);
        SymbolDrawing::draw(painter, m_name, side, color);
        return picture;
    }

    QPixmap recoloured(const QSize &size, QIcon::Mode mode, QIcon::State state,
                       const QColor &color) const
    {
        QPixmap picture = m_theme.pixmap(size, 1.0, mode, state);
        if (picture.isNull())
            return picture;
        QPainter painter(&picture);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(picture.rect(), color);
        return picture;
    }

    QString m_name;
    QIcon m_theme; // null: our own drawing
    QColor m_color; // invalid: the palette's text colour
};

QIcon themeIcon(const QString &name)
{
    const QStringList names
        = SymbolDrawing::isKnown(name) ? SymbolDrawing::themeNames(name) : QStringList{name};
    for (const QString &themeName : names) {
        // hasThemeIcon() looks for the exact name; fromTheme() alone would fall back to a
        // shorter name ("notifications-disabled" to "notifications") and lose the meaning.
        if (QIcon::hasThemeIcon(themeName))
            return QIcon::fromTheme(themeName);
    }
    return {};
}

} // namespace

QIcon ChatIcon::symbol(const QString &name)
{
    const QIcon theme = themeIcon(name);
    if (!theme.isNull() || !SymbolDrawing::isKnown(name))
        return theme;
    return QIcon(new SymbolEngine(name, QIcon(), QColor()));
}

QIcon ChatIcon::symbol(const QString &name, const QColor &color)
{
    const QIcon theme = themeIcon(name);
    if (theme.isNull() && !SymbolDrawing::isKnown(name))
        return {};
    return QIcon(new SymbolEngine(name, theme, color));
}

QToolButton *ChatIcon::button(const QString &name, const QString &accessibleName, int iconSide,
                              QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFixedSize(UiMetrics::controlHeight, UiMetrics::controlHeight);
    button->setIcon(symbol(name));
    button->setIconSize(QSize(iconSide, iconSide));
    button->setAccessibleName(accessibleName);
    return button;
}
