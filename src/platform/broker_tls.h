// TLS to an MQTT broker on a connected socket, with OpenSSL: the broker's certificate is
// checked against the CA file or the system's store, and against the broker's host name.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

struct ssl_ctx_st;
struct ssl_st;

namespace ravelin {

// The certificates a broker's is checked against; shared by every connection of a client.
class TlsTrust {
public:
    // `caFile` empty: the system's CA store. nullptr with the reason in `error` when it cannot be used.
    static std::shared_ptr<TlsTrust> load(const std::string& caFile, std::string& error);
    ~TlsTrust();
    ssl_ctx_st* context() const { return ctx_; }

private:
    explicit TlsTrust(ssl_ctx_st* ctx) : ctx_(ctx) {}
    ssl_ctx_st* ctx_;
};

// One TLS session over a non-blocking socket.
class TlsSession {
public:
    TlsSession(std::shared_ptr<TlsTrust> trust, int fd);
    ~TlsSession();

    // The handshake, with `host` checked against the certificate; false with the reason in words
    // ("certificate verify failed (…)", "no answer from the broker") when it fails.
    bool handshake(const std::string& host, std::chrono::steady_clock::time_point deadline,
                   const std::function<bool()>& stopping, std::string& error);
    // Up to `size` bytes of plain text: > 0 bytes read, 0 the end, -1 an error, -2 nothing yet.
    long read(unsigned char* data, std::size_t size);
    // Writes all of it, waiting on the socket as needed; false when the connection failed.
    bool writeAll(const unsigned char* data, std::size_t size);
    // Bytes already decrypted and waiting to be read.
    bool pending() const;
    // Says goodbye to the broker (close_notify), without waiting for its answer.
    void shutdown();

private:
    std::shared_ptr<TlsTrust> trust_;
    ssl_st* ssl_;
    int fd_;
};

}  // namespace ravelin
