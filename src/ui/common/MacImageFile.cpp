#include "ui/common/MacImageFile.h"

#include "ui/common/ImageShrink.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QPointer>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>

namespace {

std::function<QString()> &testAnswer()
{
    static std::function<QString()> answer;
    return answer;
}

} // namespace

QString MacImageFile::nameFilter()
{
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format).toLower();
    patterns.removeDuplicates();
    return QStringLiteral("이미지 (%1)").arg(patterns.join(u' '));
}

std::optional<QByteArray> MacImageFile::pick(int maxSide, QWidget *parent)
{
    const QString start = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString path
        = QFileDialog::getOpenFileName(parent, QStringLiteral("사진 선택"), start, nameFilter());
    if (path.isEmpty())
        return std::nullopt;
    return read(path, maxSide);
}

void MacImageFile::pick(QWidget *parent, int maxSide,
                        std::function<void(std::optional<QByteArray>)> done)
{
    auto finish = [maxSide, done = std::move(done)](const QString &path) {
        if (path.isEmpty()) {
            done(std::nullopt);
            return;
        }
        done(read(path, maxSide).value_or(QByteArray()));
    };
    if (testAnswer()) {
        const QString path = testAnswer()();
        QPointer<QWidget> guard(parent);
        QTimer::singleShot(0, qApp, [guard, hadParent = parent != nullptr, finish, path] {
            if (!hadParent || guard)
                finish(path);
        });
        return;
    }
    const QString start = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    auto *dialog = new QFileDialog(parent, QStringLiteral("사진 선택"), start, nameFilter());
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setWindowModality(Qt::WindowModal);
    // finished() covers every way out (a choice, "취소", Escape, the window's close button).
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, finish](int result) {
        const QStringList chosen = dialog->selectedFiles();
        dialog->deleteLater();
        finish(result == QDialog::Accepted && !chosen.isEmpty() ? chosen.first() : QString());
    });
    dialog->open();
}

void MacImageFile::setTestAnswer(std::function<QString()> answer)
{
    testAnswer() = std::move(answer);
}

std::optional<QByteArray> MacImageFile::read(const QString &path, int maxSide)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxFileBytes)
        return std::nullopt;
    const QByteArray data = file.read(maxFileBytes + 1);
    if (data.isEmpty() || data.size() > maxFileBytes)
        return std::nullopt;
    return ImageShrink::jpeg(data, maxSide);
}
