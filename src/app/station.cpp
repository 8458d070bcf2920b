#include "app/station.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSysInfo>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "app/version.h"
#include "engine/convert.h"
#include "outputs/broker_url.h"
#include "outputs/map_uploads.h"
#include "outputs/station_publisher.h"
#include "platform/journal_prefix.h"
#include "platform/mosquitto_client.h"
#include "platform/mqtt_support.h"
#include "platform/posix_files.h"

namespace ravelin {
namespace {

// Runs the event loop until `done` or the time is up; the client's events come through it.
void waitFor(const std::function<bool()>& done, int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired()) loop.quit();
    });
    poll.start(10);
    if (!done()) loop.exec();
}

std::string lastTopicLevel(const std::string& prefix) {
    const auto slash = prefix.rfind('/');
    return slash == std::string::npos ? prefix : prefix.substr(slash + 1);
}

}  // namespace

Station::Station(std::unique_ptr<MqttClient> client, std::unique_ptr<StationPublisher> publisher,
                 std::unique_ptr<SystemUtcClock> clock, Monitor& monitor)
    : clock_(std::move(clock)), client_(std::move(client)), publisher_(std::move(publisher)), monitor_(monitor) {
    monitor_.pipeline().addObserver(publisher_.get());
    publisher_->start();
}

Station::~Station() {
    finish();
    monitor_.pipeline().removeObserver(publisher_.get());
    client_.reset();  // joins the client's thread before the publisher its events go to is gone
}

void Station::finish() {
    if (finished_) return;
    finished_ = true;
    StationPublisher& p = *publisher_;
    // A connection still being made gets a moment; a broker that answers gets time to take what is kept.
    waitFor([&p] { return p.idle() || p.isConnected() || p.linkFailed(); }, 1500);
    if (p.isConnected()) waitFor([&p] { return p.idle() || !p.isConnected(); }, 5000);
    if (p.isConnected()) {
        p.goOffline();
        waitFor([&p] { return p.idle() || !p.isConnected(); }, 1000);
    }
    if (p.keptRecords() > 0)
        say(Priority::Warning, integerText(static_cast<std::int64_t>(p.keptRecords())) +
                                   " record(s) not delivered to the MQTT broker" +
                                   (p.everyRecordLogged() ? " (they are in the CSV log)" : ""));
    const std::uint64_t tooFast = p.droppedRecords() - p.droppedUnreachable();
    if (p.droppedUnreachable() > 0)
        say(Priority::Warning, integerText(static_cast<std::int64_t>(p.droppedUnreachable())) +
                                   " record(s) dropped while the MQTT broker could not be reached");
    if (tooFast > 0)
        say(Priority::Warning, integerText(static_cast<std::int64_t>(tooFast)) +
                                   " record(s) dropped: they came faster than the MQTT broker acknowledged them"
                                   " (one in flight at a time)");
    client_->stop();
}

std::unique_ptr<Station> startStation(const Options& o, Monitor& monitor, MonitorFace& face, std::string& error,
                                      MapUploads* maps) {
    if (!o.mqttUrl) {
        for (const auto& [given, name] : {std::pair{o.mqttPrefix.has_value(), "--mqtt-prefix"},
                                           {o.mqttUser.has_value(), "--mqtt-user"},
                                           {o.mqttPasswordFile.has_value(), "--mqtt-password-file"},
                                           {o.mqttCa.has_value(), "--mqtt-ca"}}) {
            if (given) {
                error = std::string(name) + " needs --mqtt";
                return nullptr;
            }
        }
        return nullptr;
    }
    const auto url = parseBrokerUrl(*o.mqttUrl);
    if (!url) {
        error = "--mqtt: \"" + *o.mqttUrl + "\" is not mqtt://host[:port] or mqtts://host[:port]";
        return nullptr;
    }
    if (o.mqttCa && !url->tls) {
        error = "--mqtt-ca needs an mqtts:// broker";
        return nullptr;
    }
    const std::string host = QSysInfo::machineHostName().toStdString();
    const std::string prefix = o.mqttPrefix.value_or("ravelin/" + (host.empty() ? std::string("station") : host));
    if (const std::string why = topicPrefixError(prefix); !why.empty()) {
        error = "--mqtt-prefix: \"" + prefix + "\": " + why;
        return nullptr;
    }
    MosquittoSettings settings;
    settings.broker = *url;
    settings.caFile = o.mqttCa.value_or("");
    settings.user = o.mqttUser.value_or("");
    if (o.mqttPasswordFile) {
        if (settings.user.empty()) {
            error = "--mqtt-password-file needs --mqtt-user";
            return nullptr;
        }
        if (!readPasswordFile(*o.mqttPasswordFile, settings.password, error)) return nullptr;
    }
    settings.clientId = "ravelin-" + integerText(static_cast<std::int64_t>(::getpid())) + "-" + host;
    auto client = createMosquittoClient(settings, error);
    if (!client) return nullptr;

    auto clock = std::make_unique<SystemUtcClock>();
    StationConfig config{prefix, "Ravelin " + lastTopicLevel(prefix), kRavelinVersion, 1440};
    auto publisher = std::make_unique<StationPublisher>(*client, *clock, face, config, url->text());
    if (maps) publisher->setStateExtra([maps] { return maps->stateJson(); });
    return std::make_unique<Station>(std::move(client), std::move(publisher), std::move(clock), monitor);
}

}  // namespace ravelin
