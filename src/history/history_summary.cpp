#include "history/history_summary.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>

namespace ravelin {

namespace {

// A non-negative whole number as decimal digits, least significant first.
using Digits = std::vector<int>;

void normalise(std::vector<std::int64_t>& acc, Digits& out) {
    out.clear();
    std::int64_t carry = 0;
    for (std::size_t i = 0; i < acc.size() || carry != 0; ++i) {
        const std::int64_t v = (i < acc.size() ? acc[i] : 0) + carry;
        out.push_back(static_cast<int>(v % 10));
        carry = v / 10;
    }
    while (!out.empty() && out.back() == 0) out.pop_back();
}

int compare(const Digits& a, const Digits& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = a.size(); i-- > 0;)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

// a − b for a ≥ b.
Digits subtract(const Digits& a, const Digits& b) {
    Digits out(a);
    int borrow = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] -= borrow + (i < b.size() ? b[i] : 0);
        borrow = out[i] < 0;
        if (borrow) out[i] += 10;
    }
    while (!out.empty() && out.back() == 0) out.pop_back();
    return out;
}

// Digits ÷ a small divisor: the quotient's digits and the remainder.
Digits divide(const Digits& n, std::uint64_t divisor, std::uint64_t& remainder) {
    Digits q(n.size());
    remainder = 0;
    for (std::size_t i = n.size(); i-- > 0;) {
        const std::uint64_t v = remainder * 10 + static_cast<std::uint64_t>(n[i]);
        q[i] = static_cast<int>(v / divisor);
        remainder = v % divisor;
    }
    while (!q.empty() && q.back() == 0) q.pop_back();
    return q;
}

double valueOf(std::string_view text) {
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

}  // namespace

std::string exactMeanText(const std::vector<std::string_view>& doseTexts) {
    if (doseTexts.empty()) return {};
    // Every text as a whole number of 10^-scale, scale at least 3.
    std::size_t scale = 3;
    for (std::string_view t : doseTexts) {
        const auto dot = t.find('.');
        if (dot != std::string_view::npos) scale = std::max(scale, t.size() - dot - 1);
    }
    std::vector<std::int64_t> sums[2];  // [0] the positive texts, [1] the negative ones
    for (std::string_view t : doseTexts) {
        auto& acc = sums[!t.empty() && t[0] == '-'];
        const auto dot = t.find('.');
        const std::size_t fraction = dot == std::string_view::npos ? 0 : t.size() - dot - 1;
        std::size_t position = scale - fraction;  // of the text's last digit
        for (std::size_t i = t.size(); i-- > 0;) {
            if (t[i] < '0' || t[i] > '9') continue;
            if (acc.size() <= position) acc.resize(position + 1, 0);
            acc[position++] += t[i] - '0';
        }
    }
    Digits positive, negative;
    normalise(sums[0], positive);
    normalise(sums[1], negative);
    const bool minus = compare(positive, negative) < 0;
    const Digits total = minus ? subtract(negative, positive) : subtract(positive, negative);

    // total / count in thousandths: the quotient's last (scale − 3) digits are dropped, and
    // they with the remainder decide the rounding.
    std::uint64_t remainder = 0;
    const Digits q1 = divide(total, doseTexts.size(), remainder);
    const std::size_t dropped = scale - 3;
    Digits q(q1.begin() + static_cast<long>(std::min(dropped, q1.size())), q1.end());
    int versusHalf;  // the dropped part against one half
    if (dropped == 0) {
        const std::uint64_t twice = remainder * 2;
        versusHalf = twice < doseTexts.size() ? -1 : twice > doseTexts.size() ? 1 : 0;
    } else {
        const int top = dropped - 1 < q1.size() ? q1[dropped - 1] : 0;
        bool restZero = remainder == 0;
        for (std::size_t i = 0; i + 1 < dropped && i < q1.size() && restZero; ++i) restZero = q1[i] == 0;
        versusHalf = top < 5 ? -1 : top > 5 ? 1 : restZero ? 0 : 1;
    }
    const bool odd = !q.empty() && q[0] % 2 == 1;
    if (versusHalf > 0 || (versusHalf == 0 && odd)) {
        std::size_t i = 0;
        for (; i < q.size() && q[i] == 9; ++i) q[i] = 0;
        if (i == q.size()) q.push_back(1);
        else ++q[i];
    }
    while (q.size() < 4) q.push_back(0);
    std::string text = minus && std::any_of(q.begin(), q.end(), [](int d) { return d != 0; }) ? "-" : "";
    for (std::size_t i = q.size(); i-- > 0;) {
        text += static_cast<char>('0' + q[i]);
        if (i == 3) text += '.';
    }
    return text;
}

std::string historySummary(const HistoryLog& log) {
    std::string out = "date,records,mean,min,max\n";
    const auto& records = log.records();
    // Records are in time order, so each day's records stand together.
    std::vector<std::string_view> texts;
    for (std::size_t i = 0; i < records.size();) {
        const std::int32_t day = records[i].minute >= 0 ? records[i].minute / 1440 : (records[i].minute - 1439) / 1440;
        texts.clear();
        std::size_t lo = i, hi = i;
        double low = valueOf(log.doseText(records[i])), high = low;
        for (; i < records.size() && records[i].minute >= day * 1440 && records[i].minute < (day + 1) * 1440; ++i) {
            texts.push_back(log.doseText(records[i]));
            // In double precision: the single stored for plotting may merge neighbouring texts.
            const double v = valueOf(texts.back());
            if (v < low) low = v, lo = i;
            if (v > high) high = v, hi = i;
        }
        const CivilMinute c = civilOf(day * 1440);
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", c.year, c.month, c.day);
        out += std::string(date) + "," + std::to_string(texts.size()) + "," + exactMeanText(texts) + "," +
               std::string(log.doseText(records[lo])) + "," + std::string(log.doseText(records[hi])) + "\n";
    }
    return out;
}

std::string skippedReport(const HistoryLog& log) {
    std::string out;
    for (const auto& s : log.skipped())
        out += s.file + " line " + std::to_string(s.line) + ": " + s.why + "\n";
    return out;
}

}  // namespace ravelin
