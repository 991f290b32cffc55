#include "plot/ListSort.h"
#include "plot/HeaderDrop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// Rows of one text each, sorted through the list's callbacks; every row
// index the sort asks for is checked.
struct Rows
{
    std::vector<std::string> texts;
    int swaps = 0;
    bool outside = false;

    void Sort(int low, int high, bool ascending)
    {
        const auto textOf = [this](int row) {
            if (row < 0 || row >= static_cast<int>(texts.size())) {
                outside = true;
                return std::string();
            }
            return texts[static_cast<size_t>(row)];
        };
        const auto compare = [](const std::string& a, const std::string& b) { return listsort::Sign(a.compare(b)); };
        const auto swap = [this](int a, int b) {
            ++swaps;
            std::swap(texts[static_cast<size_t>(a)], texts[static_cast<size_t>(b)]);
        };
        listsort::QuickSort(low, high, ascending, textOf, compare, swap);
    }
};

TEST(ListSort, QuickSortTable)
{
    using Texts = std::vector<std::string>;
    struct Row
    {
        Texts before;
        int low, high;
        bool ascending;
        Texts after;
        const char* legend;
    };
    const Row rows[] = {
        {{"d", "a", "c", "b"}, 0, 3, true, {"a", "b", "c", "d"}, "ascending"},
        {{"d", "a", "c", "b"}, 0, 3, false, {"d", "c", "b", "a"}, "descending"},
        {{"a", "b"}, 0, 1, true, {"a", "b"}, "two rows in order: the left part is empty"},
        {{"b", "a"}, 0, 1, true, {"a", "b"}, "two rows reversed"},
        {{"z", "d", "a", "c", "b", "y"}, 1, 4, true, {"z", "a", "b", "c", "d", "y"}, "only rows 1 to 4"},
        {{"b", "a"}, 1, 1, true, {"b", "a"}, "one row: nothing"},
        {{"b", "a"}, 1, 0, true, {"b", "a"}, "high below low: nothing"},
        {{"b", "a", "b", "a", "b"}, 0, 4, true, {"a", "a", "b", "b", "b"}, "repeated texts"},
    };
    for (const Row& row : rows) {
        Rows r{row.before};
        r.Sort(row.low, row.high, row.ascending);
        EXPECT_EQ(r.texts, row.after) << row.legend;
        EXPECT_FALSE(r.outside) << row.legend;
    }
}

TEST(ListSort, EqualTextsAreNeverSwapped)
{
    Rows r{{"x", "x", "x", "x", "x"}};
    r.Sort(0, 4, true);
    EXPECT_EQ(r.swaps, 0);
}

TEST(ListSort, LargeListsSortAsTheStandardSort)
{
    // Organ pipes and shuffled texts of 20,000 rows.
    std::vector<std::string> pipes;
    for (int i = 0; i < 10000; ++i)
        pipes.push_back(std::to_string(1000000 + i));
    for (int i = 10000; i > 0; --i)
        pipes.push_back(std::to_string(1000000 + i));
    std::mt19937 random(3);
    std::vector<std::string> shuffled = pipes;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    for (auto& texts : {pipes, shuffled}) {
        Rows r{texts};
        r.Sort(0, static_cast<int>(texts.size()) - 1, false);
        std::vector<std::string> expected = texts;
        std::sort(expected.begin(), expected.end(), std::greater<>());
        EXPECT_EQ(r.texts, expected);
        EXPECT_FALSE(r.outside);
    }
}

TEST(ListSort, ACoarseComparisonStillEnds)
{
    // Numbers that count as equal within 1 do not order consistently; the
    // sort must still end and stay within its rows.
    const std::vector<int> before{5, 4, 6, 5, 3, 7, 4, 6, 5, 2, 8};
    std::vector<int> values = before;
    const auto textOf = [&values](int row) { return values.at(static_cast<size_t>(row)); };
    const auto compare = [](int a, int b) { return std::abs(a - b) <= 1 ? 0 : (a < b ? -1 : 1); };
    const auto swap = [&values](int a, int b) {
        std::swap(values.at(static_cast<size_t>(a)), values.at(static_cast<size_t>(b)));
    };
    listsort::QuickSort(0, static_cast<int>(values.size()) - 1, true, textOf, compare, swap);
    EXPECT_TRUE(std::is_permutation(values.begin(), values.end(), before.begin()));
}

