#include "ui/panels/MediaViewer.h"

#include "store/LocalStore.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/common/ImageDecodeJob.h"
#include "ui/common/PanelParts.h"
#include "ui/common/RemoteImageCache.h"
#include "ui/common/StoreRedraw.h"

#include <QBoxLayout>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>

#include <algorithm>

namespace {

// White text on black at 60 % in a capsule, padded 10 pixels.
class CapsuleLabel : public QLabel
{
public:
    explicit CapsuleLabel(const QString &text, QWidget *parent)
        : QLabel(text, parent)
    {
        setTextFormat(Qt::PlainText);
        setAlignment(Qt::AlignCenter);
        setContentsMargins(10, 10, 10, 10);
        QPalette colours = palette();
        colours.setColor(QPalette::WindowText, Qt::white);
        setPalette(colours);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 153));
        const qreal radius = height() / 2.0;
        painter.drawRoundedRect(QRectF(rect()), radius, radius);
        painter.end();
        QLabel::paintEvent(event);
    }
};

// The bar's buttons are drawn in white whatever the palette, over the black sheet. The bar
// itself says so, as the ground its buttons stand on: a disabled button's text is toned from
// these colours (ChatColor::keepDisabledReadable), so that it still reads on the black.
void whiten(QWidget *bar)
{
    QPalette colours = bar->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::WindowText, Qt::white);
        for (const auto ground : {QPalette::Window, QPalette::Base, QPalette::Button})
            colours.setColor(group, ground, Qt::black);
    }
    bar->setPalette(colours);
}

// The message's own photo; empty when it has none.
QByteArray localPhoto(const std::optional<ChatMessage> &message)
{
    return message ? message->imageJPEG.value_or(QByteArray()) : QByteArray();
}

// The address of the message's photo when it reads as one; else empty.
QString remoteAddress(const std::optional<ChatMessage> &message)
{
    const QString text = message ? message->imageURL.value_or(QString()) : QString();
    return QUrl(text, QUrl::StrictMode).isValid() && !text.trimmed().isEmpty() ? text : QString();
}

// Writes `bytes` plainly into the file the user chose (no temporary file renamed over it): the
// file keeps its place, owner and links, and a failure at any step counts.
bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size() && file.flush();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

} // namespace

MediaViewer::MediaViewer(LocalStore &store, const QUuid &messageId, QWidget *parent)
    : PageBase(QStringLiteral("mediaViewer"), parent)
    , m_store(store)
    , m_messageId(messageId)
{
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::black);
    setPalette(colours);

    m_photo = new MediaPhotoView(this);
    m_photo->setObjectName(QStringLiteral("photo"));

    m_bar = new QWidget(this);
    m_bar->setObjectName(QStringLiteral("bar"));
    auto *bar = new QHBoxLayout(m_bar);
    // Padded 16 to the buttons' texts.
    bar->setContentsMargins(16 - PanelParts::buttonInset, 0, 16 - PanelParts::buttonInset, 0);
    QPushButton *close = closeButton(Qt::AlignLeft);
    m_save = PanelParts::plainButton(QStringLiteral("저장"), m_bar, Qt::AlignRight,
                                     QStringLiteral("save"));
    connect(m_save, &QPushButton::clicked, this, &MediaViewer::save);
    whiten(m_bar);
    bar->addWidget(close);
    bar->addStretch(1);
    bar->addWidget(m_save);
    // The sheet opens on "닫기", ringed on the black so that the keyboard's place shows.
    PanelParts::focusWhenShown(this, close, PanelParts::Ring::Yes);

    m_failure = new CapsuleLabel(QStringLiteral("사진을 저장하지 못했습니다."), this);
    m_failure->setObjectName(QStringLiteral("failure"));
    m_failure->hide();

    new StoreRedraw(
        m_store, {&LocalStore::messagesChanged}, [this] { refresh(); }, this);
    refresh();
    loadRemote();
}

// "+" (or "=", its unshifted key) and "−" zoom a step as a notch of the wheel does, "0" goes
// back to 1×, whichever of the sheet's buttons has the keyboard: they pass these keys on.
void MediaViewer::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        m_photo->zoom(MediaPhotoView::Zoom::in);
        break;
    case Qt::Key_Minus:
        m_photo->zoom(MediaPhotoView::Zoom::out);
        break;
    case Qt::Key_0:
        m_photo->zoom(MediaPhotoView::Zoom::reset);
        break;
    default:
        PageBase::keyPressEvent(event);
        return;
    }
    event->accept();
}

MediaViewer::~MediaViewer()
{
    // Aborts a download on its way before the network it runs on goes.
    delete m_download;
}

void MediaViewer::refresh()
{
    showPhoto();
    followSave();
}

// "저장" is offered for a photo on show or on its way, not for one that could not be shown (or
// a message without any): a file of it would hold nothing the user has seen.
void MediaViewer::followSave()
{
    const MediaPhotoView::Kind kind = m_photo->kind();
    const bool coming = kind == MediaPhotoView::Kind::None
        && (!m_localBytes.isEmpty() || !m_remoteAddress.isEmpty());
    m_save->setEnabled(kind == MediaPhotoView::Kind::Local || kind == MediaPhotoView::Kind::Remote
                       || coming);
}

