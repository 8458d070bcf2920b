#include "platform/qt_http_client.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <map>

namespace ravelin {
namespace {

class QtHttpClient : public HttpClient {
public:
    explicit QtHttpClient(const std::string& userAgent) : userAgent_(QByteArray::fromStdString(userAgent)) {}
    ~QtHttpClient() override { abortAll(); }

    void send(const HttpRequest& request, std::function<void(const HttpResponse&)> done) override {
        QNetworkRequest r(QUrl(QString::fromStdString(request.url), QUrl::StrictMode));
        r.setHeader(QNetworkRequest::UserAgentHeader, userAgent_);
        r.setTransferTimeout(request.timeoutMs);
        QNetworkReply* reply = nullptr;
        if (request.method == "POST") {
            r.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray::fromStdString(request.contentType));
            reply = manager_.post(r, QByteArray::fromStdString(request.body));
        } else {
            reply = manager_.get(r);
        }
        inFlight_[reply] = std::move(done);
        // The transfer time-out counts only silence; this one is the whole exchange's.
        auto* deadline = new QTimer(reply);
        deadline->setSingleShot(true);
        QObject::connect(deadline, &QTimer::timeout, reply, [reply] { reply->abort(); });
        deadline->start(request.timeoutMs);
        QObject::connect(reply, &QNetworkReply::finished, &manager_, [this, reply] { finished(reply); });
    }

    void abortAll() override {
        auto replies = std::move(inFlight_);
        inFlight_.clear();
        for (auto& [reply, done] : replies) {
            QObject::disconnect(reply, nullptr, &manager_, nullptr);
            reply->abort();
            reply->deleteLater();
        }
    }

private:
    void finished(QNetworkReply* reply) {
        reply->deleteLater();
        const auto it = inFlight_.find(reply);
        if (it == inFlight_.end()) return;
        auto done = std::move(it->second);
        inFlight_.erase(it);
        HttpResponse response;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        response.status = status.isValid() ? status.toInt() : 0;
        response.body = reply->readAll().toStdString();
        if (response.status == 0) {
            // Qt's text may quote the address, whose query can hold a secret.
            QString text = reply->errorString();
            const QUrl& url = reply->url();
            text.replace(url.toString(), url.toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo));
            text.replace(QString::fromUtf8(url.toEncoded()), url.toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo));
            response.error = reply->error() == QNetworkReply::OperationCanceledError ? std::string("no answer in time")
                                                                                      : text.toStdString();
        }
        bool ok = false;
        const int after = reply->rawHeader("Retry-After").trimmed().toInt(&ok);
        if (ok && after >= 0) response.retryAfterSeconds = after;
        done(response);
    }

    QByteArray userAgent_;
    QNetworkAccessManager manager_;
    std::map<QNetworkReply*, std::function<void(const HttpResponse&)>> inFlight_;
};

}  // namespace

std::unique_ptr<HttpClient> createQtHttpClient(const std::string& userAgent) {
    return std::make_unique<QtHttpClient>(userAgent);
}

}  // namespace ravelin
