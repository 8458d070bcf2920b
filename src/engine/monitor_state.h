// The per-run record shared by the counting engine, the outputs and the displays.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ravelin {

struct MonitorState {
    std::vector<std::uint8_t> SampleBuffer;   // copy of the latest buffer
    std::int16_t scratchFileNumber = 0;       // 0 = scratch file not open
    std::string scratchFilePath = "~Record.tmp";
    std::int64_t TotalCount = 0;              // 64-bit: a run of days never overflows
    std::string SaveFolder;                   // empty, or ending with a separator
    std::int16_t thresholdCentre = 0;         // C, as last read for a scan
    std::int16_t deadBand = 0;                // D
    std::int16_t skipCount = 0;               // K
    std::int16_t Armed = 0;                   // survives buffers: a pulse may span two seconds
    std::array<std::int16_t, 60> SecondCounts{};
    std::int16_t TestDone = 0;
    std::int16_t AlarmLatch1 = 0;
    std::int16_t AlarmLatch2 = 0;
    std::int32_t ElapsedSeconds = 0;
    std::array<float, 600> DoseHistory{};

    // Of the current second, read by the steps after the dose-rate step.
    float CurrentDose = 0.0f;
    int LatestHistoryIndex = 0;
    float Sensitivity = 0.0f;                 // CPM per µSv/h
    std::optional<double> DeadTime;           // seconds; none: the CPM and dose are not corrected
};

}  // namespace ravelin