void MediaViewer::showPhoto()
{
    const std::optional<ChatMessage> message = m_store.message(m_messageId);
    if (const QByteArray bytes = localPhoto(message); !bytes.isEmpty()) {
        // On show, being decoded, or known not to decode: nothing to start again.
        if (bytes == m_localBytes)
            return;
        m_localBytes = bytes;
        decodeLocal(bytes);
        // A remote photo on show stays until the local one is ready; else black meanwhile.
        if (m_remoteAddress.isEmpty())
            m_photo->clear();
        return;
    }
    m_localBytes.clear();
    showRemoteOrNothing(message);
}

// Bytes from a peer may claim any size: they are decoded off the main thread, bounded like the
// transcript's pictures (refused above ImageDecodeJob::maxPixels, at most maxDecodedSide on the
// longer side). The sheet stays black, or keeps the remote photo, until the decode answers.
// The reader's allocation limit admits every picture within maxPixels, 16-bit channels too.
void MediaViewer::decodeLocal(const QByteArray &bytes)
{
    ImageDecodeJob::Request request;
    request.bytes = bytes;
    request.maxSide = DecodedImageCache::maxDecodedSide;
    ImageDecodeJob::start(std::move(request), this,
                          [this, bytes](const ImageDecodeJob::Result &result) {
                              if (bytes != m_localBytes)
                                  return; // other bytes came meanwhile
                              if (result.outcome == ImageDecodeJob::Outcome::Decoded) {
                                  m_remoteAddress.clear();
                                  m_photo->setPhoto(MediaPhotoView::Kind::Local, result.image);
                              } else {
                                  // Bytes that do not decode fall back to the address, and
                                  // without one the photo shows as broken.
                                  showRemoteOrNothing(m_store.message(m_messageId));
                                  if (m_remoteAddress.isEmpty())
                                      m_photo->showBroken();
                              }
                              followSave();
                          });
}

void MediaViewer::showRemoteOrNothing(const std::optional<ChatMessage> &message)
{
    const QString address = remoteAddress(message);
    if (!address.isEmpty() && address == m_remoteAddress
        && m_photo->kind() != MediaPhotoView::Kind::Local)
        return;
    m_remoteAddress = address;
    // Black while it loads or when there is no photo at all; broken when it cannot be loaded.
    m_photo->clear();
    if (address.isEmpty())
        return;
    RemoteImageCache::shared()->fetch(address, this, [this, address](const QImage &image) {
        if (address != m_remoteAddress || m_photo->kind() == MediaPhotoView::Kind::Local)
            return;
        if (image.isNull())
            m_photo->showBroken();
        else
            m_photo->setPhoto(MediaPhotoView::Kind::Remote, image);
        followSave();
    });
}

void MediaViewer::loadRemote()
{
    const std::optional<ChatMessage> message = m_store.message(m_messageId);
    const QString address = remoteAddress(message);
    if (!localPhoto(message).isEmpty() || address.isEmpty())
        return;
    auto *network = new QNetworkAccessManager(this);
    m_download = new PhotoDownload(*network, QUrl(address, QUrl::StrictMode), this);
    connect(m_download, &PhotoDownload::downloaded, this,
            [this](const QByteArray &body) { m_store.cacheMessageImage(m_messageId, body); });
    // A failed download is silent: the remote photo stays as the loader shows it.
    connect(m_download, &PhotoDownload::downloaded, m_download, &QObject::deleteLater);
    connect(m_download, &PhotoDownload::failed, m_download, &QObject::deleteLater);
}

void MediaViewer::save()
{
    // The bytes as they were when "저장" was pressed are what the file gets.
    const QByteArray bytes = localPhoto(m_store.message(m_messageId));
    if (bytes.isEmpty()) {
        setFailed(true);
        return;
    }
    if (m_saveDialog) {
        m_saveDialog->raise();
        m_saveDialog->activateWindow();
        return;
    }
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    auto *dialog = new QFileDialog(this, QStringLiteral("사진 저장"), folder,
                                   QStringLiteral("JPEG (*.jpg *.jpeg)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QStringLiteral("jpg"));
    dialog->selectFile(QStringLiteral("사진.jpg"));
    dialog->setWindowModality(Qt::WindowModal);
    m_saveDialog = dialog;
    connect(dialog, &QDialog::finished, this, [this, dialog, bytes](int result) {
        const QStringList files = dialog->selectedFiles();
        dialog->deleteLater();
        // A cancelled dialog leaves an earlier failure line as it is.
        if (result == QDialog::Accepted && !files.isEmpty() && !files.first().isEmpty())
            setFailed(!writeFile(files.first(), bytes));
    });
    dialog->open();
}

void MediaViewer::setFailed(bool failed)
{
    m_failed = failed;
    m_failure->setVisible(failed);
    placeOverlays();
}

void MediaViewer::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeOverlays();
}

void MediaViewer::placeOverlays()
{
    // The bar has its own strip above the photo, so that no photo covers its buttons.
    const int barHeight = m_bar->sizeHint().height();
    m_bar->setGeometry(0, 0, width(), barHeight);
    m_photo->setGeometry(0, barHeight, width(), std::max(0, height() - barHeight));
    const QSize failure = m_failure->sizeHint().boundedTo(size());
    m_failure->setGeometry(
        QRect(QPoint((width() - failure.width()) / 2, (height() - failure.height()) / 2), failure));
    m_failure->raise();
}
