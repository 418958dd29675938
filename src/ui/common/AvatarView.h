#pragma once

#include <QByteArray>
#include <QCache>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <optional>

// A round picture of a person or room: the local JPEG when it decodes, else the image loaded
// from the remote address, else the first character of the name on a plain disc. Pictures are
// decoded off the main thread through DecodedImageCache::shared(): the initial shows until the
// picture is ready.
class AvatarView : public QWidget
{
    Q_OBJECT
public:
    enum class Content { Initial, Local, Remote };

    explicit AvatarView(int size = 56, QWidget *parent = nullptr);
    AvatarView(const QString &name, const std::optional<QByteArray> &jpeg,
               const std::optional<QString> &remoteURL, int size, QWidget *parent = nullptr);

    // Sets all three at once, so that a picture is decoded or requested only once.
    void setAvatar(const QString &name, const std::optional<QByteArray> &jpeg,
                   const std::optional<QString> &remoteURL);
    void setJpeg(const std::optional<QByteArray> &jpeg) { setAvatar(m_name, jpeg, m_remoteURL); }
    void setRemoteURL(const std::optional<QString> &url) { setAvatar(m_name, m_jpeg, url); }

    Content content() const { return m_content; }

    QSize sizeHint() const override { return QSize(m_size, m_size); }

    // The first grapheme of the name (so a letter with its combining marks, or an emoji, stays
    // whole), ignoring leading blanks; empty for an empty name.
    static QString initial(const QString &name);

    // The disc for painted rows, its picture taken from DecodedImageCache::shared() (the
    // local JPEG, else the remote address); until the picture is decoded or loaded the initial
    // shows, and the cache's `ready` signal asks for the repaint.
    static void paintCached(QPainter &painter, const QRectF &rect, const QString &name,
                            const std::optional<QByteArray> &jpeg,
                            const std::optional<QString> &remoteURL, const QPalette &palette);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Asks the cache for the picture (starting its decode or download) and notes what shows.
    void refresh();

    QString m_name;
    std::optional<QByteArray> m_jpeg;
    std::optional<QString> m_remoteURL;
    int m_size;
    Content m_content = Content::Initial;
    qint64 m_shown = 0; // the cache key of the picture shown, 0 for the initial
};

// Round pictures ready to draw: a picture cut to the disc of one size at one device-pixel
// ratio, or an initial on its disc, made once and kept, so that painting a disc is one pixmap
// copy rather than a clip path over the picture or an antialiased fill (which Qt spreads over
// its thread pool) and a letter. Kept by the picture (its cache key) or the initial's look, the
// size and the ratio, within a bound of bytes; the least recently used go first.
class RoundPictures
{
public:
    explicit RoundPictures(qsizetype maxBytes = 8 * 1024 * 1024);
    static RoundPictures &shared();

    // `picture` (drawn to cover the disc, centred) cut to a disc of `size` points at `ratio`.
    QPixmap disc(const QPixmap &picture, const QSize &size, qreal ratio);
    // The initial of `name` on a plain disc, in the palette's text colour and the family of
    // `font`.
    QPixmap initialDisc(const QString &name, const QSize &size, qreal ratio,
                        const QPalette &palette, const QFont &font);
    // The same made afresh, without the cache.
    static QPixmap cut(const QPixmap &picture, const QSize &size, qreal ratio);

    qsizetype count() const { return m_discs.count(); }
    // What the kept discs weigh, in bytes.
    qsizetype bytes() const { return m_discs.totalCost(); }

private:
    struct Key
    {
        qint64 picture = 0; // the picture's cache key, 0 for an initial
        QString initial; // what an initial's disc looks like
        QSize size;
        qreal ratio = 1;
        friend bool operator==(const Key &, const Key &) = default;
        friend size_t qHash(const Key &key, size_t seed = 0)
        {
            return qHashMulti(seed, key.picture, key.initial, key.size.width(), key.size.height(),
                              key.ratio);
        }
    };
    QPixmap keep(const Key &key, const QPixmap &disc);

    QCache<Key, QPixmap> m_discs;
    QFont m_keyedFont; // the last font an initial was asked in, and its key
    QString m_fontKey;
};
