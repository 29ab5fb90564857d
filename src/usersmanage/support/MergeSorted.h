#pragma once

#include <algorithm>
#include <iterator>

// Merges added, sorted by less, into rows, sorted the same way; an added value goes after the
// values of rows equal to it. Fewer values than rows holds are placed by binary search and the
// values of rows move once, from the back, in place: a slice of k values costs k log n
// comparisons and one pass over rows, so a long list grows in bounded steps. More values are
// merged in one linear pass.
template <typename Rows, typename Less> void mergeSorted(Rows& rows, const Rows& added, Less less) {
    if (added.size() > rows.size()) {
        Rows merged;
        merged.reserve(rows.size() + added.size());
        std::merge(rows.begin(), rows.end(), added.begin(), added.end(), std::back_inserter(merged),
                   less);
        rows.swap(merged);
        return;
    }
    const size_t kept = rows.size();
    rows.resize(kept + added.size());
    auto out = rows.end();
    auto unplaced = rows.begin() + std::ptrdiff_t(kept); // end of the old values still to move
    for (auto value = added.rbegin(); value != added.rend(); ++value) {
        const auto after = std::upper_bound(rows.begin(), unplaced, *value, less);
        out = std::move_backward(after, unplaced, out);
        *--out = *value;
        unplaced = after;
    }
}
