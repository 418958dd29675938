#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <functional>

class QObject;

// Decoding of picture bytes that came from elsewhere (the service, other people), bounded so
// that no picture can stall the window or exhaust memory: the header is read first and a
// picture of more than maxPixels is refused before anything is allocated for it, the decoder
// is asked for the wanted size (so a large JPEG is decoded at thumbnail size), and EXIF
// orientation is applied. Pictures of more than 32 bits per pixel come out at 32. start() runs the
// decode on a small pool of background threads, the one place where the program works off the main
// thread: the work there touches nothing but the bytes and the resulting QImage.
class ImageDecodeJob
{
public:
    // 50 megapixels: above every ordinary camera picture. A decode may need up to 8 bytes a
    // pixel (16-bit channels), 400 MB, past Qt's own 128 MB allocation limit for image
    // readers; that limit is raised to this bound before the first decode.
    static constexpr qint64 maxPixels = 50'000'000;
    static constexpr qint64 maxDecodeBytes = maxPixels * 8;

    enum class Outcome { Decoded, Undecodable, TooLarge };

    struct Request
    {
        QByteArray bytes{}; // the encoded picture; when empty,
        QImage image{}; // an already decoded picture to be scaled
        // Target in device pixels, upright. Empty: only maxSide bounds the result.
        QSize box{};
        // Cover `box` and keep its centre (the result is then at most `box`); else fit inside.
        bool fill = false;
        int maxSide = 0; // bound on the longer side when positive
    };

    struct Result
    {
        Outcome outcome = Outcome::Undecodable;
        QImage image; // null unless decoded
    };

    // The decode itself, on the calling thread. Pictures are never enlarged.
    static Result run(const Request &request);

    // Runs run() off the main thread and calls `done` with the result on the main thread,
    // later (never before this returns), unless `receiver` has been destroyed by then.
    // Call from the main thread, with an application object present.
    static void start(Request request, QObject *receiver, std::function<void(const Result &)> done);

private:
    static void allowAdmittedPictures();
    static QSize scaledSize(const QSize &stored, const QSize &box, bool fill, int maxSide);
    static Result finish(QImage image, const Request &request);
};
