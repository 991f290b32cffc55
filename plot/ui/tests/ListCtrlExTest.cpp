#include "plot/ui/ListCtrlEx.h"
#include "plot/ListSort.h"
#include "plot/ui/tests/PlotTestSupport.h"

#include <QMouseEvent>
#include <QTest>

#include <memory>

#include <gtest/gtest.h>

namespace {

const QColor kHighlight(0, 0, 255);
const QColor kWindow(255, 255, 255);

void Send(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, target->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

// A list of 400 x 200 pixels with the columns "Name" (100 pixels) and
// "Value" (80, right-aligned), painted in fixed colours.
class ListCtrlExTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QPalette pal = list.palette();
        pal.setColor(QPalette::Highlight, kHighlight);
        pal.setColor(QPalette::HighlightedText, Qt::white);
        pal.setColor(QPalette::Base, kWindow);
        pal.setColor(QPalette::Text, Qt::black);
        list.setPalette(pal);
        list.InsertColumn(0, QStringLiteral("Name"), Qt::AlignLeft, 100);
        list.InsertColumn(1, QStringLiteral("Value"), Qt::AlignRight, 80);
        list.resize(400, 200);
        list.show();
    }
    void AddRows(std::initializer_list<std::pair<const char*, const char*>> rows)
    {
        for (const auto& [name, value] : rows) {
            const int row = list.InsertItem(list.GetItemCount(), QString::fromLatin1(name));
            list.SetItemText(row, 1, QString::fromLatin1(value));
        }
    }
    QRect RowRect(int row) const { return list.visualRect(list.model()->index(row, 0)); }
    QImage Shot() { return list.viewport()->grab().toImage(); }
    QRgb Pixel(const QImage& image, int x, int row) const { return image.pixel(x, RowRect(row).center().y()); }
    // Pixels of neither colour within the cell: text.
    int Ink(const QImage& image, int row, int left, int right, QColor back) const
    {
        const QRect cell(QPoint(left, RowRect(row).top()), QPoint(right, RowRect(row).bottom()));
        return cell.width() * cell.height() - plottest::CountColour(image, back.rgb(), cell);
    }

    QApplication& app = plottest::QtApp();  // before any widget
    CListCtrlEx list;
};

TEST_F(ListCtrlExTest, HighlightModeAboveTwoIsRefused)
{
    EXPECT_EQ(list.SetHighlightMode(2), 0);
    EXPECT_EQ(list.SetHighlightMode(3), 2);
    EXPECT_EQ(list.GetHighlightMode(), 2);
    EXPECT_EQ(list.SetHighlightMode(1), 2);
}

TEST_F(ListCtrlExTest, ModeTwoReachesTheWindowEdgeAndEmptyCellsDrawNoText)
{
    AddRows({{"alpha", "12345"}, {"beta", ""}, {"gamma", "7"}});
    list.SetHighlightMode(2);
    list.SetShowSelectionAlways(true);
    list.SetItemState(0, CListCtrlEx::LVIS_SELECTED, CListCtrlEx::LVIS_SELECTED);
    list.SetItemState(1, CListCtrlEx::LVIS_SELECTED, CListCtrlEx::LVIS_SELECTED);
    const QImage shot = Shot();
    const int edge = list.viewport()->width() - 1;
    EXPECT_TRUE(plottest::SameColour(Pixel(shot, edge, 0), kHighlight.rgb()));
    EXPECT_TRUE(plottest::SameColour(Pixel(shot, 250, 0), kHighlight.rgb()));  // past the last column
    EXPECT_TRUE(plottest::SameColour(Pixel(shot, edge, 2), kWindow.rgb()));    // not selected
    EXPECT_GT(Ink(shot, 0, 100, 179, kHighlight), 0);
    EXPECT_EQ(Ink(shot, 1, 100, 179, kHighlight), 0);
    EXPECT_GT(Ink(shot, 2, 100, 179, kWindow), 0);

    // Without the focus and without always showing it, the selection
    // looks like any row.
    list.SetShowSelectionAlways(false);
    list.clearFocus();
    EXPECT_TRUE(plottest::SameColour(Pixel(Shot(), edge, 0), kWindow.rgb()));
}

TEST_F(ListCtrlExTest, ModeOneStopsAtTheLastColumn)
{
    AddRows({{"alpha", "1"}});
    list.SetHighlightMode(1);
    list.SetShowSelectionAlways(true);
    list.SetItemState(0, CListCtrlEx::LVIS_SELECTED, CListCtrlEx::LVIS_SELECTED);
    const QImage shot = Shot();
    EXPECT_TRUE(plottest::SameColour(Pixel(shot, 105, 0), kHighlight.rgb()));
    EXPECT_TRUE(plottest::SameColour(Pixel(shot, 178, 0), kHighlight.rgb()));
    EXPECT_TRUE(plottest::SameColour(Pixel(shot, 182, 0), kWindow.rgb()));
}

