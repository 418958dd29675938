#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Every failure that the client reports for a service answer. Thrown and caught by value
// (catch (const ChatAPIError &e)); the store shows `message` to the user.
class ChatAPIError : public std::exception
{
public:
    ChatAPIError() = default;
    ChatAPIError(int status, QString code, QString message)
        : status(status)
        , code(std::move(code))
        , message(std::move(message))
    { }

    int status = 0;
    QString code;
    QString message;

    const char *what() const noexcept override { return "ChatAPIError"; }

    friend bool operator==(const ChatAPIError &a, const ChatAPIError &b)
    {
        return a.status == b.status && a.code == b.code && a.message == b.message;
    }

    // The error for a failing answer: the service's code and message when the body decodes as
    // {"code": text, "message": non-empty text}, otherwise "invalid_response" under `status`.
    static ChatAPIError fromResponse(int status, const QByteArray &body);

    // "invalid_response" / "일시적인 오류입니다." with the given status (0: no address could be
    // formed; 500: a success answer that does not decode).
    static ChatAPIError invalidResponse(int status);
    // 401 "unauthorized" / "로그인이 필요합니다.": no session for a call that needs the token.
    static ChatAPIError unauthorized();
    // "upload_failed" / "사진을 보내지 못했습니다." with the upload answer's status or 0.
    static ChatAPIError uploadFailed(int status);
};

// No HTTP answer at all: no network, refused connection, time-out, cancelled. Kept apart from
// ChatAPIError; the store shows a fixed text for it.
class ChatTransportError : public std::exception
{
public:
    ChatTransportError(int networkError, QString detail)
        : networkError(networkError)
        , detail(std::move(detail))
    { }

    int networkError = 0; // QNetworkReply::NetworkError or QAbstractSocket::SocketError value
    QString detail;

    const char *what() const noexcept override { return "ChatTransportError"; }
};

// A body that had to be JSON (the upload ticket) is not JSON at all.
class ChatParseError : public std::exception
{
public:
    explicit ChatParseError(QString detail)
        : detail(std::move(detail))
    { }

    QString detail;

    const char *what() const noexcept override { return "ChatParseError"; }
};

// Whether a failure says that the service could not be reached or could not answer just now
// (no answer, a refused connection, a time-out, a redirect, a 5xx status): the same call may
// succeed later.
// A refusal (any other status) or a fault of the program's own is no such failure.
bool isTransientFailure(const std::exception_ptr &error);

// Whether a failure is one of the three that the client throws (ChatAPIError, ChatTransportError,
// ChatParseError): what a call to the service may end in. Anything else is a fault of the program.
bool isServiceFailure(const std::exception_ptr &error);

// Fixed user-facing texts of the client.
inline const QString kTemporaryErrorText = QStringLiteral("일시적인 오류입니다.");
inline const QString kLoginRequiredText = QStringLiteral("로그인이 필요합니다.");
