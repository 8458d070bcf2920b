// The setup assistant's analysis: from one-second buffers of a counter's signal it
// proposes the detector's settings (threshold centre, dead band, skip) and the
// polarity, then counts with them to show what they do. No clock, no Qt.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ravelin {

struct CalibrationResult {
    bool found = false;
    std::string reason;            // why nothing is proposed, when !found

    std::int32_t rate = 0;         // samples a second
    std::int64_t seconds = 0;      // buffers seen (a short tail counts as one)
    double baseline = 0;           // median sample
    double noise = 0;              // robust standard deviation (1.4826 × MAD), sample units
    double excursionLevel = 0;     // what stands out of the noise: this far from the baseline

    bool upward = false;           // the pulses rise above the baseline in the samples seen
    std::int64_t pulseExcursions = 0, otherExcursions = 0;
    double typicalDepth = 0;       // median depth of the pulses' excursions
    struct Bin {
        int from, to;              // depths from..to-1 below (or above) the baseline
        std::int64_t count;
    };
    std::vector<Bin> depths;       // histogram of the pulses' depths

    bool ringing = false;          // pulses cross the lower level again after arming
    std::int32_t ringingSamples = 0;  // the longest such stretch, from the arming

    std::int16_t threshold = 0, deadBand = 0, skip = 0;
    std::int64_t counted = 0;      // pulses the detector counts with the proposal
    double cpm = 0;

    bool weak = false;             // pulses too shallow for a safe margin over the noise
    bool clipped = false;          // pulse peaks reach the end of the sample range
};

class Calibrator {
public:
    explicit Calibrator(std::int32_t rate);

    // One buffer as the capture delivers it; shorter than the rate only at the end.
    void addBuffer(std::span<const std::uint8_t> samples);

    // The analysis of everything added so far.
    CalibrationResult finish() const;

    std::int32_t rate() const { return rate_; }
    std::int64_t seconds() const { return static_cast<std::int64_t>(starts_.size()); }

private:
    std::int32_t rate_;
    std::vector<std::uint8_t> samples_;
    std::vector<std::size_t> starts_;       // where each buffer begins in samples_
    std::vector<std::int64_t> histogram_;   // of sample values
};

// The one stdout line: "--threshold T --dead-band D --skip K", and " --invert" when the
// pulses of the source go upward. `invertGiven`: the samples seen were inverted already.
std::string proposalLine(const CalibrationResult& result, bool invertGiven);

// The explanation for a person, one sentence a line.
std::string explanationEn(const CalibrationResult& result, bool invertGiven);
std::string explanationJa(const CalibrationResult& result, bool invertGiven);

}  // namespace ravelin