TEST_F(ListCtrlExTest, ModeZeroHighlightsOnlyTheFirstLabel)
{
    AddRows({{"ab", "12345"}});
    list.SetShowSelectionAlways(true);
    list.SetItemState(0, CListCtrlEx::LVIS_SELECTED, CListCtrlEx::LVIS_SELECTED);
    const QImage shot = Shot();
    const QFontMetrics fm(list.font());
    const int lit = fm.horizontalAdvance(QStringLiteral("ab")) + 2 * fm.horizontalAdvance(QLatin1Char(' '));
    EXPECT_TRUE(plottest::SameColour(Pixel(shot, 0, 0), kHighlight.rgb()));
    EXPECT_TRUE(plottest::SameColour(Pixel(shot, lit - 1, 0), kHighlight.rgb()));
    EXPECT_TRUE(plottest::SameColour(Pixel(shot, lit + 1, 0), kWindow.rgb()));
    // The other cells keep the window's colours, their text included.
    EXPECT_EQ(plottest::CountColour(shot, kHighlight.rgb(), QRect(100, RowRect(0).top(), 300, RowRect(0).height())), 0);
    EXPECT_GT(Ink(shot, 0, 100, 179, kWindow), 0);
}

TEST_F(ListCtrlExTest, LongTextsEndWithAnEllipsis)
{
    AddRows({{"a name far too long for its column of a hundred pixels", "1"}});
    const QImage shot = Shot();
    // Nothing of the first column's text runs into the second.
    EXPECT_EQ(Ink(shot, 0, 100, 140, kWindow), 0);
}

TEST_F(ListCtrlExTest, StateAndRowImagesStandBeforeTheLabel)
{
    QPixmap state(8, 8);
    state.fill(Qt::green);
    QPixmap image(16, 16);
    image.fill(Qt::red);
    list.SetStateImages({state});
    list.SetSmallImages({image});
    AddRows({{"alpha", "1"}});
    list.SetItemState(0, 1u << 12, CListCtrlEx::LVIS_STATEIMAGEMASK);
    const QImage shot = Shot();
    const int top = RowRect(0).top();
    EXPECT_TRUE(plottest::SameColour(shot.pixel(2, top + 2), qRgb(0, 255, 0)));
    EXPECT_TRUE(plottest::SameColour(shot.pixel(10, top + 2), qRgb(255, 0, 0)));
    // Selected, the image is washed with the highlight colour.
    list.SetShowSelectionAlways(true);
    list.SetItemState(0, CListCtrlEx::LVIS_SELECTED, CListCtrlEx::LVIS_SELECTED);
    const QRgb washed = Shot().pixel(10, top + 2);
    EXPECT_GT(qBlue(washed), 64);
    EXPECT_GT(qRed(washed), 64);
}

// A list of up to five columns: text without case (1), whole numbers (2),
// dates (3), not sortable (4), and a column without a type (text with case);
// each row's data is its place before sorting. Dates are written in the
// user's locale, here English (United States).
std::unique_ptr<CListCtrlEx> SortList(int columns = 5)
{
    auto list = std::make_unique<CListCtrlEx>();
    for (int c = 0; c < columns; ++c)
        list->InsertColumn(c, QStringLiteral("c%1").arg(c), Qt::AlignLeft, 60);
    list->SetColumnTypes({listsort::kTextNoCase, listsort::kWholeNumber, listsort::kDateTime, listsort::kNotSortable});
    const char* texts[][5] = {
        {"banana", "10", "2020-03-01", "x", "b"},
        {"Apple", "9", "2019-12-31", "x", "B"},
        {"cherry", "100", "n/a", "x", "a"},
        {"date", "-1", "2020-01-15", "x", "A"},
    };
    for (int row = 0; row < 4; ++row) {
        list->InsertItem(row, QString::fromLatin1(texts[row][0]));
        for (int c = 1; c < 5; ++c) {
            QString text = QString::fromLatin1(texts[row][c]);
            const QDate date = QDate::fromString(text, Qt::ISODate);
            if (date.isValid())
                text = QLocale().toString(QDateTime(date, QTime(10, 30)), QLocale::ShortFormat);
            list->SetItemText(row, c, text);
        }
        list->SetItemData(row, static_cast<std::uintptr_t>(row));
    }
    return list;
}

