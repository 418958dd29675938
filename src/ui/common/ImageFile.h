#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

// Choosing one image file from disk and turning it into a JPEG of bounded size.
class ImageFile
{
public:
    // Files larger than this are not read.
    static constexpr qint64 maxFileBytes = 100ll << 20;

    // Opens a window-modal, non-blocking image-file dialog parented to `parent` (the widget that
    // asked). `done` runs later, on the event loop, with the chosen file shrunk to a JPEG of at
    // most `maxSide` (std::nullopt when the user cancels or the file cannot be read); it never runs
    // after `parent` is destroyed, and destroying `parent` closes the dialog.
    static void pick(QWidget *parent, int maxSide,
                     std::function<void(std::optional<QByteArray> jpeg)> done);
    // Test seam: while set, pick() opens no dialog and answers with the file path this returns
    // (an empty string = cancel), still asynchronously. Reset with an empty function.
    static void setTestAnswer(std::function<QString()> answer);

    // The reading half of pick(): the file at `path` as JPEG of at most `maxSide`.
    static std::optional<QByteArray> read(const QString &path, int maxSide);

    // The dialog's filter: every image format this build can read.
    static QString nameFilter();
};
