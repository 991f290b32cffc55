// Sorting the rows of a list by the texts of one column, and the comparisons
// of the column types. The list itself supplies the texts and swaps its rows.
#pragma once

#include <optional>
#include <string_view>

namespace listsort {

// Column types of a sortable list.
inline constexpr unsigned char kTextNoCase = 1;
inline constexpr unsigned char kWholeNumber = 2;
inline constexpr unsigned char kDateTime = 3;
inline constexpr unsigned char kNotSortable = 4;

// Sorts rows low..high (both included), rows of equal text staying where
// they are whenever the pivot allows. `textOf(row)` answers a row's text,
// `compare(a, b)` is negative, 0 or positive, and `swap(r1, r2)` exchanges
// two whole rows. The pivot is the middle row's text, taken before any row
// moves. The smaller part is sorted first and the larger one in the loop,
// so that no order of rows deepens the stack beyond log2 of their count.
template <typename TextOf, typename Compare, typename Swap>
void QuickSort(int low, int high, bool ascending, const TextOf& textOf, const Compare& compare, const Swap& swap)
{
    while (low < high) {
        const auto pivot = textOf(low + (high - low) / 2);
        const auto before = [&](int row) {
            const int c = compare(textOf(row), pivot);
            return ascending ? c < 0 : c > 0;
        };
        const auto after = [&](int row) {
            const int c = compare(textOf(row), pivot);
            return ascending ? c > 0 : c < 0;
        };
        int lo = low;
        int hi = high;
        while (lo <= hi) {
            while (lo < high && before(lo))
                ++lo;
            while (hi > low && after(hi))
                --hi;
            if (lo <= hi) {
                if (compare(textOf(lo), textOf(hi)) != 0)
                    swap(lo, hi);
                ++lo;
                --hi;
            }
        }
        // Rows low..hi and lo..high remain; an empty part is done.
        if (hi - low < high - lo) {
            QuickSort(low, hi, ascending, textOf, compare, swap);
            low = lo;
        } else {
            QuickSort(lo, high, ascending, textOf, compare, swap);
            high = hi;
        }
    }
}

// -1, 0 or 1.
int Sign(long long value);

// The whole number at the start of the text, after blanks, with an optional
// sign; 0 when there is none. Beyond the range of 64 bits it stays at the
// largest or smallest value.
long long LeadingWhole(std::string_view text);

// By the leading whole numbers: -1, 0 or 1.
int CompareWhole(std::string_view a, std::string_view b);

// Two times in days since 30 December 1899 (the list's date scale), each
// taken one day later when a reference is given and it lies before it; by
// their difference in whole seconds, rounded half away from zero: -1, 0 or 1.
int CompareTimes(double a, double b, std::optional<double> reference);

}  // namespace listsort