std::vector<int> Order(const CListCtrlEx& list)
{
    std::vector<int> out;
    for (int row = 0; row < list.GetItemCount(); ++row)
        out.push_back(static_cast<int>(list.GetItemData(row)));
    return out;
}

// The user's locale for the time of a test.
class UsLocale
{
public:
    UsLocale() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~UsLocale() { QLocale::setDefault(QLocale::system()); }
};

TEST(ListCtrlExSort, SortTable)
{
    plottest::QtApp();
    const UsLocale locale;
    struct Row
    {
        int column;
        bool ascending;
        int low, high;
        bool result;
        std::vector<int> order;
        const char* legend;
    };
    const Row rows[] = {
        {0, true, 0, -1, true, {1, 0, 2, 3}, "type 1: Apple before banana"},
        {0, false, 0, -1, true, {3, 2, 0, 1}, "type 1 descending"},
        {1, true, 0, -1, true, {3, 1, 0, 2}, "type 2: -1, 9, 10, 100"},
        {2, true, 0, -1, true, {2, 1, 3, 0}, "type 3: no date is day 0, then by date"},
        {3, true, 0, -1, true, {0, 1, 2, 3}, "type 4: left as it is"},
        {4, true, 0, -1, true, {3, 1, 2, 0}, "no type: with case, capitals first"},
        {1, true, 1, 2, true, {0, 1, 2, 3}, "rows 1 and 2 only, in order already"},
        {1, false, 1, 3, true, {0, 2, 1, 3}, "rows 1 to 3 descending"},
        {5, true, 0, -1, false, {0, 1, 2, 3}, "a column beyond the header"},
        {1, true, 2, 2, false, {0, 1, 2, 3}, "high not above low"},
        {1, true, 0, 4, false, {0, 1, 2, 3}, "high beyond the rows"},
    };
    for (const Row& row : rows) {
        const auto list = SortList();
        EXPECT_EQ(list->Sort(row.column, row.ascending, row.low, row.high), row.result) << row.legend;
        EXPECT_EQ(Order(*list), row.order) << row.legend;
    }
}

TEST(ListCtrlExSort, EqualTextsAndTheSelectionStayWithTheirRows)
{
    plottest::QtApp();
    const auto list = SortList();
    for (int row = 0; row < 4; ++row)
        list->SetItemText(row, 0, QStringLiteral("same"));
    EXPECT_TRUE(list->Sort(0, true));
    EXPECT_EQ(Order(*list), (std::vector<int>{0, 1, 2, 3}));

    list->SetItemState(1, CListCtrlEx::LVIS_SELECTED | CListCtrlEx::LVIS_FOCUSED,
                       CListCtrlEx::LVIS_SELECTED | CListCtrlEx::LVIS_FOCUSED);
    list->SetItemImage(1, 5);
    list->SetItemState(1, CListCtrlEx::LVIS_DROPHILITED, CListCtrlEx::LVIS_DROPHILITED);
    EXPECT_TRUE(list->Sort(1, true));
    EXPECT_EQ(Order(*list), (std::vector<int>{3, 1, 0, 2}));
    const int at = 1;  // where the row of 9 went
    EXPECT_EQ(list->GetFirstSelected(), at);
    EXPECT_EQ(list->GetItemState(at, ~0u),
              CListCtrlEx::LVIS_SELECTED | CListCtrlEx::LVIS_FOCUSED | CListCtrlEx::LVIS_DROPHILITED);
    EXPECT_EQ(list->GetItemImage(at), 5);
    EXPECT_EQ(list->GetItemText(at, 1), QStringLiteral("9"));
}