TEST(ListSort, WholeNumbersAreReadSaturatingAndCompared)
{
    struct Row
    {
        const char* a;
        const char* b;
        int expected;
        const char* legend;
    };
    const Row rows[] = {
        {"10", "9", 1, "by value, not by text"},
        {"-5", "3", -1, "signed"},
        {"+7", "7", 0, "plus sign"},
        {"  42 m", "42", 0, "leading blanks, trailing text"},
        {"abc", "0", 0, "no number counts 0"},
        {"", "-1", 1, "empty counts 0"},
        {"99999999999", "1", 1, "beyond 32 bits"},
        {"2000000000", "-2000000000", 1, "a difference beyond 32 bits"},
        {"99999999999999999999", "9223372036854775807", 0, "beyond 64 bits: the largest value"},
        {"-99999999999999999999", "-9223372036854775808", 0, "below 64 bits: the smallest value"},
        {"-99999999999999999999", "99999999999999999999", -1, "both ends"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(listsort::CompareWhole(row.a, row.b), row.expected) << row.legend;
        EXPECT_EQ(listsort::CompareWhole(row.b, row.a), -row.expected) << row.legend;
    }
}

TEST(ListSort, TimesCompareByWholeSeconds)
{
    const double second = 1.0 / 86400.0;
    struct Row
    {
        double a;
        double b;
        std::optional<double> reference;
        int expected;
        const char* legend;
    };
    const Row rows[] = {
        {43831.5, 43831.25, {}, 1, "later"},
        {43831.0, 43831.0, {}, 0, "same"},
        {43831.0 + 0.4 * second, 43831.0, {}, 0, "0.4 s rounds to 0"},
        {43831.0 + 0.6 * second, 43831.0, {}, 1, "0.6 s rounds to 1"},
        {43831.0 + 36525.0, 43831.0, {}, 1, "a hundred years: beyond 32-bit seconds"},
        {0.0, 43831.0, {}, -1, "day 0 of the scale"},
        {10.2, 10.5, {}, -1, "no reference"},
        {10.2, 10.5, 10.3, 1, "before the reference: one day later"},
        {10.2, 10.25, 10.3, -1, "both before it: as they were"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(listsort::CompareTimes(row.a, row.b, row.reference), row.expected) << row.legend;
        EXPECT_EQ(listsort::CompareTimes(row.b, row.a, row.reference), -row.expected) << row.legend;
    }
}

TEST(HeaderDrop, TargetUnderTheMouse)
{
    const std::vector<int> widths{50, 80, 30};
    struct Row
    {
        int x, position, pixel;
    };
    const Row rows[] = {{-3, 0, 0},   {0, 0, 0},     {1, 0, 0},     {49, 0, 0},    {50, 1, 50},
                        {129, 1, 50}, {130, 2, 130}, {159, 2, 130}, {160, 3, 160}, {900, 3, 160}};
    for (const Row& row : rows) {
        const headerdrop::CDropTarget t = headerdrop::DropTargetAt(row.x, widths);
        EXPECT_EQ(t.position, row.position) << "x " << row.x;
        EXPECT_EQ(t.pixel, row.pixel) << "x " << row.x;
    }
    // A column without width holds no x.
    EXPECT_EQ(headerdrop::DropTargetAt(50, {50, 0, 30}).position, 2);
    EXPECT_EQ(headerdrop::DropTargetAt(10, {}).position, 0);
}

TEST(HeaderDrop, OwnPlaceAndTheNextLeaveTheOrder)
{
    EXPECT_FALSE(headerdrop::DropMoves(1, 1));
    EXPECT_FALSE(headerdrop::DropMoves(1, 2));
    EXPECT_TRUE(headerdrop::DropMoves(1, 0));
    EXPECT_TRUE(headerdrop::DropMoves(1, 3));
}

}  // namespace
