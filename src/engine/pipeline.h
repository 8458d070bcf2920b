// The per-second chain run for every buffer: copy, scan, count seconds, hand the
// buffer back, dose rate, log record, test snapshot, alarms, trend graph.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/capture_device.h"
#include "engine/face.h"
#include "engine/log_record.h"
#include "engine/monitor_state.h"
#include "engine/pipeline_steps.h"
#include "engine/reading_interval.h"
#include "engine/services.h"
#include "engine/settings.h"

namespace ravelin {

class Displays;

// What one second produced, as numbers; each output writes them with the number texts.
struct SecondReport {
    std::int32_t seconds;
    std::int64_t total;
    std::int64_t cpm;   // as the CPM readout shows it
    float dose;         // µSv/h, as the dose readout shows it
    bool doseUsable;    // a dose was made (a sensitivity gave one); false only before the first
    std::int16_t alarmLatch1;
    std::int16_t alarmLatch2;
    std::optional<ReadingInterval> interval{};  // the 95 % interval of the CPM and the dose; none before a dose
};

// The texts the CPM and dose readouts show for the report; empty before a dose was made.
std::string cpmText(const SecondReport& report);
std::string doseText(const SecondReport& report);

// Follows the pipeline without taking part in it (the headless output, the station publisher).
class PipelineObserver {
public:
    virtual ~PipelineObserver() = default;
    // After the last step of a buffer.
    virtual void secondDone(const SecondReport&) {}
    // On every 60th second, whether or not logging is ticked; `logged` tells which.
    virtual void recordDue(const LogRecord&, bool /*logged*/) {}
    // A stage that fired this second, with the dose and the limit it passed.
    virtual void alarmFired(int /*stage*/, float /*dose*/, float /*limit*/) {}
};

class Pipeline {
public:
    Pipeline(MonitorState& state, MonitorFace& face, SettingReader& settings, CaptureDevice& device,
             RecordLog& log, const Clock& clock, AlarmCheck& alarms, Displays* displays);

    void addObserver(PipelineObserver* observer) { observers_.push_back(observer); }
    void removeObserver(PipelineObserver* observer) { std::erase(observers_, observer); }

    // Whether the scratch file is open does not decide the scan (a file we could not
    // create must not stop the counting); the window is told instead.
    void BufferDone(std::int16_t index, std::int32_t byteCount, std::int16_t stopFlag);
    // Shows or clears the problem of records not yet written, and says each log file
    // found ending in a cut line.
    void reportLog();

private:
    std::int32_t scan();
    void doseRate(std::int32_t pulses);
    void logStep();
    void testSnapshot();
    void trendGraph();

    MonitorState& state_;
    MonitorFace& face_;
    SettingReader& settings_;
    CaptureDevice& device_;
    RecordLog& log_;
    const Clock& clock_;
    AlarmCheck& alarms_;
    Displays* displays_;
    std::vector<PipelineObserver*> observers_;
    // The levels of the last scan whose C - D and C + D fitted in 16 bits.
    std::int16_t lastLower_ = 47;
    std::int16_t lastUpper_ = 53;
    // The last second whose count was more than a slot of SecondCounts holds, 0 for none.
    std::int32_t lastCappedSecond_ = 0;
    // The last dose step's readouts, for the observers.
    std::int64_t cpm_ = 0;
    float dose_ = 0;
    bool doseUsable_ = false;
    std::optional<ReadingInterval> interval_;
};

}  // namespace ravelin
