#pragma once

#include <QByteArray>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

// Sends a request that Qt's HTTP layer must not send a second time by itself. Qt 6.4 repeats a
// request (POST included, bodiless ones too) when its connection closes before the answer's
// head arrived; for a call that creates or changes something the first copy may have reached
// the service already. The body goes out from a device that can be read once only, so that Qt
// fails the request (ContentReSendError) instead of repeating it. A bodiless request sends an
// empty body of that kind: no Content-Type, "Content-Length: 0".
QNetworkReply *sendOnce(QNetworkAccessManager &network, QNetworkRequest request,
                        const QByteArray &method, const QByteArray &body);

// Whether Qt's HTTP layer may repeat a request of this method by itself: only a GET, which
// reads and changes nothing.
bool mayBeRepeated(const QByteArray &method);
