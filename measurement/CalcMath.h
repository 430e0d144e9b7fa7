// Arithmetic helpers shared by the wheel and disc calculators: conversions
// that truncate toward zero without undefined behaviour, and the fields of
// the calculation settings by their display names.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/WinDef.h"
#include "settings/ParamFile.h"
#include "settings/ProfilePoint.h"

namespace qcalc {

constexpr double kPi = 3.14159265358979323846;

// Truncates toward zero and saturates at the 32-bit range; NaN gives 0.
inline LONG TruncLong(double v)
{
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= 2147483647.0) {
        return std::numeric_limits<LONG>::max();
    }
    if (v <= -2147483648.0) {
        return std::numeric_limits<LONG>::min();
    }
    return static_cast<LONG>(v);
}

inline DWORD TruncDword(double v)
{
    if (std::isnan(v) || v <= 0.0) {
        return 0;
    }
    if (v >= 4294967295.0) {
        return 0xFFFFFFFFu;
    }
    return static_cast<DWORD>(v);
}

inline SHORT SatShort(int64_t v)
{
    if (v > 32767) {
        return 32767;
    }
    if (v < -32768) {
        return -32768;
    }
    return static_cast<SHORT>(v);
}

inline LONG SatLong(int64_t v)
{
    if (v > std::numeric_limits<LONG>::max()) {
        return std::numeric_limits<LONG>::max();
    }
    if (v < std::numeric_limits<LONG>::min()) {
        return std::numeric_limits<LONG>::min();
    }
    return static_cast<LONG>(v);
}

// Differences of two stored coordinates fit in 64 bits whatever they hold.
inline int64_t Diff(LONG a, LONG b) { return static_cast<int64_t>(a) - static_cast<int64_t>(b); }

// Counts from callers and files never exceed the arrays they describe.
inline int ClampCount(DWORD count) { return static_cast<int>(count > kMaxProfilePoints ? kMaxProfilePoints : count); }

// The extreme of one field over the first `count` items (at most a profile's
// worth): `start` is what no items, or none beyond it, give.
template <class Item, class Field, class Beats>
LONG Extreme(const Item* items, DWORD count, LONG start, Field field, Beats beats)
{
    LONG best = start;
    const int n = items == nullptr ? 0 : ClampCount(count);
    for (int i = 0; i < n; ++i) {
        const LONG v = items[i].*field;
        if (beats(v, best)) best = v;
    }
    return best;
}

// The last index i with from <= i < to (within the profile) whose x is not 0
// and not above the limit; 0 when there is none.
inline int LastIndexAtOrBelow(const ProfilePoint* points, DWORD count, int from, int to, LONG limit)
{
    if (points == nullptr) {
        return 0;
    }
    const int n = ClampCount(count);
    if (to > n) {
        to = n;
    }
    if (from < 0) {
        from = 0;
    }
    int found = 0;
    for (int i = from; i < to; ++i) {
        if (points[i].x != 0 && points[i].x <= limit) {
            found = i;
        }
    }
    return found;
}

// True when no point's x lies below the x of the point before it.
inline bool XNeverDecreases(const ProfilePoint* points, int n)
{
    for (int i = 1; i < n; ++i) {
        if (points[i].x < points[i - 1].x) {
            return false;
        }
    }
    return true;
}

// The samplers (resampling, comparison, wear zones) ask for the last point at
// or below a limit that grows from one sample to the next, each time from the
// answer before (or from a fixed start). A scan from there still has to pass
// over the whole rest of the profile, because a later point may lie lower
// again. But as the limit grows the points at or below it only ever become
// more, so the highest index among them only grows: it is the answer whenever
// it is not before the search's start, and no point qualifies otherwise.
// Taking the points in the order of their x therefore answers every limit in
// one pass. When x never decreases that order is the profile's own; other
// profiles are sorted once.
class XSearch {
public:
    XSearch(const ProfilePoint* points, DWORD count)
        : points_(points), n_(points == nullptr ? 0 : ClampCount(count)), ascending_(XNeverDecreases(points, n_))
    {
        if (!ascending_) {
            byX_.reserve(static_cast<size_t>(n_));
            for (int i = 0; i < n_; ++i) {
                if (points_[i].x != 0) {
                    byX_.push_back({points_[i].x, i});
                }
            }
            std::sort(byX_.begin(), byX_.end(), [](const Entry& a, const Entry& b) { return a.x < b.x; });
        }
    }

    // What LastIndexAtOrBelow(from, count, limit) gives; the limit must not
    // decrease from one call to the next.
    int Next(int from, LONG limit)
    {
        if (ascending_) {
            for (; next_ < n_ && points_[next_].x <= limit; ++next_) {
                if (points_[next_].x != 0) {
                    highest_ = next_;
                }
            }
        } else {
            for (; next_ < static_cast<int>(byX_.size()) && byX_[next_].x <= limit; ++next_) {
                highest_ = std::max(highest_, byX_[next_].index);
            }
        }
        return highest_ >= from ? highest_ : 0;
    }

    bool Ascending() const { return ascending_; }

private:
    struct Entry {
        LONG x;
        int index;
    };
    const ProfilePoint* points_;
    int n_;
    bool ascending_;
    std::vector<Entry> byX_;
    int next_ = 0;
    int highest_ = 0;  // 0 also while no point qualifies: the scan's answer then
};

inline LONG Dim(const HeadSettings& hs, ParamDimension d) { return hs.dimensions[d]; }
// Option k (1..5) is settings byte 809 + k.
inline BYTE Option(const HeadSettings& hs, int k) { return hs.options[k - 1]; }
// Switch k is settings byte 820 + k; it is on when it holds 2.
inline bool SwitchOn(const HeadSettings& hs, int k) { return hs.switches[k] == 2; }

}  // namespace qcalc
