// The sought nominals that reach a line, worked out from in_tolerance
// itself rather than from what its bounds should be: at the ends of the
// doubles they overflow to infinity, and rounding decides each end.
#include "check/reach.h"

#include "lookup/search.h"

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <iterator>

long long ordered(double d) {
    unsigned long long bits;
    std::memcpy(&bits, &d, sizeof bits);
    return (bits >> 63) ? -static_cast<long long>(bits & 0x7FFFFFFFFFFFFFFFull) - 1 : static_cast<long long>(bits);
}

double from_ordered(long long o) {
    const unsigned long long bits =
        o >= 0 ? static_cast<unsigned long long>(o) : (static_cast<unsigned long long>(-(o + 1)) | (1ull << 63));
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

long long lowest_finite() { return ordered(-DBL_MAX); }
long long highest_finite() { return ordered(DBL_MAX); }

bool match_range(double value, long long& low, long long& high) {
    // A relative 1e-11 is some 45 000 steps of a double; the matches lie
    // well within 4 million steps either way. An infinite nominal is
    // matched, if at all, by the largest finite numbers of its sign.
    constexpr long long REACH = 1ll << 22;
    const long long centre = std::min(highest_finite(), std::max(lowest_finite(), ordered(value)));
    const long long first = std::max(lowest_finite(), centre - REACH);
    const long long last = std::min(highest_finite(), centre + REACH);
    // Both bounds of a sought nominal grow with it, so each end is found
    // by halving: the first whose upper bound reaches the value ...
    long long lo = first, hi = last;
    while (lo < hi) {
        const long long mid = lo + (hi - lo) / 2;
        if (value <= tolerance_ceiling(from_ordered(mid))) hi = mid;
        else lo = mid + 1;
    }
    low = lo;
    // ... and the last whose lower bound stays below it.
    lo = first;
    hi = last;
    while (lo < hi) {
        const long long mid = hi - (hi - lo) / 2;
        if (!(tolerance_floor(from_ordered(mid)) > value)) lo = mid;
        else hi = mid - 1;
    }
    high = lo;
    return low <= high && in_tolerance(value, from_ordered(low), from_ordered(low)) &&
           in_tolerance(value, from_ordered(high), from_ordered(high));
}

bool all_taken(const taken_ranges& taken, long long low, long long high) {
    auto it = taken.upper_bound(low);
    if (it == taken.begin()) return false;
    --it;
    return it->second >= high;
}

void take(taken_ranges& taken, long long low, long long high) {
    auto it = taken.upper_bound(low);
    if (it != taken.begin()) {
        auto before = std::prev(it);
        if (before->second >= low - 1) {
            low = before->first;
            high = std::max(high, before->second);
            it = taken.erase(before);
        }
    }
    while (it != taken.end() && it->first <= high + 1) {
        high = std::max(high, it->second);
        it = taken.erase(it);
    }
    taken.emplace(low, high);
}
