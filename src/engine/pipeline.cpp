#include "engine/pipeline.h"

#include <limits>

#include "engine/convert.h"
#include "engine/detector.h"
#include "engine/displays.h"
#include "engine/dose.h"
#include "outputs/alarms.h"
#include "outputs/csv_log.h"

namespace ravelin {

Pipeline::Pipeline(MonitorState& state, MonitorFace& face, SettingReader& settings, CaptureDevice& device,
                   CsvLog& log, const Clock& clock, Alarms& alarms, Displays* displays)
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
    face_.setText(Box::Text1, integerText(state_.ElapsedSeconds));
    if (stopFlag == 0) device_.QueueBuffer(index);

    doseRate(pulses);
    logStep();
    // A window's problem goes with its box: unticked, nothing is drawn that could fail.
    if (face_.isChecked(Check::Check1))
        testSnapshot();
    else
        face_.clearProblem(ProblemKey::SnapshotOverflow);
    for (int stage = 1; stage <= 2; ++stage) {
        if (const auto limit = alarms_.CheckAlarmStage(stage))
            for (auto* o : observers_) o->alarmFired(stage, state_.CurrentDose, *limit);
    }
    if (face_.isChecked(Check::Check5))
        trendGraph();
    else
        face_.clearProblem(ProblemKey::TrendScale);

    if (!observers_.empty()) {
        const SecondReport report{state_.ElapsedSeconds, state_.TotalCount, face_.text(Box::Text6),
                                  face_.text(Box::Text8), state_.AlarmLatch1, state_.AlarmLatch2, interval_};
        for (auto* o : observers_) o->secondDone(report);
    }
}

std::int32_t Pipeline::scan() {
    const std::int16_t centre = settings_.readInt16(Box::Text3, 50);
    const std::int16_t deadBand = settings_.readInt16(Box::Text4, 3);
    std::int16_t skip = settings_.readInt16(Box::Text5, 10);
    state_.thresholdCentre = centre;
    state_.deadBand = deadBand;
    state_.skipCount = skip;

    const int lower = centre - deadBand;
    const int upper = centre + deadBand;
    if (lower < -32768 || lower > 32767 || upper < -32768 || upper > 32767) {
        face_.setProblem(Problem{ProblemKey::Overflow, {}, lower < -32768 || lower > 32767 ? "C-D" : "C+D", {}});
    } else {
        face_.clearProblem(ProblemKey::Overflow);
        lastLower_ = static_cast<std::int16_t>(lower);
        lastUpper_ = static_cast<std::int16_t>(upper);
    }
    if (skip < 0) {
        // A backward jump would return to the arming sample for ever.
        face_.setProblem(Problem{ProblemKey::SkipNegative, face_.text(Box::Text5), {}, {}});
        skip = 0;
    } else {
        face_.clearProblem(ProblemKey::SkipNegative);
    }

    const std::int32_t pulses = scanPulses(state_.SampleBuffer, DetectorSettings{lastLower_, lastUpper_, skip},
                                           state_.Armed);
    if (pulses > 0) {
        state_.TotalCount += pulses;
        face_.setText(Box::Text2, integerText(state_.TotalCount));
    }
    return pulses;
}

void Pipeline::doseRate(std::int32_t pulses) {
    const auto sensitivity = settings_.readSensitivity();
    if (!sensitivity) return;  // Start makes sure there is one
    state_.Sensitivity = *sensitivity;
    const DoseStep step = doseStep(state_, state_.ElapsedSeconds, pulses, *sensitivity, state_.DeadTime);
    interval_ = intervalTexts(readingInterval(step, *sensitivity, state_.DeadTime));
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
        face_.setProblem(Problem{ProblemKey::DoseOverflow, face_.text(Box::Text7), {}, {}});
    face_.setText(Box::Text6, integerText(step.cpmShown));
    face_.setText(Box::Text8, singleText(step.dose));
}

void Pipeline::logStep() {
    if (state_.ElapsedSeconds % 60 != 0) return;
    const LogRecord record = makeLogRecord(clock_, state_.SaveFolder, state_.CurrentDose);
    const bool logged = face_.isChecked(Check::Check4);
    if (logged)
        log_.append(record);
    else if (!log_.pending().empty())
        log_.retry();
    reportLog();
    for (auto* o : observers_) o->recordDue(record, logged);
}

void Pipeline::reportLog() {
    if (log_.pending().empty()) {
        face_.clearProblem(ProblemKey::UnwrittenRecords);
        return;
    }
    face_.setProblem(Problem{ProblemKey::UnwrittenRecords, {}, integerText(static_cast<std::int64_t>(log_.pending().size())),
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
    inputs.t2 = settings_.readDouble(Box::Text10);
    // The redraw reads the other limits only once the stage-2 limit has given it a scale.
    if (inputs.t2 && trendHasScale(*inputs.t2)) {
        inputs.t1 = settings_.readDouble(Box::Text9);
        inputs.t1Single = settings_.readSingle(Box::Text9);
        inputs.t2Single = settings_.readSingle(Box::Text10);
    }
    if (displays_->redrawTrend(inputs))
        face_.clearProblem(ProblemKey::TrendScale);
    else
        face_.setProblem(Problem{ProblemKey::TrendScale, face_.text(Box::Text10), {}, {}});
}

}  // namespace ravelin
