#include "platform/mosquitto_client.h"

#include <mosquitto.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/broker_tls.h"
#include "platform/mqtt_inbound.h"

namespace ravelin {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kKeepAliveSeconds = 30;
constexpr auto kAnswerTimeout = std::chrono::seconds(10);  // a broker that accepts but never answers
constexpr auto kFirstDelay = std::chrono::seconds(1);
constexpr auto kLongestDelay = std::chrono::seconds(30);
// A connection the broker ends sooner than this after accepting it was cut short.
constexpr auto kSteadyAfter = std::chrono::seconds(10);
constexpr auto kFirstCutDelay = std::chrono::seconds(2);
constexpr auto kLongestCutDelay = std::chrono::seconds(300);

class MosquittoClient final : public MqttClient {
public:
    MosquittoClient(const MosquittoSettings& s, mosquitto* mosq, std::shared_ptr<TlsTrust> trust)
        : settings_(s), mosq_(mosq), trust_(std::move(trust)) {
        mosquitto_user_data_set(mosq_, this);
        mosquitto_connect_callback_set(mosq_, &MosquittoClient::onConnect);
        mosquitto_publish_callback_set(mosq_, &MosquittoClient::onPublish);
    }

    ~MosquittoClient() override {
        stop();
        mosquitto_destroy(mosq_);
    }

    void setEvents(MqttClientEvents* events) override { events_ = events; }

    void start(const MqttMessage& will) override {
        if (worker_.joinable()) return;
        mosquitto_will_set(mosq_, will.topic.c_str(), static_cast<int>(will.payload.size()), will.payload.data(),
                           will.qos, will.retain);
        worker_ = std::thread([this] { run(); });
    }

    int publish(const MqttMessage& m) override {
        int id = 0;
        const int rc = mosquitto_publish(mosq_, &id, m.topic.c_str(), static_cast<int>(m.payload.size()),
                                         m.payload.data(), m.qos, m.retain);
        if (rc == MOSQ_ERR_SUCCESS) return id;
        // A QoS 1 message is queued before the library finds the link down; it goes out after reconnecting.
        if (rc == MOSQ_ERR_NO_CONN && m.qos > 0) return id;
        return -1;
    }

    void stop() override {
        if (!worker_.joinable()) return;
        mosquitto_disconnect(mosq_);
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        worker_.join();
    }

private:
    static void onConnect(mosquitto*, void* self, int rc) {
        auto* c = static_cast<MosquittoClient*>(self);
        if (rc == 0) {
            c->answered_ = true;
            c->post([c] {
                if (c->events_) c->events_->connected();
            });
        } else {
            c->refusal_ = mosquitto_connack_string(rc);
        }
    }
    static void onPublish(mosquitto*, void* self, int id) {
        auto* c = static_cast<MosquittoClient*>(self);
        c->post([c, id] {
            if (c->events_) c->events_->delivered(id);
        });
    }
    template <typename F>
    void post(F f) {
        QMetaObject::invokeMethod(&context_, std::move(f), Qt::QueuedConnection);
    }

    bool stopping() {
        std::lock_guard lock(mutex_);
        return stopping_;
    }

    std::string reasonFor(int rc, int savedErrno) const {
        if (!refusal_.empty()) return refusal_;
        if (rc == MOSQ_ERR_CONN_REFUSED && !lastError_.empty()) return lastError_;  // said by the relay
        if (rc == MOSQ_ERR_KEEPALIVE)
            return "the broker stopped answering: no reply within the " + std::to_string(kKeepAliveSeconds) +
                   "-second keep-alive time";
        if (rc == MOSQ_ERR_ERRNO && savedErrno != 0) return std::strerror(savedErrno);
        if (rc == MOSQ_ERR_EAI) return "host name not found";
        // The library's own answer for a code it does not know, whatever its wording.
        static const std::string unknown = mosquitto_strerror(-1000);
        const std::string text = mosquitto_strerror(rc);
        return text == unknown ? "MQTT library error " + std::to_string(rc) : text;
    }

    // Connects to the broker through the relay (and its TLS), then libmosquitto to the relay's loopback port.
    int connectOnce(BrokerRelay& relay, int& savedErrno) {
        std::string error;
        const auto stop = [this] { return stopping(); };
        if (!relay.connect(settings_.broker.host, settings_.broker.port, kAnswerTimeout, stop, error) ||
            (trust_ && !relay.startTls(trust_, settings_.broker.host, kAnswerTimeout, stop, error))) {
            lastError_ = error;
            return MOSQ_ERR_CONN_REFUSED;  // lastError_ says why
        }
        const int port = relay.listen(error);
        if (port == 0) {
            lastError_ = error;
            return MOSQ_ERR_CONN_REFUSED;
        }
        const int rc = mosquitto_connect_async(mosq_, "127.0.0.1", port, kKeepAliveSeconds);
        savedErrno = errno;
        if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_CONN_PENDING) return rc;
        sockaddr_in own{};
        socklen_t len = sizeof own;
        if (::getsockname(mosquitto_socket(mosq_), reinterpret_cast<sockaddr*>(&own), &len) != 0 ||
            !relay.accept(ntohs(own.sin_port))) {
            lastError_ = "the connection through 127.0.0.1 was not made";
            return MOSQ_ERR_CONN_REFUSED;
        }
        return rc;
    }

