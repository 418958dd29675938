#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
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

    // The same without blocking: a window-modal open dialog on `parent`; `done` runs once the
    // user has answered, with nothing when the user cancelled, and with an empty array when the
    // chosen file could not be read or is no picture. Nothing runs when `parent` goes first.
    static void pick(QWidget *parent, int maxSide,
                     std::function<void(std::optional<QByteArray>)> done);

    // Tests answer the dialog instead of a user: `answer` gives the chosen path, "" for a cancel.
    // An empty function brings the dialog back.
    static void setTestAnswer(std::function<QString()> answer);

    // The reading half of pick(): the file at `path` as JPEG of at most `maxSide`.
    static std::optional<QByteArray> read(const QString &path, int maxSide);

    // The dialog's filter: every image format this build can read.
    static QString nameFilter();
};
