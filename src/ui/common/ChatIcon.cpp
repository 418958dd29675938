#include "ui/common/ChatIcon.h"

#include "ui/common/UiMetrics.h"

#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmapCache>
#include <QToolButton>

#include <cmath>
#include <numbers>

namespace {

// Our own drawings of the symbol images the window names, for desktops whose icon theme has
// no icon of that meaning: simple strokes on a 24-unit grid in one colour. Filled variants
// ("….fill") leave their inner mark transparent, and a slash cuts a gap into what it crosses,
// so they must be drawn onto a transparent picture, not straight onto a view.

constexpr qreal grid = 24;
constexpr qreal stroke = 1.7;

using Draw = void (*)(QPainter &);

// One of our drawings, and the desktop icon theme names that mean the same, best first; none
// for symbols that have none (or whose partner has none, so that a pair such as "circle" and
// "checkmark.circle.fill" never mixes two styles).
struct Symbol
{
    QStringList themeNames;
    Draw draw;
};

void pen(QPainter &painter, qreal width = stroke)
{
    painter.setPen(QPen(painter.pen().color(), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
}

void fill(QPainter &painter)
{
    const QColor color = painter.pen().color();
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
}

// Strokes (or fills) that cut through what is drawn already, leaving it transparent.
template<typename Cut>
void knockOut(QPainter &painter, qreal width, Cut cut)
{
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    cut();
    painter.restore();
}

void filledDisc(QPainter &painter)
{
    painter.save();
    fill(painter);
    painter.drawEllipse(QPointF(12, 12), 10, 10);
    painter.restore();
}

void bell(QPainter &painter)
{
    QPainterPath dome;
    dome.moveTo(6.5, 16.8);
    dome.lineTo(6.5, 11);
    dome.cubicTo(6.5, 7.6, 8.9, 5.2, 12, 5.2);
    dome.cubicTo(15.1, 5.2, 17.5, 7.6, 17.5, 11);
    dome.lineTo(17.5, 16.8);
    painter.drawPath(dome);
    painter.drawLine(QLineF(4.5, 17, 19.5, 17));
    painter.drawLine(QLineF(12, 3.2, 12, 5.2));
    QPainterPath clapper;
    clapper.moveTo(10, 19.6);
    clapper.cubicTo(10.5, 21, 13.5, 21, 14, 19.6);
    painter.drawPath(clapper);
}

void gear(QPainter &painter)
{
    constexpr int teeth = 8;
    constexpr qreal outer = 9.8;
    constexpr qreal inner = 7.2;
    QPolygonF outline;
    const auto at = [](qreal degrees, qreal radius) {
        const qreal radians = degrees * std::numbers::pi / 180;
        return QPointF(12 + radius * std::cos(radians), 12 + radius * std::sin(radians));
    };
    for (int tooth = 0; tooth < teeth; ++tooth) {
        const qreal centre = tooth * 360.0 / teeth;
        outline << at(centre - 15, inner) << at(centre - 8, outer) << at(centre + 8, outer)
                << at(centre + 15, inner);
    }
    painter.drawPolygon(outline);
    painter.drawEllipse(QPointF(12, 12), 3, 3);
}

void pencilOnSquare(QPainter &painter)
{
    QPainterPath square;
    square.moveTo(11, 4.5);
    square.lineTo(6.5, 4.5);
    square.quadTo(4.5, 4.5, 4.5, 6.5);
    square.lineTo(4.5, 17.5);
    square.quadTo(4.5, 19.5, 6.5, 19.5);
    square.lineTo(17.5, 19.5);
    square.quadTo(19.5, 19.5, 19.5, 17.5);
    square.lineTo(19.5, 13);
    painter.drawPath(square);
    painter.drawPolygon(
        QPolygonF({{9.5, 14.5}, {10.3, 12.2}, {18.3, 4.2}, {19.8, 5.7}, {11.8, 13.7}}));
}

void personPlus(QPainter &painter)
{
    painter.drawEllipse(QPointF(9.5, 8), 3.5, 3.5);
    QPainterPath body;
    body.moveTo(3, 19.5);
    body.cubicTo(3, 15.5, 6, 13.5, 9.5, 13.5);
    body.cubicTo(13, 13.5, 16, 15.5, 16, 19.5);
    body.closeSubpath();
    painter.drawPath(body);
    painter.drawLine(QLineF(19.5, 6.5, 19.5, 12.5));
    painter.drawLine(QLineF(16.5, 9.5, 22.5, 9.5));
}

void personInCircle(QPainter &painter)
{
    painter.drawEllipse(QPointF(12, 12), 9.5, 9.5);
    painter.drawEllipse(QPointF(12, 9.8), 3.2, 3.2);
    QPainterPath shoulders;
    shoulders.moveTo(6.2, 18.6);
    shoulders.cubicTo(7.5, 15.8, 9.6, 14.8, 12, 14.8);
    shoulders.cubicTo(14.4, 14.8, 16.5, 15.8, 17.8, 18.6);
    painter.drawPath(shoulders);
}

void photo(QPainter &painter)
{
    painter.drawRoundedRect(QRectF(3.5, 5, 17, 14), 2.5, 2.5);
    painter.drawEllipse(QPointF(8.7, 9.6), 1.6, 1.6);
    painter.drawPolyline(QPolygonF({{4, 17.5}, {9.5, 12.5}, {13, 15.5}, {15.5, 13.5}, {20, 17}}));
}

void folder(QPainter &painter)
{
    QPainterPath outline;
    outline.moveTo(3.5, 7.3);
    outline.lineTo(3.5, 17.5);
    outline.quadTo(3.5, 19, 5, 19);
    outline.lineTo(19, 19);
    outline.quadTo(20.5, 19, 20.5, 17.5);
    outline.lineTo(20.5, 9.5);
    outline.quadTo(20.5, 8, 19, 8);
    outline.lineTo(11.5, 8);
    outline.lineTo(9.8, 5.8);
    outline.lineTo(5, 5.8);
    outline.quadTo(3.5, 5.8, 3.5, 7.3);
    painter.drawPath(outline);
    painter.drawLine(QLineF(3.5, 10.5, 20.5, 10.5));
}

void paperPlane(QPainter &painter)
{
    const QColor color = painter.pen().color();
    painter.save();
    painter.setPen(QPen(color, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(color);
    painter.drawPolygon(QPolygonF({{21, 3}, {2.8, 10.6}, {10.3, 13.7}, {13.4, 21.2}}));
    painter.restore();
    knockOut(painter, 1.3, [&] { painter.drawLine(QLineF(10.3, 13.7, 17, 7)); });
}

void arrowUpInDisc(QPainter &painter)
{
    filledDisc(painter);
    knockOut(painter, 2.2, [&] {
        painter.drawLine(QLineF(12, 17, 12, 7.5));
        painter.drawPolyline(QPolygonF({{7.8, 11.5}, {12, 7.3}, {16.2, 11.5}}));
    });
}

void checkInDisc(QPainter &painter)
{
    filledDisc(painter);
    knockOut(painter, 2.2, [&] {
        painter.drawPolyline(QPolygonF({{7.5, 12.3}, {10.6, 15.4}, {16.5, 9}}));
    });
}

void xInDisc(QPainter &painter)
{
    filledDisc(painter);
    knockOut(painter, 2, [&] {
        painter.drawLine(QLineF(8.7, 8.7, 15.3, 15.3));
        painter.drawLine(QLineF(15.3, 8.7, 8.7, 15.3));
    });
}

void circle(QPainter &painter)
{
    painter.drawEllipse(QPointF(12, 12), 9.5, 9.5);
}

void check(QPainter &painter)
{
    pen(painter, 2);
    painter.drawPolyline(QPolygonF({{5, 12.5}, {9.5, 17}, {19, 7}}));
}

void cross(QPainter &painter)
{
    painter.drawLine(QLineF(6, 6, 18, 18));
    painter.drawLine(QLineF(18, 6, 6, 18));
}

void arrowDown(QPainter &painter)
{
    painter.drawLine(QLineF(12, 4.5, 12, 19));
    painter.drawPolyline(QPolygonF({{6, 13}, {12, 19}, {18, 13}}));
}

void magnifier(QPainter &painter)
{
    painter.drawEllipse(QPointF(10.5, 10.5), 6.2, 6.2);
    pen(painter, 2.4);
    painter.drawLine(QLineF(15.2, 15.2, 20, 20));
}

void link(QPainter &painter)
{
    painter.save();
    painter.translate(12, 12);
    painter.rotate(-45);
    painter.drawRoundedRect(QRectF(-9.5, -3, 11, 6), 3, 3);
    painter.drawRoundedRect(QRectF(-1.5, -3, 11, 6), 3, 3);
    painter.restore();
}

void pin(QPainter &painter)
{
    painter.drawLine(QLineF(8.5, 3.5, 15.5, 3.5));
    painter.drawPolyline(
        QPolygonF({{10, 3.5}, {10, 9.5}, {7, 14}, {17, 14}, {14, 9.5}, {14, 3.5}}));
    painter.drawLine(QLineF(12, 14, 12, 20.5));
}

void plus(QPainter &painter)
{
    painter.drawLine(QLineF(12, 5, 12, 19));
    painter.drawLine(QLineF(5, 12, 19, 12));
}

void ellipsis(QPainter &painter)
{
    fill(painter);
    for (const qreal x : {5.5, 12.0, 18.5})
        painter.drawEllipse(QPointF(x, 12), 2, 2);
}

// `draw` crossed out by a slash that cuts a gap into it.
template<Draw draw>
void slashed(QPainter &painter)
{
    draw(painter);
    const QLineF line(4, 3.5, 20, 20.5);
    knockOut(painter, stroke * 3, [&] { painter.drawLine(line); });
    painter.drawLine(line);
}

const QHash<QString, Symbol> &symbols()
{
    static const QHash<QString, Symbol> table{
        {"bell", {{"notifications", "preferences-system-notifications"}, bell}},
        {"bell.slash", {{"notifications-disabled"}, slashed<bell>}},
        {"gearshape", {{"preferences-system", "configure"}, gear}},
        {"square.and.pencil", {{"document-edit", "mail-message-new"}, pencilOnSquare}},
        {"person.badge.plus", {{"contact-new", "list-add-user"}, personPlus}},
        {"person.crop.circle", {{"avatar-default", "user-identity"}, personInCircle}},
        {"photo", {{"insert-image", "image-x-generic"}, photo}},
        {"photo.slash", {{"image-missing"}, slashed<photo>}},
        {"folder", {{"document-open", "folder-open"}, folder}},
        {"paperplane.fill", {{"document-send", "mail-send"}, paperPlane}},
        {"arrow.up.circle.fill", {{"document-send", "mail-send"}, arrowUpInDisc}},
        {"xmark", {{"window-close"}, cross}},
        {"xmark.circle.fill", {{"edit-clear"}, xInDisc}},
        {"arrow.down", {{"go-down"}, arrowDown}},
        {"magnifyingglass", {{"edit-find", "system-search"}, magnifier}},
        {"link", {{"insert-link"}, link}},
        // Themes that have a pin rarely have its crossed-out partner: our own pair only.
        {"pin", {{}, pin}},
        {"pin.slash", {{}, slashed<pin>}},
        {"plus", {{"list-add"}, plus}},
        {"checkmark", {{"object-select"}, check}},
        {"checkmark.circle.fill", {{}, checkInDisc}},
        {"circle", {{}, circle}},
        {"ellipsis", {{"view-more-horizontal", "view-more"}, ellipsis}},
    };
    return table;
}

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

    // Our drawing, centred in a square of the picture.
    QPixmap drawn(const QSize &size, const QColor &color) const
    {
        QPixmap picture(size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal side = std::min(size.width(), size.height());
        painter.translate((size.width() - side) / 2, (size.height() - side) / 2);
        painter.scale(side / grid, side / grid);
        painter.setPen(color);
        pen(painter);
        symbols()[m_name].draw(painter);
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
    const auto known = symbols().constFind(name);
    const QStringList names = known != symbols().cend() ? known->themeNames : QStringList{name};
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
    if (!theme.isNull() || !symbols().contains(name))
        return theme;
    return QIcon(new SymbolEngine(name, QIcon(), QColor()));
}

QIcon ChatIcon::symbol(const QString &name, const QColor &color)
{
    const QIcon theme = themeIcon(name);
    if (theme.isNull() && !symbols().contains(name))
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
