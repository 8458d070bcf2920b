#include "engine/detector.h"

#include <cstddef>

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
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

// An event is a sample below `lo` (an arming) or above `hi` (a count, looked for only
// while armed). lo = 0 and hi = 255 switch a test off. Saturating subtraction makes
// both tests one instruction: lo - x > 0 exactly when x < lo, x - hi > 0 when x > hi.
using FindFn = std::size_t (*)(const std::uint8_t*, std::size_t, std::size_t, std::uint8_t, std::uint8_t);

std::size_t findEventScalar(const std::uint8_t* s, std::size_t i, std::size_t end, std::uint8_t lo, std::uint8_t hi) {
    for (; i < end; ++i)
        if (s[i] < lo || s[i] > hi) return i;
    return end;
}

#if defined(__x86_64__) || defined(__SSE2__)
std::size_t findEventSse2(const std::uint8_t* s, std::size_t i, std::size_t end, std::uint8_t lo, std::uint8_t hi) {
    const __m128i vlo = _mm_set1_epi8(static_cast<char>(lo));
    const __m128i vhi = _mm_set1_epi8(static_cast<char>(hi));
    const __m128i zero = _mm_setzero_si128();
    auto events = [&](std::size_t at) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at));
        return _mm_or_si128(_mm_subs_epu8(vlo, x), _mm_subs_epu8(x, vhi));
    };
    while (i + 64 <= end) {
        const __m128i any = _mm_or_si128(_mm_or_si128(events(i), events(i + 16)), _mm_or_si128(events(i + 32), events(i + 48)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, zero)) != 0xFFFF) break;
        i += 64;
    }
    while (i + 16 <= end) {
        const int quiet = _mm_movemask_epi8(_mm_cmpeq_epi8(events(i), zero));
        if (quiet != 0xFFFF) return i + static_cast<std::size_t>(__builtin_ctz(~quiet & 0xFFFF));
        i += 16;
    }
    return findEventScalar(s, i, end, lo, hi);
}

template <bool kAbove>
__attribute__((target("avx2"))) std::size_t findEventAvx2Impl(const std::uint8_t* s, std::size_t i, std::size_t end,
                                                              std::uint8_t lo, std::uint8_t hi) {
    const __m256i vlo = _mm256_set1_epi8(static_cast<char>(lo));
    const __m256i vhi = _mm256_set1_epi8(static_cast<char>(hi));
    auto events = [&](std::size_t at) __attribute__((target("avx2"))) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + at));
        if constexpr (kAbove) return _mm256_or_si256(_mm256_subs_epu8(vlo, x), _mm256_subs_epu8(x, vhi));
        return _mm256_subs_epu8(vlo, x);
    };
    while (i + 128 <= end) {
        const __m256i any = _mm256_or_si256(_mm256_or_si256(events(i), events(i + 32)),
                                            _mm256_or_si256(events(i + 64), events(i + 96)));
        if (!_mm256_testz_si256(any, any)) break;
        i += 128;
    }
    while (i + 32 <= end) {
        const __m256i e = events(i);
        if (!_mm256_testz_si256(e, e)) {
            const unsigned quiet = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(e, _mm256_setzero_si256())));
            return i + static_cast<std::size_t>(__builtin_ctz(~quiet));
        }
        i += 32;
    }
    return findEventSse2(s, i, end, lo, hi);
}

// Unarmed, which is most of the time, only the lower test is made.
std::size_t findEventAvx2(const std::uint8_t* s, std::size_t i, std::size_t end, std::uint8_t lo, std::uint8_t hi) {
    return hi == 255 ? findEventAvx2Impl<false>(s, i, end, lo, hi) : findEventAvx2Impl<true>(s, i, end, lo, hi);
}

FindFn chooseFind() { return __builtin_cpu_supports("avx2") ? findEventAvx2 : findEventSse2; }
#else
FindFn chooseFind() { return findEventScalar; }
#endif

const FindFn findEvent = chooseFind();

}  // namespace

std::int32_t scanPulses(std::span<const std::uint8_t> samples, const DetectorSettings& settings,
                        std::int16_t& armed) {
    // Levels beyond the sample range make every sample an event: the plain loop does.
    if (settings.lower > 255 || settings.upper < 0) return scanPulsesReference(samples, settings, armed);
    if (samples.size() < 2) return 0;
    const std::uint8_t* s = samples.data();
    const std::size_t end = samples.size();
    const std::size_t last = end - 1;
    const std::size_t skip = settings.skip < 0 ? 0 : static_cast<std::size_t>(settings.skip);
    const int lower = settings.lower;
    const int upper = settings.upper;
    const auto lo = static_cast<std::uint8_t>(lower < 0 ? 0 : lower);
    const auto hi = static_cast<std::uint8_t>(upper > 255 ? 255 : upper);
    std::int32_t pulses = 0;
    std::size_t i = 1;
    while (i <= last) {
        // Unarmed, only an arming sample matters; armed, a rise above upper matters too,
        // and so does another arming sample, because it jumps.
        i = findEvent(s, i, end, lo, armed == 1 ? hi : std::uint8_t{255});
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
