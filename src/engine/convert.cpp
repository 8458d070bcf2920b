#include "engine/convert.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace ravelin {
namespace {

// Reads one character of the grammar at text[pos], mapping full-width forms to ASCII.
// Returns the ASCII character (' ' for any blank) and advances pos; 0 for anything else.
char nextChar(std::string_view text, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char c = byte(pos);
    if (c < 0x80) {
        ++pos;
        if (c == '\t') return ' ';
        return static_cast<char>(c);
    }
    if (pos + 3 <= text.size()) {
        const unsigned char c1 = byte(pos + 1), c2 = byte(pos + 2);
        if (c == 0xE3 && c1 == 0x80 && c2 == 0x80) {  // U+3000 ideographic space
            pos += 3;
            return ' ';
        }
        // What the full-stop and minus keys type in kana mode: 。 ｡ for the stop, ー ｰ − for the minus.
        char kana = 0;
        if (c == 0xE3 && c1 == 0x80 && c2 == 0x82) kana = '.';       // U+3002
        else if (c == 0xEF && c1 == 0xBD && c2 == 0xA1) kana = '.';  // U+FF61
        else if (c == 0xE3 && c1 == 0x83 && c2 == 0xBC) kana = '-';  // U+30FC
        else if (c == 0xEF && c1 == 0xBD && c2 == 0xB0) kana = '-';  // U+FF70
        else if (c == 0xE2 && c1 == 0x88 && c2 == 0x92) kana = '-';  // U+2212
        if (kana) {
            pos += 3;
            return kana;
        }
        if (c == 0xEF && c1 == 0xBC) {
            char mapped = 0;
            if (c2 >= 0x90 && c2 <= 0x99) mapped = static_cast<char>('0' + (c2 - 0x90));  // U+FF10..FF19
            else if (c2 == 0x8B) mapped = '+';  // U+FF0B
            else if (c2 == 0x8D) mapped = '-';  // U+FF0D
            else if (c2 == 0x8E) mapped = '.';  // U+FF0E
            if (mapped) {
                pos += 3;
                return mapped;
            }
        }
    }
    ++pos;
    return 0;
}

}  // namespace

std::optional<std::string> normaliseNumberText(std::string_view text) {
    std::string ascii;
    ascii.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const char c = nextChar(text, pos);
        if (c == 0) return std::nullopt;
        ascii.push_back(c);
    }
    std::size_t begin = ascii.find_first_not_of(' ');
    if (begin == std::string::npos) return std::nullopt;
    std::size_t end = ascii.find_last_not_of(' ') + 1;
    std::string_view body(ascii.data() + begin, end - begin);

    std::string out;
    std::size_t i = 0;
    if (body[0] == '+' || body[0] == '-') {
        if (body[0] == '-') out.push_back('-');
        ++i;
    }
    int digits = 0, stops = 0;
    for (; i < body.size(); ++i) {
        const char c = body[i];
        if (isDigit(c)) {
            ++digits;
        } else if (c == '.') {
            if (++stops > 1) return std::nullopt;
        } else {
            return std::nullopt;
        }
        out.push_back(c);
    }
    if (digits == 0) return std::nullopt;
    return out;
}

std::optional<std::int16_t> toInt16(std::string_view text) {
    const auto norm = normaliseNumberText(text);
    if (!norm) return std::nullopt;
    std::string_view s = *norm;
    const bool negative = !s.empty() && s[0] == '-';
    if (negative) s.remove_prefix(1);
    const std::size_t stop = s.find('.');
    std::string_view whole = s.substr(0, stop);
    std::string_view frac = stop == std::string_view::npos ? std::string_view{} : s.substr(stop + 1);

    // The magnitude of the whole part; anything with more than six digits is out of range.
    while (whole.size() > 1 && whole[0] == '0') whole.remove_prefix(1);
    if (whole.size() > 6) return std::nullopt;
    std::int64_t magnitude = 0;
    for (char c : whole) magnitude = magnitude * 10 + (c - '0');

    // Round on the decimal digits themselves: no binary fraction stands in between.
    if (!frac.empty()) {
        const char first = frac[0];
        const bool restNonZero = frac.find_first_not_of('0', 1) != std::string_view::npos;
        if (first > '5' || (first == '5' && restNonZero) || (first == '5' && magnitude % 2 == 1))
            ++magnitude;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

namespace {
template <typename T>
std::optional<T> toFloating(std::string_view text) {
    const auto norm = normaliseNumberText(text);
    if (!norm) return std::nullopt;
    std::string s = *norm;
    // from_chars wants a digit before or after the stop, which the grammar ensures.
    T value{};
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range && ptr == s.data() + s.size()) {
        // Out of range below 1 is a number too small for the type: it is zero, not an error.
        const std::string_view whole = std::string_view(s).substr(0, s.find('.'));
        if (whole.find_first_not_of("+-0") == std::string_view::npos) return s[0] == '-' ? -T{0} : T{0};
        return std::nullopt;
    }
    if (ec != std::errc{} || ptr != s.data() + s.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}
}  // namespace

std::optional<float> toSingle(std::string_view text) { return toFloating<float>(text); }
std::optional<double> toDouble(std::string_view text) { return toFloating<double>(text); }

double roundHalfEven(double value) { return std::nearbyint(value); }

std::string integerText(std::int64_t value) { return std::to_string(value); }

namespace {
// Writes value with at most `significant` significant digits in plain decimal notation.
std::string plainDecimal(double value, int significant) {
    if (value == 0 || !std::isfinite(value)) return std::isfinite(value) ? "0" : (std::isnan(value) ? "NaN" : (value > 0 ? "Infinity" : "-Infinity"));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", significant - 1, value);
    std::string_view s(buf);
    const bool negative = s[0] == '-';
    if (negative) s.remove_prefix(1);
    const std::size_t e = s.find('e');
    std::string digits;
    for (char c : s.substr(0, e))
        if (isDigit(c)) digits.push_back(c);
    int exponent = std::atoi(std::string(s.substr(e + 1)).c_str());
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out;
    if (negative) out.push_back('-');
    const int pointAfter = exponent + 1;  // digits before the decimal point
    if (pointAfter <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-pointAfter), '0');
        out += digits;
    } else if (static_cast<std::size_t>(pointAfter) >= digits.size()) {
        out += digits;
        out.append(static_cast<std::size_t>(pointAfter) - digits.size(), '0');
    } else {
        out += digits.substr(0, static_cast<std::size_t>(pointAfter));
        out.push_back('.');
        out += digits.substr(static_cast<std::size_t>(pointAfter));
    }
    return out;
}
}  // namespace

std::string singleText(float value) { return plainDecimal(static_cast<double>(value), 7); }

std::string printNumberText(double value) {
    std::string body = plainDecimal(value, 15);
    if (body[0] == '-') return body + " ";
    return " " + body + " ";
}

}  // namespace ravelin
