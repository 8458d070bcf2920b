#include "engine/detector.h"

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ravelin {

std::int32_t scanPulsesReference(std::span<const std::uint8_t> samples, const DetectorSettings& settings,
                                 std::int16_t& armed) {
    if (samples.size() < 2) return 0;
    const std::int64_t last = static_cast<std::int64_t>(samples.size()) - 1;
    const std::int64_t skip = settings.skip < 0 ? 0 : settings.skip;
    std::int32_t pulses = 0;
    for (std::int64_t i = 1; i <= last; ++i) {
        if (samples[i] < settings.lower) {
            armed = 1;
            if (last > i + skip) i += skip;
        }
        if (samples[i] > settings.upper && armed == 1) {
            ++pulses;
            armed = 0;
        }
    }
    return pulses;
}

namespace {

// First index in [from, end) whose sample is below `below` or, when `above` < 256,
// at or above `above`; `end` when there is none. A quiet signal is skipped 64 bytes at a time.
std::size_t findEvent(const std::uint8_t* s, std::size_t from, std::size_t end, int below, int above) {
    std::size_t i = from;
#if defined(__SSE2__)
    if (below > 0 || above < 256) {
        // x < below  <=>  max(x, below) != x ;  x >= above  <=>  max(x, above) == x
        // With no lower level (below <= 0) a zero vector never triggers; with no upper one a
        // level of 255 would, so it is excluded by the flag.
        const bool useBelow = below > 0;
        const bool useAbove = above < 256;
        const __m128i vb = _mm_set1_epi8(static_cast<char>(useBelow ? (below > 255 ? 255 : below) : 0));
        const __m128i va = _mm_set1_epi8(static_cast<char>(useAbove ? above : 0));
        const bool allBelow = below > 255;  // every sample is below: the first one is the event
        if (allBelow) return i < end ? i : end;
        auto quiet = [&](__m128i x) {
            // returns a mask with 0xFF in lanes with no event
            __m128i ok = _mm_set1_epi8(static_cast<char>(0xFF));
            if (useBelow) ok = _mm_and_si128(ok, _mm_cmpeq_epi8(_mm_max_epu8(x, vb), x));
            if (useAbove) ok = _mm_andnot_si128(_mm_cmpeq_epi8(_mm_max_epu8(x, va), x), ok);
            return ok;
        };
        while (i + 64 <= end) {
            const __m128i a = quiet(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)));
            const __m128i b = quiet(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 16)));
            const __m128i c = quiet(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 32)));
            const __m128i d = quiet(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 48)));
            const __m128i all = _mm_and_si128(_mm_and_si128(a, b), _mm_and_si128(c, d));
            if (_mm_movemask_epi8(all) != 0xFFFF) break;
            i += 64;
        }
        while (i + 16 <= end) {
            const int mask = _mm_movemask_epi8(quiet(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i))));
            if (mask != 0xFFFF) return i + static_cast<std::size_t>(__builtin_ctz(~mask & 0xFFFF));
            i += 16;
        }
    }
#endif
    for (; i < end; ++i)
        if (s[i] < below || s[i] >= above) return i;
    return end;
}

}  // namespace

std::int32_t scanPulses(std::span<const std::uint8_t> samples, const DetectorSettings& settings,
                        std::int16_t& armed) {
    if (samples.size() < 2) return 0;
    const std::uint8_t* s = samples.data();
    const std::size_t end = samples.size();
    const std::size_t last = end - 1;
    const std::size_t skip = settings.skip < 0 ? 0 : static_cast<std::size_t>(settings.skip);
    const int lower = settings.lower;
    const int upper = settings.upper;
    // A sample counts when it is above `upper`, i.e. at or above upper + 1.
    const int countLevel = upper + 1 > 256 ? 256 : (upper + 1 < 0 ? 0 : upper + 1);
    std::int32_t pulses = 0;
    std::size_t i = 1;
    while (i <= last) {
        // Unarmed, only an arming sample matters; armed, a rise above upper matters too,
        // and so does another arming sample, because it jumps.
        i = findEvent(s, i, end, lower, armed == 1 ? countLevel : 256);
        if (i > last) break;
        if (s[i] < lower) {
            armed = 1;
            if (last > i + skip) i += skip;
        }
        if (s[i] > upper && armed == 1) {
            ++pulses;
            armed = 0;
        }
        ++i;
    }
    return pulses;
}

}  // namespace ravelin
