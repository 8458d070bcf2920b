// Writes small WAV files for the tests: integer PCM of 8, 16 or 24 bits, or 32-bit float.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace ravelin::test {

inline void putLe(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

// `frames` holds the samples interleaved, already in the file's encoding:
// 8-bit unsigned, or signed 16/24-bit integers, or float bit patterns (bits 32).
inline void writeWav(const std::string& path, int rate, int channels, int bits, bool isFloat,
                     const std::vector<std::uint32_t>& samples) {
    const int bytes = bits / 8;
    std::string data;
    for (const auto s : samples) putLe(data, s, bytes);
    std::string out = "RIFF";
    putLe(out, static_cast<std::uint32_t>(36 + data.size()), 4);
    out += "WAVEfmt ";
    putLe(out, 16, 4);
    putLe(out, isFloat ? 3 : 1, 2);
    putLe(out, static_cast<std::uint32_t>(channels), 2);
    putLe(out, static_cast<std::uint32_t>(rate), 4);
    putLe(out, static_cast<std::uint32_t>(rate * channels * bytes), 4);
    putLe(out, static_cast<std::uint32_t>(channels * bytes), 2);
    putLe(out, static_cast<std::uint32_t>(bits), 2);
    out += "data";
    putLe(out, static_cast<std::uint32_t>(data.size()), 4);
    out += data;
    std::ofstream(path, std::ios::binary) << out;
}

inline std::uint32_t floatBits(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

}  // namespace ravelin::test