TEST(ListCtrlExSort, CompareItemsByColumnType)
{
    plottest::QtApp();
    const UsLocale locale;
    const auto list = SortList();
    const auto date = [](int y, int m, int d, int h, int min) {
        return QLocale().toString(QDateTime(QDate(y, m, d), QTime(h, min)), QLocale::ShortFormat);
    };
    struct Row
    {
        QString a, b;
        int column;
        int expected;
        const char* legend;
    };
    const Row rows[] = {
        {"apple", "APPLE", 0, 0, "type 1 ignores case"},
        {"apple", "APPLE", 4, 1, "without a type case counts"},
        {"apple", "APPLE", 3, 1, "type 4 compares as text with case"},
        {"12 m", "9 m", 1, 1, "type 2 by the leading numbers"},
        {"99999999999", "-1", 1, 1, "type 2 beyond 32 bits"},
        {date(2020, 1, 2, 10, 0), date(2020, 1, 2, 9, 59), 2, 1, "type 3 a minute later"},
        {date(2020, 1, 2, 10, 0), "no date", 2, 1, "type 3: no date is day 0"},
        {"no date", "nor this", 2, 0, "type 3: both day 0"},
        {date(2020, 1, 2, 10, 0), date(1999, 12, 31, 10, 0), 2, 1, "type 3: two-digit years after 1999"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(listsort::Sign(list->CompareItems(row.a, row.b, row.column)), row.expected) << row.legend;

    // Before the reference a time counts one day later.
    list->SetReferenceTime(QDateTime(QDate(2020, 1, 2), QTime(12, 0)));
    EXPECT_EQ(list->CompareItems(date(2020, 1, 2, 10, 0), date(2020, 1, 2, 13, 0), 2), 1);
    list->SetReferenceTime(QDateTime());
    EXPECT_EQ(list->CompareItems(date(2020, 1, 2, 10, 0), date(2020, 1, 2, 13, 0), 2), -1);
}

// The header of a list of three columns of 100, 80 and 60 pixels.
class HeaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        list = SortList(3);
        list->GetHeaderCtrl()->resizeSection(0, 100);
        list->GetHeaderCtrl()->resizeSection(1, 80);
        list->resize(400, 200);
        list->show();
        header = list->GetHeaderCtrl();
        header->SetDropCallback([this](int column, int position) { drops.emplace_back(column, position); });
    }
    void Click(int x) { QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2)); }
    void Drag(int from, std::initializer_list<int> moves)
    {
        QWidget* port = header->viewport();
        const int y = header->height() / 2;
        Send(port, QEvent::MouseButtonPress, {from, y}, Qt::LeftButton, Qt::LeftButton);
        int last = from;
        for (int x : moves) {
            Send(port, QEvent::MouseMove, {x, y}, Qt::NoButton, Qt::LeftButton);
            last = x;
        }
        Send(port, QEvent::MouseButtonRelease, {last, y}, Qt::LeftButton, Qt::NoButton);
    }

    QApplication& app = plottest::QtApp();  // before any widget
    std::unique_ptr<CListCtrlEx> list;
    CHeaderCtrlEx* header = nullptr;
    std::vector<std::pair<int, int>> drops;
};

TEST_F(HeaderTest, ClicksSortOnlyWithTheSwitchOn)
{
    Click(150);
    EXPECT_EQ(Order(*list), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(list->GetLastSortColumn(), -1);

    list->SetSortEnabled(true);
    Click(150);
    EXPECT_EQ(Order(*list), (std::vector<int>{3, 1, 0, 2}));
    Click(150);
    EXPECT_EQ(Order(*list), (std::vector<int>{2, 0, 1, 3}));
    EXPECT_FALSE(list->IsLastSortAscending());
    Click(50);  // another column starts ascending
    EXPECT_EQ(Order(*list), (std::vector<int>{1, 0, 2, 3}));
    EXPECT_TRUE(list->IsLastSortAscending());
}

TEST_F(HeaderTest, DropsOnTheColumnOrJustRightOfItCallNothing)
{
    Drag(50, {60, 120});
    EXPECT_TRUE(drops.empty());  // switch off

    header->SetDragEnabled(true);
    Drag(50, {55, 20});    // its own place
    Drag(50, {55, 120});   // before column 1: directly right of itself
    Drag(150, {155, 20});  // column 1 before column 0
    Drag(50, {55, 200});   // before column 2
    Drag(50, {55, 390});   // the end
    EXPECT_EQ(drops, (std::vector<std::pair<int, int>>{{1, 0}, {0, 2}, {0, 3}}));
}

TEST_F(HeaderTest, TheMarkerShowsWhereTheColumnWouldGo)
{
    header->SetDragEnabled(true);
    QWidget* port = header->viewport();
    const int y = header->height() / 2;
    const int h = header->height();
    Send(port, QEvent::MouseButtonPress, {50, y}, Qt::LeftButton, Qt::LeftButton);
    Send(port, QEvent::MouseMove, {55, y}, Qt::NoButton, Qt::LeftButton);
    Send(port, QEvent::MouseMove, {200, y}, Qt::NoButton, Qt::LeftButton);
    EXPECT_TRUE(header->IsDragging());
    EXPECT_EQ(header->GetDropPosition(), 2);
    // The triangle's upper edge runs along half the height around x 180,
    // its inside is white.
    const QImage shot = port->grab().toImage();
    EXPECT_TRUE(plottest::SameColour(shot.pixel(180 - h / 8, h / 2), qRgb(0, 0, 0)));
    EXPECT_TRUE(plottest::SameColour(shot.pixel(180, h / 2 + 2), qRgb(255, 255, 255)));
    Send(port, QEvent::MouseButtonRelease, {200, y}, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(header->IsDragging());
}

}  // namespace
