#include "app/maps.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "app/map_options.h"
#include "app/version.h"
#include "engine/convert.h"
#include "platform/journal_prefix.h"
#include "platform/mqtt_support.h"
#include "platform/qt_http_client.h"

namespace ravelin {
namespace {

constexpr int kDefaultTimeoutSeconds = 30;
constexpr long long kDefaultOutboxMax = 525600;  // a year of minutes
constexpr int kFinishMilliseconds = 5000;
constexpr int kFinishRetryMilliseconds = 1000;

ProblemKey problemKeyOf(const std::string& service) {
    return service == "radmon.org" ? ProblemKey::MapRadmon
           : service == "GMCmap"   ? ProblemKey::MapGmcmap
                                   : ProblemKey::MapSafecast;
}

std::string countText(std::uint64_t n) { return integerText(static_cast<std::int64_t>(n)); }

}  // namespace

MapSharing::MapSharing(Monitor& monitor, MonitorFace& face) : monitor_(monitor), face_(face), uploads_(clock_) {}

MapSharing::~MapSharing() {
    finish();
    monitor_.pipeline().removeObserver(&uploads_);
    for (auto& client : clients_) client->abortAll();
}

void MapSharing::mapStateChanged(const MapStatus& s) {
    const bool outbox = s.hasOutbox;
    const std::string count = countText(outbox ? s.waiting : s.dropped);
    if (outbox && s.outboxError != outboxError_) {
        outboxError_ = s.outboxError;
        if (!s.outboxError.empty()) {
            face_.setProblem(Problem{ProblemKey::MapOutbox, {}, countText(s.waiting), s.outboxError});
        } else {
            face_.clearProblem(ProblemKey::MapOutbox);
            say(Priority::Notice, "the Safecast outbox is written again");
        }
    }
    if (outbox && s.dropped != outboxDropped_) {
        outboxDropped_ = s.dropped;
        say(Priority::Warning, "the Safecast outbox is full: " + countText(s.dropped) +
                                   " oldest reading(s) dropped so far (--outbox-max)");
    }
    auto& last = states_[s.service];
    if (last == s.state) return;
    last = s.state;
    const ProblemKey key = problemKeyOf(s.service);
    switch (s.state) {
        case MapState::Starting: break;
        case MapState::Working:
            face_.clearProblem(key);
            say(Priority::Notice, "uploads to " + s.service + " working again" +
                                      (outbox ? "; " + count + " reading(s) waiting" : std::string{}));
            break;
        case MapState::Failing: face_.setProblem(Problem{key, "failing", count, s.reason}); break;
        case MapState::Stopped: face_.setProblem(Problem{key, "stopped", count, s.reason}); break;
    }
}

void MapSharing::start() {
    started_ = true;
    if (OutboxUploader* safecast = uploads_.outboxMap()) safecast->sendNow();
}

void MapSharing::finish() {
    // A run refused at its start (a bad option elsewhere) sends nothing.
    if (finished_ || !started_) return;
    finished_ = true;
    OutboxUploader* safecast = uploads_.outboxMap();
    // The backlog gets a few seconds while Safecast takes it; a failure is tried again a
    // second later (the monitor's seconds, which time the back-off, have stopped).
    QElapsedTimer sinceTry;
    sinceTry.start();
    const auto more = [&] {
        if (uploads_.busy()) {
            sinceTry.restart();
            return true;
        }
        if (!safecast || safecast->stopped() || safecast->outbox().empty()) return false;
        if (safecast->status().state == MapState::Failing && sinceTry.elapsed() < kFinishRetryMilliseconds)
            return true;
        sinceTry.restart();
        return safecast->sendNow();
    };
    const QDeadlineTimer deadline(kFinishMilliseconds);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!more() || deadline.hasExpired()) loop.quit();
    });
    poll.start(5);
    if (more()) loop.exec();
    for (auto& client : clients_) client->abortAll();
    if (safecast && !safecast->outbox().empty())
        say(Priority::Notice, countText(safecast->outbox().size()) + " reading(s) for Safecast kept in " +
                                  safecast->outbox().path() + " for the next start");
}

std::unique_ptr<MapSharing> startMapSharing(const Options& options, Monitor& monitor, MonitorFace& face,
                                            std::string& error) {
    const MapOptions& m = options.maps;
    error = mapOptionsError(m);
    if (!error.empty() || !m.any()) return nullptr;
    auto sharing = std::make_unique<MapSharing>(monitor, face);
    MapSharing& s = *sharing;
    const int timeoutMs = static_cast<int>(m.uploadTimeout.value_or(kDefaultTimeoutSeconds)) * 1000;
    // A live map's request must be over before the next reading is due.
    const int liveTimeoutMs = std::min(timeoutMs, 50000);
    const std::string agent = std::string("Ravelin/") + kRavelinVersion;
    auto client = [&] { return s.clients_.emplace_back(createQtHttpClient(agent)).get(); };

    if (m.radmon) {
        RadmonAccount a;
        a.url = m.radmonUrl.value_or(kRadmonUrl);
        a.user = *m.radmon;
        if (!readSecretFile("--radmon-password-file", *m.radmonPasswordFile, "password", a.password, error))
            return nullptr;
        s.uploads_.addLiveMap(std::make_unique<LiveMapUploader>(
            "radmon.org", *client(), [a, liveTimeoutMs](const MapReading& r) { return radmonRequest(a, r, liveTimeoutMs); },
            judgeRadmon, s));
    }
    if (m.gmcmap) {
        GmcmapAccount a;
        a.url = m.gmcmapUrl.value_or(kGmcmapUrl);
        a.accountId = *m.gmcmap;
        if (!readSecretFile("--gmcmap-counter-file", *m.gmcmapCounterFile, "counter id", a.counterId, error))
            return nullptr;
        s.uploads_.addLiveMap(std::make_unique<LiveMapUploader>(
            "GMCmap", *client(), [a, liveTimeoutMs](const MapReading& r) { return gmcmapRequest(a, r, liveTimeoutMs); },
            judgeGmcmap, s));
    }
    if (m.safecast) {
        SafecastAccount a;
        a.url = m.safecastUrl.value_or(kSafecastUrl);
        a.deviceId = *m.safecast;
        a.latitude = *m.latitude;
        a.longitude = *m.longitude;
        if (!readSecretFile("--safecast-key-file", *m.safecastKeyFile, "API key", a.apiKey, error)) return nullptr;
        const std::string folder = stateFolder(m);
        std::string why;
        if (!s.files_.createDirectories(folder, why)) {
            error = "the state folder " + folder + " cannot be made: " + why;
            return nullptr;
        }
        s.outbox_ = std::make_unique<Outbox>(s.files_, folder + "/safecast.outbox",
                                             static_cast<std::size_t>(m.outboxMax.value_or(kDefaultOutboxMax)));
        if (!s.outbox_->load(error)) {
            error = "the Safecast outbox cannot be read: " + error;
            return nullptr;
        }
        if (!s.outbox_->empty())
            say(Priority::Notice, countText(s.outbox_->size()) + " reading(s) for Safecast waiting in " +
                                      s.outbox_->path() + " from an earlier run");
        auto uploader = std::make_unique<OutboxUploader>(
            "Safecast", *client(), *s.outbox_,
            [a, timeoutMs](const MapReading& r) { return safecastRequest(a, r, timeoutMs); }, judgeSafecast, s);
        s.uploads_.setOutboxMap(std::move(uploader));
    }
    monitor.pipeline().addObserver(&s.uploads_);
    return sharing;
}

}  // namespace ravelin
