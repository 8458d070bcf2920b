// The bound on what an MQTT broker may send the monitor: a parser of MQTT fixed headers
// that watches the bytes from the broker, and a relay on the loopback interface that puts
// it between libmosquitto (which has no limit of its own) and a plain-TCP broker.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace ravelin {

class TlsTrust;
class TlsSession;

// The largest packet taken from a broker; the monitor subscribes to nothing, so the
// broker's packets are acknowledgements of a few bytes.
constexpr std::size_t kMaxInboundPacket = 64 * 1024;

// Follows the packets in a byte stream from the broker.
class InboundPacketLimit {
public:
    explicit InboundPacketLimit(std::size_t limit = kMaxInboundPacket) : limit_(limit) {}
    // Takes the next bytes; false, with fault() set, once a packet announces more than the limit
    // or its length field is malformed. No packet can then be longer than the limit plus its header.
    bool feed(const unsigned char* data, std::size_t size);
    const std::string& fault() const { return fault_; }
    // After a fault: how many bytes of the last feed came before the packet at fault (complete packets to pass on).
    std::size_t beforeFault() const { return beforeFault_; }

private:
    std::size_t limit_;
    bool inHeader_ = true;   // reading the type byte and the length field
    int lengthBytes_ = -1;   // length bytes read so far; -1 before the type byte
    std::uint64_t length_ = 0;
    std::uint64_t left_ = 0;  // body bytes still to come
    std::string fault_;
    std::size_t beforeFault_ = 0;
};

// One connection to a broker, relayed through 127.0.0.1 so that its inbound packets are bounded.
// With TLS the relay holds the session itself, so the bound applies to the decrypted packets.
class BrokerRelay {
public:
    BrokerRelay();
    ~BrokerRelay();

    // Connects to the broker; false with the reason in words ("Connection refused", "host name not found",
    // "no answer from the broker") when it cannot. `stopping` is asked every quarter second.
    bool connect(const std::string& host, int port, std::chrono::milliseconds timeout,
                 const std::function<bool()>& stopping, std::string& error);
    // TLS over the connection, the certificate checked against `trust` and `host`; false with the
    // reason in words when the handshake fails.
    bool startTls(std::shared_ptr<TlsTrust> trust, const std::string& host, std::chrono::milliseconds timeout,
                  const std::function<bool()>& stopping, std::string& error);
    // A listening port on 127.0.0.1 for the client to connect to; 0 when none could be made.
    int listen(std::string& error);
    // Takes the client's connection, the one whose local port is `clientPort`, and starts relaying
    // on a thread of its own. False when it did not come within a second.
    bool accept(int clientPort);
    // Why the relay dropped the connection (a packet over the bound); empty when it did not.
    std::string fault() const;
    // Ends both connections and the relay's thread, after giving it `grace` to pass on what it holds.
    void close(std::chrono::milliseconds grace = std::chrono::milliseconds(0));

private:
    void pump();
    long readBroker(unsigned char* data, std::size_t size);
    bool writeBroker(const unsigned char* data, std::size_t size);

    int broker_ = -1;
    int listener_ = -1;
    int client_ = -1;
    std::unique_ptr<TlsSession> tls_;
    std::thread thread_;
    std::atomic<bool> done_{false};
    mutable std::mutex mutex_;
    std::string fault_;
};

}  // namespace ravelin
