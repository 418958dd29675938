#include "ui/common/MacImageFile.h"

#include "ui/common/ImageShrink.h"

#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QStandardPaths>
#include <QStringList>

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
