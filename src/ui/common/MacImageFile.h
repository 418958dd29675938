#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QWidget;

// Choosing one image file from disk and turning it into a JPEG of bounded size.
class MacImageFile
{
public:
    // Files larger than this are not read.
    static constexpr qint64 maxFileBytes = 100ll << 20;

    // Runs a modal open dialog for one image file; the chosen picture as JPEG with its longer
    // side at most `maxSide`. None when the user cancels or the file cannot be read or decoded.
    static std::optional<QByteArray> pick(int maxSide, QWidget *parent = nullptr);

    // The reading half of pick(): the file at `path` as JPEG of at most `maxSide`.
    static std::optional<QByteArray> read(const QString &path, int maxSide);

    // The dialog's filter: every image format this build can read.
    static QString nameFilter();
};
