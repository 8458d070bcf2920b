// The setup assistant's analysis: from one-second buffers of a counter's signal it
// proposes the detector's settings (threshold centre, dead band, skip) and the
// polarity by the counting plateau, then counts with them to show what they do.
// No clock, no Qt.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ravelin {

// One level of the counting plateau: what the detector counts with these settings.
struct PlateauPoint {
    std::int16_t threshold = 0, deadBand = 0;  // in the detector's view (after --invert when proposed)
    double depth = 0;                          // of the lower level below the baseline
    std::int64_t count = 0;
    friend bool operator==(const PlateauPoint&, const PlateauPoint&) = default;
};

// One skip of the skip's plateau, at the chosen levels.
struct SkipPoint {
    std::int16_t skip = 0;
    std::int64_t count = 0;
};

struct CalibrationResult {
    bool found = false;
    std::string reason;            // why nothing is proposed, when !found

    std::int32_t rate = 0;         // samples a second
    std::int64_t seconds = 0;      // buffers seen (a short tail counts as one)
    double baseline = 0;           // median sample
    double noise = 0;              // robust standard deviation (interquartile range / 1.349), sample units
    double excursionLevel = 0;     // what stands out of the noise: this far from the baseline

    bool upward = false;           // the pulses rise above the baseline in the samples seen
    std::int64_t pulseExcursions = 0, otherExcursions = 0;
    double typicalDepth = 0;       // median depth of the pulses' excursions
    struct Bin {
        int from, to;              // depths from..to-1 below (or above) the baseline
        std::int64_t count;
    };
    std::vector<Bin> depths;       // histogram of the pulses' depths

    bool ringing = false;          // a skip shorter than the one proposed counts pulses twice
    std::int32_t ringingSamples = 0;  // the shortest skip on the skip's plateau
    std::int16_t skipFlatTo = 0;      // ... and the longest

    std::int16_t threshold = 0, deadBand = 0, skip = 0;
    std::int64_t counted = 0;      // pulses the detector counts with the proposal
    double cpm = 0;

    bool weak = false;             // pulses too shallow for a safe margin over the noise
    bool clipped = false;          // pulse peaks reach the end of the sample range

    // The counting plateau: the count against the level at the proposed skip, shallowest
    // level first; the flat stretch is plateau[flatFrom..flatTo] and the proposal sits at
    // plateau[chosen]. Empty when nothing stood out of the noise.
    std::vector<PlateauPoint> plateau;
    std::size_t flatFrom = 0, flatTo = 0, chosen = 0;
    double flatness = 0;           // the count's relative change over the flat stretch
    bool plateauFound = false;     // a flat stretch of at least kLeastPlateauWidth
    std::vector<SkipPoint> skips;  // the count against the skip at the chosen levels
    std::int64_t pulsesHeard = 0;  // excursions the plateau rests on (the chosen side's)
    bool tooFewPulses = false;     // fewer than kEnoughPulses: the flatness is not sure

    std::int32_t recommendedRate = 0;  // a live rate that would keep the pulses' shape; 0 none
    double pulseWidth = 0;             // median samples a pulse spends beyond half its depth
    // What the same settings count with the signal decimated to 22050 Hz (recordings above it).
    std::optional<std::int64_t> countAt22050;
    std::int16_t skipAt22050 = 0;
};

// The counts a plateau needs before its flatness means anything.
inline constexpr std::int64_t kEnoughPulses = 300;
// Fewer pulses than this and no plateau is looked for.
inline constexpr std::int64_t kLeastPulses = 10;
// The widest flat stretch must span at least this ratio of depths to be a plateau.
inline constexpr double kLeastPlateauWidth = 1.5;

struct CalibrationStore;
class Decimator;

class Calibrator {
public:
    // `rateAdjustable`: the source is the live input, whose rate --rate can change.
    explicit Calibrator(std::int32_t rate, bool rateAdjustable = false);
    ~Calibrator();
    Calibrator(const Calibrator&) = delete;
    Calibrator& operator=(const Calibrator&) = delete;

    // One buffer as the capture delivers it; shorter than the rate only at the end.
    void addBuffer(std::span<const std::uint8_t> samples);

    // The analysis of everything added so far.
    CalibrationResult finish() const;

    std::int32_t rate() const { return rate_; }
    std::int64_t seconds() const;
    // Pulses heard so far, on the side with the bigger excursions: for the progress shown
    // while listening and for when to stop.
    std::int64_t pulsesSoFar() const;

private:
    std::int32_t rate_;
    bool rateAdjustable_;
    std::unique_ptr<CalibrationStore> store_;
    std::unique_ptr<CalibrationStore> at22050_;  // the signal decimated, for rates above it
    std::unique_ptr<Decimator> decimator_;
};

// The one stdout line: "--threshold T --dead-band D --skip K", and " --invert" when the
// pulses of the source go upward. `invertGiven`: the samples seen were inverted already.
std::string proposalLine(const CalibrationResult& result, bool invertGiven);

// The explanation for a person, one sentence a line.
std::string explanationEn(const CalibrationResult& result, bool invertGiven);
std::string explanationJa(const CalibrationResult& result, bool invertGiven);

// The plain message for too few pulses, in English and Japanese.
extern const char* const kTooFewPulsesEn;
extern const char* const kTooFewPulsesJa;

}  // namespace ravelin
