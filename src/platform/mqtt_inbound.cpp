#include "platform/mqtt_inbound.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/broker_tls.h"
#include "platform/socket_wait.h"

namespace ravelin {

bool InboundPacketLimit::feed(const unsigned char* data, std::size_t size) {
    if (!fault_.empty()) return false;
    std::size_t i = 0;
    std::size_t packetStart = 0;  // in this feed; 0 also for a header begun in an earlier one
    while (i < size) {
        if (!inHeader_) {
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(left_, size - i));
            i += take;
            left_ -= take;
            if (left_ == 0) inHeader_ = true;
            continue;
        }
        const unsigned char byte = data[i++];
        if (lengthBytes_ < 0) {  // the type byte
            packetStart = i - 1;
            lengthBytes_ = 0;
            length_ = 0;
            continue;
        }
        length_ |= static_cast<std::uint64_t>(byte & 0x7f) << (7 * lengthBytes_);
        ++lengthBytes_;
        if (byte & 0x80) {
            if (lengthBytes_ == 4) {
                fault_ = "the broker sent a malformed packet length";
                beforeFault_ = packetStart;
                return false;
            }
            continue;
        }
        if (length_ > limit_) {
            fault_ = "the broker announced a " + std::to_string(length_) + "-byte packet, more than the " +
                     std::to_string(limit_) + " bytes the monitor takes";
            beforeFault_ = packetStart;
            return false;
        }
        lengthBytes_ = -1;
        left_ = length_;
        inHeader_ = left_ == 0;
    }
    return true;
}

namespace {

bool sendAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

BrokerRelay::BrokerRelay() = default;
BrokerRelay::~BrokerRelay() { close(); }

bool BrokerRelay::connect(const std::string& host, int port, std::chrono::milliseconds timeout,
                          const std::function<bool()>& stopping, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) {
        error = "host name not found";
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int lastErrno = 0;
    bool timedOut = false;
    for (addrinfo* a = found; a && broker_ < 0 && !stopping(); a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            lastErrno = errno;
            continue;
        }
        int rc = ::connect(fd, a->ai_addr, a->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            const int ready = waitForSocket(fd, POLLOUT, deadline, stopping);
            int soError = 0;
            socklen_t len = sizeof soError;
            if (ready == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) == 0 && soError == 0) rc = 0;
            else if (ready == 1) errno = soError;
            else timedOut = ready == 0;
        }
        if (rc == 0) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            broker_ = fd;
        } else {
            lastErrno = errno;
            ::close(fd);
        }
    }
    ::freeaddrinfo(found);
    if (broker_ >= 0) return true;
    error = timedOut ? "no answer from the broker" : lastErrno ? std::strerror(lastErrno) : "no address to connect to";
    return false;
}

bool BrokerRelay::startTls(std::shared_ptr<TlsTrust> trust, const std::string& host,
                           std::chrono::milliseconds timeout, const std::function<bool()>& stopping,
                           std::string& error) {
    ::fcntl(broker_, F_SETFL, ::fcntl(broker_, F_GETFL) | O_NONBLOCK);
    tls_ = std::make_unique<TlsSession>(std::move(trust), broker_);
    return tls_->handshake(host, std::chrono::steady_clock::now() + timeout, stopping, error);
}

long BrokerRelay::readBroker(unsigned char* data, std::size_t size) {
    if (tls_) return tls_->read(data, size);
    const ssize_t n = ::recv(broker_, data, size, 0);
    return n < 0 && errno == EINTR ? -2 : n;
}

bool BrokerRelay::writeBroker(const unsigned char* data, std::size_t size) {
    return tls_ ? tls_->writeAll(data, size) : sendAll(broker_, data, size);
}

int BrokerRelay::listen(std::string& error) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener_, 4) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        error = std::string("cannot listen on 127.0.0.1: ") + std::strerror(errno);
        closeFd(listener_);
        return 0;
    }
    return ntohs(a.sin_port);
}

bool BrokerRelay::accept(int clientPort) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    const auto never = [] { return false; };
    // Another local program could connect first: only the client's own connection is taken.
    while (client_ < 0 && waitForSocket(listener_, POLLIN, deadline, never) == 1) {
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        const int fd = ::accept4(listener_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
        if (fd < 0) continue;
        if (ntohs(peer.sin_port) == clientPort && peer.sin_addr.s_addr == htonl(INADDR_LOOPBACK)) client_ = fd;
        else ::close(fd);
    }
    closeFd(listener_);
    if (client_ < 0) return false;
    thread_ = std::thread([this] { pump(); });
    return true;
}

std::string BrokerRelay::fault() const {
    std::lock_guard lock(mutex_);
    return fault_;
}

void BrokerRelay::pump() {
    InboundPacketLimit limit;
    unsigned char buf[16384];
    pollfd p[2] = {{broker_, POLLIN, 0}, {client_, POLLIN, 0}};
    for (;;) {
        // Bytes OpenSSL decrypted already are not seen by poll: read them first.
        const bool buffered = tls_ && tls_->pending();
        if (::poll(p, 2, buffered ? 0 : -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (p[0].revents || buffered) {
            const long n = readBroker(buf, sizeof buf);
            if (n == 0 || n == -1) break;
            if (n > 0) {
                if (!limit.feed(buf, static_cast<std::size_t>(n))) {
                    sendAll(client_, buf, limit.beforeFault());  // the packets before it, a CONNACK say
                    std::lock_guard lock(mutex_);
                    fault_ = limit.fault();
                    break;
                }
                if (!sendAll(client_, buf, static_cast<std::size_t>(n))) break;
            }
        }
        if (p[1].revents) {
            const ssize_t n = ::recv(client_, buf, sizeof buf, 0);
            if (n <= 0) {
                if (tls_) tls_->shutdown();
                break;
            }
            if (!writeBroker(buf, static_cast<std::size_t>(n))) break;
        }
    }
    // Either side gone: the other one learns it at once.
    ::shutdown(broker_, SHUT_RDWR);
    ::shutdown(client_, SHUT_RDWR);
    done_ = true;
}

void BrokerRelay::close(std::chrono::milliseconds grace) {
    const auto until = std::chrono::steady_clock::now() + grace;
    while (thread_.joinable() && !done_ && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (broker_ >= 0) ::shutdown(broker_, SHUT_RDWR);
    if (client_ >= 0) ::shutdown(client_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    tls_.reset();
    closeFd(broker_);
    closeFd(client_);
    closeFd(listener_);
}

}  // namespace ravelin
