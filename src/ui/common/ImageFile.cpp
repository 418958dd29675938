#include "ui/common/ImageFile.h"

#include "ui/common/ImageShrink.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QStandardPaths>
#include <QStringList>

namespace {

std::function<QString()> testAnswer;

// Reads the chosen file and calls `done` on a later turn of the event loop. The call is an
// event posted to `parent`: Qt drops the events of an object that is destroyed, so `done`
// never reaches a widget that is gone.
void answer(QWidget *parent, const QString &path, int maxSide,
            std::function<void(std::optional<QByteArray>)> done)
{
    QObject *context = parent ? static_cast<QObject *>(parent) : QCoreApplication::instance();
    QMetaObject::invokeMethod(
        context,
        [path, maxSide, done = std::move(done)] {
            done(path.isEmpty() ? std::nullopt : ImageFile::read(path, maxSide));
        },
        Qt::QueuedConnection);
}

} // namespace

QString ImageFile::nameFilter()
{
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format).toLower();
    patterns.removeDuplicates();
    return QStringLiteral("이미지 (%1)").arg(patterns.join(u' '));
}

void ImageFile::setTestAnswer(std::function<QString()> answer)
{
    testAnswer = std::move(answer);
}

void ImageFile::pick(QWidget *parent, int maxSide,
                     std::function<void(std::optional<QByteArray> jpeg)> done)
{
    if (testAnswer) {
        answer(parent, testAnswer(), maxSide, std::move(done));
        return;
    }
    // open(), never exec(): a nested event loop would keep running this caller while the
    // session ends and its screen is deleted under it. As a child of `parent` the dialog goes
    // with it.
    const QString start = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    auto *dialog = new QFileDialog(parent, QStringLiteral("사진 선택"), start, nameFilter());
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setWindowModality(Qt::WindowModal);
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, parent, maxSide, done = std::move(done)](int result) {
                         const QStringList files = dialog->selectedFiles();
                         const bool chosen = result == QDialog::Accepted && !files.isEmpty();
                         answer(parent, chosen ? files.first() : QString(), maxSide, done);
                         dialog->deleteLater();
                     });
    dialog->open();
}

std::optional<QByteArray> ImageFile::read(const QString &path, int maxSide)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxFileBytes)
        return std::nullopt;
    const QByteArray data = file.read(maxFileBytes + 1);
    if (data.isEmpty() || data.size() > maxFileBytes)
        return std::nullopt;
    return ImageShrink::jpeg(data, maxSide);
}
