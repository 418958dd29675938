#pragma once

#include "model/ChatMessage.h"
#include "ui/panels/PageBase.h"

#include <QByteArray>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QUrl>
#include <QUuid>

class LocalStore;
class QFileDialog;
class QLabel;
class QNetworkAccessManager;
class QNetworkReply;

// The photo layer of the photo viewer: the picture scaled to fit inside a 24-pixel margin. A
// local photo can be zoomed between 1× and 4× about its centre, with the touchpad's pinch
// (QPinchGesture, or the platform's native zoom gesture) or with Ctrl and the wheel; a remote
// photo is only shown. Every pinch starts again from 1×: its magnification becomes the scale,
// it is not multiplied with the scale an earlier pinch left. Nothing happens when a pinch ends.
class MediaPhotoView : public QWidget
{
    Q_OBJECT
public:
    // Broken: a photo that cannot be shown (bytes that do not decode, an address that cannot
    // be loaded).
    enum class Kind { None, Local, Remote, Broken };

    static QString brokenText() { return QStringLiteral("사진을 표시할 수 없습니다."); }

    static constexpr qreal minScale = 1.0;
    static constexpr qreal maxScale = 4.0;
    static constexpr int margin = 24;

    explicit MediaPhotoView(QWidget *parent = nullptr);

    // Shows `image` as a photo of `kind`; a null image shows nothing.
    void setPhoto(Kind kind, const QImage &image);
    void clear() { setPhoto(Kind::None, QImage()); }
    void showBroken();

    Kind kind() const { return m_kind; }
    qreal scale() const { return m_scale; }
    // The decoded picture on show, in pixels; empty when there is none.
    QSize pictureSize() const { return m_picture.size(); }
    // Where the picture is drawn now (scale included).
    QRectF photoRect() const;

    // The keyboard's zoom of a local photo: a step in or out, as one notch of the wheel, or
    // back to 1×.
    enum class Zoom { in, out, reset };
    void zoom(Zoom step);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void beginPinch();
    // `magnification`: of the current pinch, since it began.
    void pinchTo(qreal magnification);
    void setScale(qreal scale);

    Kind m_kind = Kind::None;
    QPixmap m_picture;
    qreal m_scale = 1.0;
    qreal m_pinch = 1.0;
    bool m_pinchMoved = false; // the current pinch has passed its minimum change
    bool m_nativePinch = false; // between the platform's begin and end of a gesture
};

// One download of a message photo held by the service: a plain GET without any header of the
// program's own (no authorisation), following redirects only within the same origin. The body
// is kept only when the answer's status is exactly 200; it is not checked to be an image. An
// answer larger than the limit is cut off as soon as it passes it. Destroying the download
// aborts the request, and nothing is reported after that.
class PhotoDownload : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 limit = 20ll << 20;
    static constexpr int transferTimeoutMs = 60'000;

    // Starts at once. Only http and https addresses with a host are fetched
    // (RemoteImageCache::isFetchable): anything else (file:, qrc:) would read local data, and
    // fails on a later turn of the event loop.
    PhotoDownload(QNetworkAccessManager &network, const QUrl &url, QObject *parent = nullptr);
    ~PhotoDownload() override;

    bool isRunning() const { return !m_reply.isNull(); }

signals:
    // Exactly one of the two, once.
    void downloaded(const QByteArray &body);
    void failed();

private:
    void finish();

    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
};

// The sheet that shows one message's photo large, on black, and saves it as a JPEG file. A photo
// that the store holds only as an address is shown from that address and downloaded once by the
// sheet; the bytes go to the store, after which the photo is the local one that can be zoomed
// and saved. The message is looked up in the store on every change and on every action.
class MediaViewer : public PageBase
{
    Q_OBJECT
public:
    MediaViewer(LocalStore &store, const QUuid &messageId, QWidget *parent = nullptr);
    ~MediaViewer() override;

    MediaPhotoView::Kind shownKind() const { return m_photo->kind(); }
    qreal scale() const { return m_photo->scale(); }
    // The last save could not be done; the failure line shows.
    bool saveFailed() const { return m_failed; }
    // The download of the remote photo is on its way.
    bool isDownloading() const { return m_download && m_download->isRunning(); }

    // "저장": asks where to write the stored bytes (a window-modal file dialog, not waited for).
    void save();

    QSize sizeHint() const override { return QSize(640, 480); }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void refresh();
    void decodeLocal(const QByteArray &bytes);
    void showRemoteOrNothing(const std::optional<ChatMessage> &message);
    void loadRemote();
    void setFailed(bool failed);
    void placeOverlays();

    LocalStore &m_store;
    const QUuid m_messageId;
    MediaPhotoView *m_photo;
    QWidget *m_bar;
    QLabel *m_failure;
    QPointer<PhotoDownload> m_download;
    QPointer<QFileDialog> m_saveDialog;
    QByteArray m_localBytes; // the bytes of the local photo on show or being decoded
    QString m_remoteAddress; // the address of the remote photo asked for or on show
    bool m_failed = false;
};
