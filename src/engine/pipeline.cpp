#include "engine/pipeline.h"

#include <limits>

#include "engine/convert.h"
#include "engine/detector.h"
#include "engine/displays.h"
#include "engine/dose.h"

namespace ravelin {

std::string cpmText(const SecondReport& r) { return r.doseUsable ? integerText(r.cpm) : std::string{}; }
std::string doseText(const SecondReport& r) { return r.doseUsable ? singleText(r.dose) : std::string{}; }

Pipeline::Pipeline(MonitorState& state, MonitorFace& face, SettingReader& settings, CaptureDevice& device,
                   RecordLog& log, const Clock& clock, AlarmCheck& alarms, Displays* displays)
    : state_(state), face_(face), settings_(settings), device_(device), log_(log), clock_(clock),
      alarms_(alarms), displays_(displays) {}

void Pipeline::BufferDone(std::int16_t index, std::int32_t byteCount, std::int16_t stopFlag) {
    // After a test snapshot every later buffer, those handed back by Stop included, is ignored.
    if (state_.TestDone == 1) return;

    std::int32_t pulses = 0;
    if (byteCount > 0) {
        device_.GetBufferData(state_.SampleBuffer, index, byteCount);
        if (static_cast<std::int64_t>(state_.SampleBuffer.size()) - 1 > static_cast<std::int64_t>(byteCount) - 1) {
            // A short buffer is not scanned; the sample buffer is made anew, all zero.
            const std::int32_t size = device_.BufferSize();
            state_.SampleBuffer.assign(size > 0 ? static_cast<std::size_t>(size) : 0, 0);
        } else {
            pulses = scan();
        }
    }

    state_.ElapsedSeconds += 1;
    face_.setText(Readout::Seconds, integerText(state_.ElapsedSeconds));
    if (stopFlag == 0) device_.QueueBuffer(index);

    doseRate(pulses);
    logStep();
    // A window's problem goes with its box: unticked, nothing is drawn that could fail.
    if (face_.isChecked(Switch::Snapshot))
        testSnapshot();
    else
        face_.clearProblem(ProblemKey::SnapshotOverflow);
    for (int stage = 1; stage <= 2; ++stage) {
        if (const auto limit = alarms_.CheckAlarmStage(stage))
            for (auto* o : observers_) o->alarmFired(stage, state_.CurrentDose, *limit);
    }
    if (face_.isChecked(Switch::TrendGraph))
        trendGraph();
    else
        face_.clearProblem(ProblemKey::TrendScale);

    if (!observers_.empty()) {
        const SecondReport report{state_.ElapsedSeconds, state_.TotalCount, cpm_, dose_, doseUsable_,
                                  state_.AlarmLatch1, state_.AlarmLatch2, interval_};
        for (auto* o : observers_) o->secondDone(report);
    }
}

std::int32_t Pipeline::scan() {
    const std::int16_t centre = settings_.readInt16(Setting::Threshold);
    const std::int16_t deadBand = settings_.readInt16(Setting::DeadBand);
    std::int16_t skip = settings_.readInt16(Setting::Skip);
    state_.thresholdCentre = centre;
    state_.deadBand = deadBand;
    state_.skipCount = skip;

    if (const ThresholdLevels levels = thresholdLevels(centre, deadBand); !levels.fit()) {
        face_.setProblem(Problem{ProblemKey::Overflow, {}, !levels.lower ? "C-D" : "C+D", {}});
    } else {
        face_.clearProblem(ProblemKey::Overflow);
        lastLower_ = *levels.lower;
        lastUpper_ = *levels.upper;
    }
    if (!skipUsable(skip)) {
        face_.setProblem(Problem{ProblemKey::SkipNegative, face_.text(Setting::Skip), {}, {}});
        skip = 0;
    } else {
        face_.clearProblem(ProblemKey::SkipNegative);
    }

    const std::int32_t pulses = scanPulses(state_.SampleBuffer, DetectorSettings{lastLower_, lastUpper_, skip},
                                           state_.Armed);
    if (pulses > 0) {
        state_.TotalCount += pulses;
        face_.setText(Readout::Total, integerText(state_.TotalCount));
    }
    return pulses;
}

void Pipeline::doseRate(std::int32_t pulses) {
    const auto sensitivity = settings_.readSensitivity();
    if (!sensitivity) return;  // Start makes sure there is one
    state_.Sensitivity = *sensitivity;
    const DoseStep step = doseStep(state_, state_.ElapsedSeconds, pulses, *sensitivity, state_.DeadTime);
    interval_ = readingInterval(step, *sensitivity, state_.DeadTime);
    if (step.deadTimeSaturated)
        face_.setProblem(Problem{ProblemKey::DeadTimeSaturated, {},
                                 singleText(static_cast<float>(*state_.DeadTime * 1e6)), {}});
    else if (state_.DeadTime)
        face_.clearProblem(ProblemKey::DeadTimeSaturated);
    // A count capped to fit its slot stays in the CPM for a minute; so does the report.
    const std::int32_t s = state_.ElapsedSeconds;
    if (pulses > std::numeric_limits<std::int16_t>::max()) {
        lastCappedSecond_ = s;
        face_.setProblem(Problem{ProblemKey::CountOverflow, {}, integerText(pulses), {}});
    } else if (lastCappedSecond_ != 0 && (s < lastCappedSecond_ || s - lastCappedSecond_ >= 60)) {
        lastCappedSecond_ = 0;
        face_.clearProblem(ProblemKey::CountOverflow);
    }
    if (step.finite)
        face_.clearProblem(ProblemKey::DoseOverflow);
    else
        face_.setProblem(Problem{ProblemKey::DoseOverflow, face_.text(Setting::Sensitivity), {}, {}});
    cpm_ = step.cpmShown;
    dose_ = step.dose;
    doseUsable_ = true;
    face_.setText(Readout::Cpm, integerText(step.cpmShown));
    face_.setText(Readout::Dose, singleText(step.dose));
}

void Pipeline::logStep() {
    if (state_.ElapsedSeconds % 60 != 0) return;
    const LogRecord record = makeLogRecord(clock_, state_.SaveFolder, state_.CurrentDose);
    const bool logged = face_.isChecked(Switch::Log);
    if (logged)
        log_.append(record);
    else if (log_.unwrittenCount() != 0)
        log_.retry();
    reportLog();
    for (auto* o : observers_) o->recordDue(record, logged);
}

void Pipeline::reportLog() {
    // Each finding is said, even a second one in the same file.
    for (const std::string& path : log_.takeCutFiles()) {
        face_.clearProblem(ProblemKey::LogLineCut);
        face_.setProblem(Problem{ProblemKey::LogLineCut, {}, path, {}});
    }
    if (log_.unwrittenCount() == 0) {
        face_.clearProblem(ProblemKey::UnwrittenRecords);
        return;
    }
    face_.setProblem(Problem{ProblemKey::UnwrittenRecords, {}, integerText(static_cast<std::int64_t>(log_.unwrittenCount())),
                             log_.lastError()});
}

void Pipeline::testSnapshot() {
    const SnapshotLevels levels = snapshotLevels(state_.thresholdCentre, state_.deadBand);
    if (displays_) displays_->drawSnapshot(state_.SampleBuffer, levels);
    if (!levels.lower || !levels.upper) {
        face_.setProblem(Problem{ProblemKey::SnapshotOverflow, {}, !levels.lower ? "8×(C-D)" : "8×(C+D)", {}});
        return;
    }
    face_.clearProblem(ProblemKey::SnapshotOverflow);
    device_.Stop();
    state_.TestDone = 1;
}

void Pipeline::trendGraph() {
    if (!displays_) return;
    TrendInputs inputs{&state_.DoseHistory, state_.LatestHistoryIndex, {}, {}, {}, {}};
    inputs.t2 = settings_.readDouble(Setting::Alarm2Limit);
    // The redraw reads the other limits only once the stage-2 limit has given it a scale.
    if (inputs.t2 && trendHasScale(*inputs.t2)) {
        inputs.t1 = settings_.readDouble(Setting::Alarm1Limit);
        inputs.t1Single = settings_.readSingle(Setting::Alarm1Limit);
        inputs.t2Single = settings_.readSingle(Setting::Alarm2Limit);
    }
    if (displays_->redrawTrend(inputs))
        face_.clearProblem(ProblemKey::TrendScale);
    else
        face_.setProblem(Problem{ProblemKey::TrendScale, face_.text(Setting::Alarm2Limit), {}, {}});
}

}  // namespace ravelin
