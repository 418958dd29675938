#pragma once

#include "model/ChatMessage.h"
#include "ui/panels/MediaPhotoView.h"
#include "ui/panels/PageBase.h"
#include "ui/panels/PhotoDownload.h"

#include <QByteArray>
#include <QPointer>
#include <QUuid>

class LocalStore;
class QFileDialog;
class QLabel;
class QPushButton;

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
    void showPhoto();
    void followSave();
    void decodeLocal(const QByteArray &bytes);
    void showRemoteOrNothing(const std::optional<ChatMessage> &message);
    void loadRemote();
    void setFailed(bool failed);
    void placeOverlays();

    LocalStore &m_store;
    const QUuid m_messageId;
    MediaPhotoView *m_photo;
    QWidget *m_bar;
    QPushButton *m_save;
    QLabel *m_failure;
    QPointer<PhotoDownload> m_download;
    QPointer<QFileDialog> m_saveDialog;
    QByteArray m_localBytes; // the bytes of the local photo on show or being decoded
    QString m_remoteAddress; // the address of the remote photo asked for or on show
    bool m_failed = false;
};
