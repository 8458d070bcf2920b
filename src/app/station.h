// Station mode from the command line: the publisher, its libmosquitto client and the
// monitor's pipeline put together. Without --mqtt there is no station.
#pragma once

#include <memory>
#include <string>

#include "app/options.h"
#include "control/monitor.h"

namespace ravelin {

class MapUploads;
class MqttClient;
class StationPublisher;
class SystemUtcClock;

class Station {
public:
    Station(std::unique_ptr<MqttClient> client, std::unique_ptr<StationPublisher> publisher,
            std::unique_ptr<SystemUtcClock> clock, Monitor& monitor);
    // Runs finish() if it was not run.
    ~Station();

    // At exit: kept records and the last state go out, then "offline", then a clean
    // disconnect; a broker that does not answer costs a second and a half at most.
    void finish();

    StationPublisher& publisher() { return *publisher_; }

private:
    std::unique_ptr<SystemUtcClock> clock_;
    std::unique_ptr<MqttClient> client_;
    std::unique_ptr<StationPublisher> publisher_;
    Monitor& monitor_;
    bool finished_ = false;
};

// Builds station mode, attaches it to the monitor's pipeline and starts connecting;
// its problems go to `face`. nullptr without --mqtt, and nullptr with `error` set for
// a bad --mqtt* option (a command-line error, exit status 2). Call it before Start.
// With `maps`, each state message also carries the public maps' states.
std::unique_ptr<Station> startStation(const Options& options, Monitor& monitor, MonitorFace& face, std::string& error,
                                      MapUploads* maps = nullptr);

}  // namespace ravelin
