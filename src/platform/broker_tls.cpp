#include "platform/broker_tls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>

#include <cerrno>

#include "platform/socket_wait.h"

namespace ravelin {
namespace {

std::string lastSslError() {
    const unsigned long e = ERR_get_error();
    ERR_clear_error();
    if (e == 0) return "TLS failure";
    const char* reason = ERR_reason_error_string(e);
    return reason ? reason : "TLS failure";
}

bool isIpAddress(const std::string& host) {
    unsigned char buf[16];
    return inet_pton(AF_INET, host.c_str(), buf) == 1 || inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

// The socket event OpenSSL asked for.
short eventFor(int sslError) { return sslError == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN; }

}  // namespace

std::shared_ptr<TlsTrust> TlsTrust::load(const std::string& caFile, std::string& error) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) {
        error = lastSslError();
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    const int ok = caFile.empty() ? SSL_CTX_set_default_verify_paths(ctx)
                                  : SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr);
    if (ok != 1) {
        error = lastSslError();
        SSL_CTX_free(ctx);
        return nullptr;
    }
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_mode(ctx, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    return std::shared_ptr<TlsTrust>(new TlsTrust(ctx));
}

TlsTrust::~TlsTrust() { SSL_CTX_free(ctx_); }

TlsSession::TlsSession(std::shared_ptr<TlsTrust> trust, int fd)
    : trust_(std::move(trust)), ssl_(SSL_new(trust_->context())), fd_(fd) {
    if (ssl_) SSL_set_fd(ssl_, fd);
}

TlsSession::~TlsSession() { SSL_free(ssl_); }

bool TlsSession::handshake(const std::string& host, std::chrono::steady_clock::time_point deadline,
                           const std::function<bool()>& stopping, std::string& error) {
    if (!ssl_) {
        error = lastSslError();
        return false;
    }
    // The certificate must name the host: an address by its IP entry, a name by its DNS entries.
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
    const bool named = isIpAddress(host) ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1
                                         : SSL_set1_host(ssl_, host.c_str()) == 1 &&
                                               SSL_set_tlsext_host_name(ssl_, host.c_str()) == 1;
    if (!named) {
        error = "TLS: cannot check the host name " + host;
        return false;
    }
    ERR_clear_error();
    for (;;) {
        const int rc = SSL_connect(ssl_);
        if (rc == 1) return true;
        const int e = SSL_get_error(ssl_, rc);
        if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE) {
            const long verify = SSL_get_verify_result(ssl_);
            error = lastSslError();
            if (verify != X509_V_OK) error += std::string(" (") + X509_verify_cert_error_string(verify) + ")";
            if (e == SSL_ERROR_SYSCALL || e == SSL_ERROR_ZERO_RETURN) error = "the broker closed the TLS handshake";
            return false;
        }
        if (stopping() || std::chrono::steady_clock::now() >= deadline) {
            error = "no answer from the broker";
            return false;
        }
        if (waitForSocket(fd_, eventFor(e), deadline, stopping) < 0) {
            error = "the broker closed the TLS handshake";
            return false;
        }
    }
}

long TlsSession::read(unsigned char* data, std::size_t size) {
    const int n = SSL_read(ssl_, data, static_cast<int>(size));
    if (n > 0) return n;
    const int e = SSL_get_error(ssl_, n);
    if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) return -2;
    ERR_clear_error();
    return e == SSL_ERROR_ZERO_RETURN ? 0 : -1;
}

bool TlsSession::writeAll(const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const int n = SSL_write(ssl_, data, static_cast<int>(size));
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        const int e = SSL_get_error(ssl_, n);
        if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE) {
            ERR_clear_error();
            return false;
        }
        // A socket shut down by close() wakes this wait and fails the next write.
        const auto second = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        if (waitForSocket(fd_, eventFor(e), second, [] { return false; }) < 0) return false;
    }
    return true;
}

bool TlsSession::pending() const { return SSL_pending(ssl_) > 0; }

void TlsSession::shutdown() {
    SSL_shutdown(ssl_);
    ERR_clear_error();
}

}  // namespace ravelin