    // Connects, runs the connection until it ends, waits, tries again; all on this thread.
    void run() {
        auto delay = kFirstDelay;
        while (!stopping()) {
            answered_ = false;
            refusal_.clear();
            lastError_.clear();
            errno = 0;
            int savedErrno = 0;
            relay_ = std::make_unique<BrokerRelay>();
            BrokerRelay& relay = *relay_;
            int rc = connectOnce(relay, savedErrno);
            bool timedOut = false;
            Clock::time_point acceptedAt{};
            bool steady = false;
            if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_CONN_PENDING) {
                const auto began = Clock::now();
                while (!stopping()) {
                    errno = 0;
                    rc = mosquitto_loop(mosq_, 250, 1);
                    savedErrno = errno;
                    if (rc != MOSQ_ERR_SUCCESS) break;
                    if (answered_ && acceptedAt == Clock::time_point{}) acceptedAt = Clock::now();
                    if (!answered_ && Clock::now() - began > kAnswerTimeout) {
                        timedOut = true;
                        break;
                    }
                    if (answered_ && !steady && Clock::now() - acceptedAt >= kSteadyAfter) {
                        steady = true;
                        delay = kFirstDelay;  // a connection that worked starts the backoff afresh
                        post([this] {
                            if (events_) events_->connectionSteady();
                        });
                    }
                }
            }
            if (stopping()) break;
            relay.close();
            MqttLoss loss;
            loss.cutShort = answered_ && !steady;
            const std::string fault = relay.fault();
            const bool reset = rc == MOSQ_ERR_ERRNO && (savedErrno == EPIPE || savedErrno == ECONNRESET);
            loss.byBroker = fault.empty() && (rc == MOSQ_ERR_CONN_LOST || reset);
            loss.reason = !fault.empty() ? fault + ": connection dropped"
                          : timedOut     ? "no answer from the broker"
                                         : reasonFor(rc, savedErrno);
            // A broker that takes connections only to end them is tried less and less often;
            // an ordinary loss after such a series goes back to the ordinary schedule's cap.
            if (loss.cutShort) delay = std::clamp(delay * 2, kFirstCutDelay, kLongestCutDelay);
            else delay = std::min(delay, kLongestDelay);
            post([this, loss] {
                if (events_) events_->connectionLost(loss);
            });
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, delay, [this] { return stopping_; });
            if (!loss.cutShort) delay = std::max(delay, std::min(delay * 2, kLongestDelay));
        }
        // The DISCONNECT asked for by stop() is written before the thread ends.
        const auto until = Clock::now() + std::chrono::seconds(1);
        while (Clock::now() < until && mosquitto_loop(mosq_, 100, 1) == MOSQ_ERR_SUCCESS) {
        }
        if (relay_) relay_->close(std::chrono::milliseconds(500));  // what the client wrote reaches the broker
    }

    MosquittoSettings settings_;
    mosquitto* mosq_;
    MqttClientEvents* events_ = nullptr;
    QObject context_;  // lives on the creating thread: events are delivered there
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    // Written and read on the worker thread only.
    std::atomic<bool> answered_{false};
    std::string refusal_;
    std::string lastError_;
    std::shared_ptr<TlsTrust> trust_;     // for mqtts://
    std::unique_ptr<BrokerRelay> relay_;  // the current connection's
};

std::once_flag libraryInit;

}  // namespace

std::unique_ptr<MqttClient> createMosquittoClient(const MosquittoSettings& s, std::string& error) {
    std::call_once(libraryInit, [] { mosquitto_lib_init(); });
    mosquitto* mosq = mosquitto_new(s.clientId.empty() ? nullptr : s.clientId.c_str(), true, nullptr);
    if (!mosq) {
        error = std::strerror(errno);
        return nullptr;
    }
    auto fail = [&](const std::string& what, int rc) {
        error = what + ": " + mosquitto_strerror(rc);
        mosquitto_destroy(mosq);
        return nullptr;
    };
    int rc = mosquitto_threaded_set(mosq, true);
    if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    if (rc != MOSQ_ERR_SUCCESS) return fail("MQTT client", rc);
    if (!s.user.empty()) {
        rc = mosquitto_username_pw_set(mosq, s.user.c_str(), s.password.empty() ? nullptr : s.password.c_str());
        if (rc != MOSQ_ERR_SUCCESS) return fail("--mqtt-user", rc);
    }
    std::shared_ptr<TlsTrust> trust;
    if (s.broker.tls) {
        std::string why;
        trust = TlsTrust::load(s.caFile, why);
        if (!trust) {
            error = (s.caFile.empty() ? std::string("the system's CA store") : "--mqtt-ca " + s.caFile) + ": " + why;
            mosquitto_destroy(mosq);
            return nullptr;
        }
    }
    return std::make_unique<MosquittoClient>(s, mosq, std::move(trust));
}

}  // namespace ravelin
