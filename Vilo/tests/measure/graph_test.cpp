// The chart model of the measurement page: lines and their first points, clearing, which line
// is drawn, the axes with their automatic bounds, the following rule, shift and stretch, and
// the cells of the two grids.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "measure/Graph.h"

namespace {

using vilo::Axis;
using vilo::AxisRange;
using vilo::ChartModel;
using vilo::MoveButton;
using vilo::StretchButton;

using Points = std::vector<std::pair<double, double>>;

Points PointsOf(const ChartModel &chart, int quantity) {
    Points points;
    const auto xs = chart.Xs(quantity);
    const auto ys = chart.Ys(quantity);
    for (std::size_t i = 0; i < xs.size(); ++i) points.emplace_back(xs[i], ys[i]);
    return points;
}

std::set<int> VisibleLines(const ChartModel &chart) {
    std::set<int> visible;
    for (int q = 1; q <= vilo::kChartQuantities; ++q)
        if (chart.Visible(q)) visible.insert(q);
    return visible;
}

void ExpectRange(const AxisRange &actual, const AxisRange &expected) {
    EXPECT_DOUBLE_EQ(actual.min, expected.min);
    EXPECT_DOUBLE_EQ(actual.max, expected.max);
}

void ExpectFixed(const ChartModel &chart, Axis axis) {
    EXPECT_FALSE(chart.Bounds(axis).autoMin);
    EXPECT_FALSE(chart.Bounds(axis).autoMax);
}

// ---- The grids

TEST(GraphCells, EveryReadingGoesToTheCellHeadedByIt) {
    using vilo::Grid;
    using vilo::Reading;
    struct Case {
        Reading reading;
        Grid grid;
        int column;
        std::string header;
        int chartQuantity;
        std::string d1Item;  // the D_1 item that selects its line
    };
    const Case cases[] = {
        {Reading::W, Grid::Table, 2, "W код", 1, "Код температуры W"},
        {Reading::U, Grid::Table, 3, "U код", 2, "Код влажности U"},
        {Reading::T, Grid::Table, 4, "T, °C", 3, "Температура T"},
        {Reading::Rh, Grid::Table, 5, "Rh, %", 4, "Влажность Rh"},
        {Reading::Td, Grid::Table, 6, "Td, °C", 5, "Точка росы "},
        {Reading::a, Grid::Table, 7, "a, г/м^3", 6, "Абс. влажность"},
        {Reading::d, Grid::Table, 8, "d, млн^-1", 7, "Влагосодержание"},
        {Reading::AdcCode, Grid::Table1, 0, "Код АЦП", 0, ""},
        {Reading::P, Grid::Table1, 1, "Р, КПа", 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.header);
        const vilo::CellRef cell = vilo::CellOf(c.reading);
        EXPECT_EQ(cell, (vilo::CellRef{c.grid, c.column}));
        const std::span<const std::string_view> headers =
            c.grid == Grid::Table ? std::span<const std::string_view>(vilo::kTableHeaders) : std::span<const std::string_view>(vilo::kTable1Headers);
        ASSERT_LT(cell.column, static_cast<int>(headers.size()));
        EXPECT_EQ(headers[cell.column], c.header);
        EXPECT_EQ(vilo::ChartQuantityOf(c.reading), c.chartQuantity);
        if (c.chartQuantity != 0) {
            EXPECT_EQ(vilo::kQuantityItems[c.chartQuantity - 1], c.d1Item);
            EXPECT_EQ(vilo::kSeriesNames[c.chartQuantity - 1], "Series1" + std::to_string(c.chartQuantity));
        }
    }
    EXPECT_EQ(vilo::kTableHeaders[vilo::kPortColumn], "COM-порт");
    EXPECT_EQ(vilo::kTableHeaders[vilo::kSerialColumn], "  №");
    EXPECT_EQ(vilo::kStartupPortCell, "COM-1");
}

// ---- Lines

TEST(GraphLines, StartUpShowsTemperatureOnAFixedTimeAxis) {
    const ChartModel chart;
    EXPECT_EQ(VisibleLines(chart), std::set<int>{3});
    EXPECT_EQ(vilo::kQuantityItems[vilo::kStartupD1Index], "Температура T");
    ExpectFixed(chart, Axis::Bottom);
    ExpectRange(chart.Shown(Axis::Bottom), {0, 2});
    EXPECT_TRUE(chart.Bounds(Axis::Left).autoMin);
    EXPECT_TRUE(chart.Bounds(Axis::Left).autoMax);
    ExpectRange(chart.Shown(Axis::Left), {0, 1});  // nothing to go by yet
    for (int q = 1; q <= vilo::kChartQuantities; ++q) EXPECT_EQ(chart.PointCount(q), 0u) << q;
}

TEST(GraphLines, TheFirstPointOfAnEmptyLineIsDoubled) {
    struct Case {
        int quantity;
        double x, y;
        double riseTo;  // y + 0.00001
    };
    const Case cases[] = {
        {3, 0.5, 21.25, 21.25001},        // the visible line
        {1, 0, 0, 0.00001},               // hidden; the (0, 0) of "Начинать построение из нуля"
        {7, 1.2, -1000000, -999999.99999}, // hidden, a derived value
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.quantity);
        ChartModel chart;
        const auto visibleBefore = VisibleLines(chart);
        ASSERT_TRUE(chart.AddPoint(c.quantity, c.x, c.y));
        const Points first = PointsOf(chart, c.quantity);
        ASSERT_EQ(first.size(), 2u);
        EXPECT_EQ(first[0], std::make_pair(c.x, c.y));
        EXPECT_EQ(first[1].first, c.x);
        EXPECT_DOUBLE_EQ(first[1].second, c.riseTo);
        EXPECT_EQ(first[1].second, c.y + vilo::kFirstPointRise);

        ASSERT_TRUE(chart.AddPoint(c.quantity, c.x + 1, c.y + 2));  // later points come singly
        EXPECT_EQ(chart.PointCount(c.quantity), 3u);
        EXPECT_EQ(PointsOf(chart, c.quantity).back(), std::make_pair(c.x + 1, c.y + 2));
        EXPECT_EQ(VisibleLines(chart), visibleBefore);
        for (int q = 1; q <= vilo::kChartQuantities; ++q) {
            if (q != c.quantity) {
                EXPECT_EQ(chart.PointCount(q), 0u) << q;
            }
        }
    }
}

// A clear at once ("Очистить график" while nothing runs) and one during a run, which waits
// for the next point: either way every line empties and that point is a first point again.
TEST(GraphLines, AfterAClearTheNextPointIsDoubledAgain) {
    struct Case {
        const char *name;
        bool pending;
    };
    for (const Case c : {Case{"at once", false}, Case{"before the next point", true}}) {
        SCOPED_TRACE(c.name);
        ChartModel chart;
        for (double x : {0.0, 0.5, 1.0}) {
            chart.AddPoint(3, x, 20 + x);
            chart.AddPoint(5, x, 9 + x);  // hidden
        }
        if (c.pending) {
            chart.RequestClear();
            EXPECT_TRUE(chart.ClearPending());
            EXPECT_EQ(chart.PointCount(3), 4u);  // still drawn until the next point
            EXPECT_EQ(chart.PointCount(5), 4u);
        } else {
            chart.Clear();
            EXPECT_EQ(chart.PointCount(3), 0u);
            EXPECT_EQ(chart.PointCount(5), 0u);
        }
        ASSERT_TRUE(chart.AddPoint(5, 1.5, 11));  // the lines go on at the current X
        EXPECT_FALSE(chart.ClearPending());
        EXPECT_EQ(chart.PointCount(3), 0u);
        EXPECT_EQ(PointsOf(chart, 5), (Points{{1.5, 11}, {1.5, 11 + vilo::kFirstPointRise}}));
        chart.AddPoint(3, 1.5, 22);
        EXPECT_EQ(PointsOf(chart, 3), (Points{{1.5, 22}, {1.5, 22 + vilo::kFirstPointRise}}));
        EXPECT_EQ(VisibleLines(chart), std::set<int>{3});
    }
}

TEST(GraphLines, SelectVisibleShowsExactlyTheChosenLine) {
    for (int index = -1; index <= vilo::kChartQuantities; ++index) {
        SCOPED_TRACE(index);
        ChartModel chart;
        for (int q = 1; q <= vilo::kChartQuantities; ++q) chart.SetVisible(q, true);
        chart.SelectVisible(index);
        const bool item = index >= 0 && index < vilo::kChartQuantities;
        EXPECT_EQ(VisibleLines(chart), item ? std::set<int>{index + 1} : std::set<int>{});
    }
}

TEST(GraphLines, AHiddenLineKeepsTheDataItReceivedMeanwhile) {
    ChartModel chart;
    chart.SelectVisible(6);  // "Влагосодержание"
    for (int k = 0; k < 5; ++k)
        for (int q = 1; q <= vilo::kChartQuantities; ++q) chart.AddPoint(q, k * 0.1, q * 10 + k);
    for (int q = 1; q <= vilo::kChartQuantities; ++q) EXPECT_EQ(chart.PointCount(q), 6u) << q;
    chart.SelectVisible(2);  // back to "Температура T"
    EXPECT_EQ(VisibleLines(chart), std::set<int>{3});
    const Points t = PointsOf(chart, 3);
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t.back(), std::make_pair(0.4, 34.0));
    ExpectRange(chart.Shown(Axis::Left), {30, 34});
}

TEST(GraphLines, PointsStayInAscendingX) {
    ChartModel chart;
    for (double x : {1.0, 2.0, 3.0}) chart.AddPoint(2, x, x);
    const auto appended = chart.LineGeneration(2);
    chart.AddPoint(2, 3.0, 30);  // an equal X goes after the one there
    EXPECT_EQ(chart.LineGeneration(2), appended);
    chart.AddPoint(2, 2.5, 25);
    chart.AddPoint(2, 0.5, 5);
    chart.AddPoint(2, 2.0, 20);
    EXPECT_EQ(PointsOf(chart, 2), (Points{{0.5, 5},
                                          {1, 1},
                                          {1, 1 + vilo::kFirstPointRise},
                                          {2, 2},
                                          {2, 20},
                                          {2.5, 25},
                                          {3, 3},
                                          {3, 30}}));
    EXPECT_NE(chart.LineGeneration(2), appended);  // the window must load the line again
}

TEST(GraphLines, WhatCannotBeDrawnChangesNothing) {
    ChartModel chart;
    chart.AddPoint(3, 0, 1);
    chart.RequestClear();
    const auto revision = chart.Revision();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<int, double> refused[] = {{0, 1}, {8, 1}, {-1, 1}, {3, std::nan("")}, {3, inf}, {3, -inf}};
    for (const auto &[quantity, x] : refused) {
        SCOPED_TRACE(quantity);
        EXPECT_FALSE(chart.AddPoint(quantity, x, 2));
    }
    EXPECT_EQ(chart.Revision(), revision);
    EXPECT_TRUE(chart.ClearPending());
    EXPECT_EQ(chart.PointCount(3), 2u);
    EXPECT_TRUE(chart.Xs(0).empty());
    EXPECT_TRUE(chart.Ys(8).empty());
    EXPECT_FALSE(chart.Visible(8));
}

// The window redraws when the revision moved since its last drawing.
TEST(GraphLines, RevisionMovesWithEveryChangeOfThePicture) {
    ChartModel chart;
    struct Step {
        const char *name;
        std::function<void(ChartModel &)> apply;
        bool changes;
    };
    const Step steps[] = {
        {"first point", [](ChartModel &c) { c.AddPoint(3, 0, 20); }, true},
        {"a point on a hidden line", [](ChartModel &c) { c.AddPoint(4, 0, 50); }, true},
        {"the same selection again", [](ChartModel &c) { c.SelectVisible(2); }, false},
        {"another selection", [](ChartModel &c) { c.SelectVisible(3); }, true},
        {"X outside the following window", [](ChartModel &c) { c.FollowNewX(1.0, false); }, false},
        {"X inside it", [](ChartModel &c) { c.FollowNewX(2.0, false); }, true},
        {"maximum already automatic", [](ChartModel &c) { c.FollowNewX(2.0, true); }, false},
        {"shift", [](ChartModel &c) { c.Move(MoveButton::UpMoveBtn); }, true},
        {"stretch", [](ChartModel &c) { c.Stretch(StretchButton::DownScrathBtn); }, true},
        {"zoom", [](ChartModel &c) { c.SetRange(Axis::Left, 0, 100); }, true},
        {"automatic bounds", [](ChartModel &c) { c.ResetChartBounds(); }, true},
        {"clear requested", [](ChartModel &c) { c.RequestClear(); }, false},
        {"point after it", [](ChartModel &c) { c.AddPoint(3, 1, 21); }, true},
        {"clear", [](ChartModel &c) { c.Clear(); }, true},
    };
    for (const Step &step : steps) {
        const auto before = chart.Revision();
        step.apply(chart);
        EXPECT_EQ(chart.Revision() != before, step.changes) << step.name;
    }
}

// ---- Axes

// Lines 3 (visible) and 4 (hidden) with points; line 6 empty.
class GraphBounds : public ::testing::Test {
protected:
    void SetUp() override {
        chart.AddPoint(3, 0.5, 20);
        chart.AddPoint(3, 1.0, 25);
        chart.AddPoint(3, 2.0, std::nan(""));  // drawn as a gap, no part in the bounds
        chart.AddPoint(3, 3.0, 22);
        chart.AddPoint(4, 0.25, 90);
        chart.AddPoint(4, 10.0, -5);
        chart.ResetChartBounds();
    }
    ChartModel chart;
};

TEST_F(GraphBounds, AutomaticBoundsComeFromTheVisibleLines) {
    struct Case {
        std::set<int> visible;
        AxisRange left, bottom;
    };
    const Case cases[] = {
        {{3}, {20, 25}, {0.5, 3}},
        {{4}, {-5, 90 + vilo::kFirstPointRise}, {0.25, 10}},
        {{3, 4}, {-5, 90 + vilo::kFirstPointRise}, {0.25, 10}},
        {{}, {-5, 90 + vilo::kFirstPointRise}, {0.25, 10}},  // none visible: all lines
        {{6}, {0, 1}, {0, 1}},                               // a visible line without points
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.visible));
        for (int q = 1; q <= vilo::kChartQuantities; ++q) chart.SetVisible(q, c.visible.count(q) != 0);
        ExpectRange(chart.Shown(Axis::Left), c.left);
        ExpectRange(chart.Shown(Axis::Bottom), c.bottom);
    }
}

TEST(GraphAxes, TheShownRangeIsNeverEmptyOrInverted) {
    ChartModel chart;
    chart.ResetChartBounds();
    ExpectRange(chart.Shown(Axis::Bottom), {0, 1});  // empty chart
    chart.AddPoint(3, 5, 1);
    ExpectRange(chart.Shown(Axis::Bottom), {4.5, 5.5});  // one X only
    ExpectRange(chart.Shown(Axis::Left), {1, 1 + vilo::kFirstPointRise});

    // A minimum fixed beyond the points, the maximum automatic again by the following rule.
    chart.SetRange(Axis::Bottom, 8, 9);
    chart.FollowNewX(2, false);
    ExpectRange(chart.Shown(Axis::Bottom), {8, 9});
    chart.SetRange(Axis::Bottom, 5, 6);
    chart.FollowNewX(2, false);
    ExpectRange(chart.Shown(Axis::Bottom), {5, 6});  // the last X equals the minimum
    chart.AddPoint(3, 7, 1);
    ExpectRange(chart.Shown(Axis::Bottom), {5, 7});

    chart.SetRange(Axis::Left, 3, -3);  // a zoom given the other way round
    ExpectRange(chart.Shown(Axis::Left), {-3, 3});
}

TEST_F(GraphBounds, ResetChartBoundsFollowsTheVisibleLineAgain) {
    chart.Move(MoveButton::LeftMoveBtn);
    chart.Move(MoveButton::DownMoveBtn);
    chart.Stretch(StretchButton::UpScrathBtn);
    ExpectFixed(chart, Axis::Left);
    ExpectFixed(chart, Axis::Bottom);

    chart.ResetChartBounds();
    for (Axis axis : {Axis::Left, Axis::Bottom}) {
        EXPECT_TRUE(chart.Bounds(axis).autoMin);
        EXPECT_TRUE(chart.Bounds(axis).autoMax);
    }
    ExpectRange(chart.Shown(Axis::Left), {20, 25});
    ExpectRange(chart.Shown(Axis::Bottom), {0.5, 3});

    // The next point, outside [1.9, 2.1] and without following, leaves both automatic.
    chart.AddPoint(3, 4.0, 30);
    chart.FollowNewX(4.0, false);
    ExpectRange(chart.Shown(Axis::Left), {20, 30});
    ExpectRange(chart.Shown(Axis::Bottom), {0.5, 4});
}

struct Navigation {
    const char *name;
    std::function<void(ChartModel &)> click;
    Axis axis;
    AxisRange from, to;
};

void CheckNavigation(const Navigation &n) {
    SCOPED_TRACE(n.name);
    ChartModel chart;
    const Axis other = n.axis == Axis::Left ? Axis::Bottom : Axis::Left;
    chart.SetRange(n.axis, n.from.min, n.from.max);
    chart.SetRange(other, 7, 8);
    n.click(chart);
    ExpectRange(chart.Shown(n.axis), n.to);
    ExpectFixed(chart, n.axis);
    ExpectRange(chart.Shown(other), {7, 8});
}

TEST(GraphAxes, ShiftMovesBothBoundsByAFortiethOfTheSpan) {
    const Navigation cases[] = {
        {"LeftMoveBtn", [](ChartModel &c) { c.Move(MoveButton::LeftMoveBtn); }, Axis::Bottom, {0, 2}, {0.05, 2.05}},
        {"RightMoveBtn", [](ChartModel &c) { c.Move(MoveButton::RightMoveBtn); }, Axis::Bottom, {0, 2}, {-0.05, 1.95}},
        {"DownMoveBtn", [](ChartModel &c) { c.Move(MoveButton::DownMoveBtn); }, Axis::Left, {0, 40}, {1, 41}},
        {"UpMoveBtn", [](ChartModel &c) { c.Move(MoveButton::UpMoveBtn); }, Axis::Left, {0, 40}, {-1, 39}},
        {"RightMoveBtn far from any data", [](ChartModel &c) { c.Move(MoveButton::RightMoveBtn); }, Axis::Bottom,
         {-1000, -960}, {-1001, -961}},
    };
    for (const Navigation &n : cases) CheckNavigation(n);
}

TEST(GraphAxes, StretchMovesTheMinimumThenTheMaximumByTheNewSpan) {
    const Navigation cases[] = {
        {"LeftScrathBtn", [](ChartModel &c) { c.Stretch(StretchButton::LeftScrathBtn); }, Axis::Left, {0, 40}, {1, 39.025}},
        {"UpScrathBtn", [](ChartModel &c) { c.Stretch(StretchButton::UpScrathBtn); }, Axis::Left, {0, 40}, {-1, 41.025}},
        {"DownScrathBtn", [](ChartModel &c) { c.Stretch(StretchButton::DownScrathBtn); }, Axis::Bottom, {0, 2}, {0.05, 1.95125}},
        {"RightScrathBtn", [](ChartModel &c) { c.Stretch(StretchButton::RightScrathBtn); }, Axis::Bottom, {0, 2}, {-0.05, 2.05125}},
        // The span after one click: s · (39/40)² narrowing, s · (41/40)² widening.
        {"LeftScrathBtn on 10..90", [](ChartModel &c) { c.Stretch(StretchButton::LeftScrathBtn); }, Axis::Left, {10, 90},
         {12, 12 + 80 * (39.0 / 40) * (39.0 / 40)}},
        {"RightScrathBtn on 10..90", [](ChartModel &c) { c.Stretch(StretchButton::RightScrathBtn); }, Axis::Bottom, {10, 90},
         {8, 8 + 80 * (41.0 / 40) * (41.0 / 40)}},
    };
    for (const Navigation &n : cases) CheckNavigation(n);
}

TEST(GraphAxes, NarrowingNeverBringsTheMinimumAboveTheMaximum) {
    const AxisRange starts[] = {{0, 40}, {0, 2}, {1e6, 1e6 + 1e-6}, {-3, -2.999999999}, {0, 1e-300}, {-1e300, 1e300}};
    const std::pair<StretchButton, Axis> buttons[] = {{StretchButton::LeftScrathBtn, Axis::Left},
                                                      {StretchButton::DownScrathBtn, Axis::Bottom}};
    for (const AxisRange &start : starts) {
        for (const auto &[button, axis] : buttons) {
            SCOPED_TRACE(testing::Message() << start.min << ".." << start.max);
            ChartModel chart;
            chart.SetRange(axis, start.min, start.max);
            double span = start.max - start.min;
            for (int click = 0; click < 1000; ++click) {
                chart.Stretch(button);
                const AxisRange shown = chart.Shown(axis);
                ASSERT_LT(shown.min, shown.max) << "click " << click;
                ASSERT_GE(shown.min, start.min);
                ASSERT_LE(shown.max, start.max);
                ASSERT_LE(shown.max - shown.min, span);
                span = shown.max - shown.min;
            }
        }
    }
}

// An automatic axis is shifted or stretched from what it shows, and stays where it was put
// while points arrive.
TEST(GraphAxes, NavigatingAnAutomaticAxisStartsFromTheShownRange) {
    const Navigation cases[] = {
        {"DownMoveBtn", [](ChartModel &c) { c.Move(MoveButton::DownMoveBtn); }, Axis::Left, {10, 50}, {11, 51}},
        {"LeftMoveBtn", [](ChartModel &c) { c.Move(MoveButton::LeftMoveBtn); }, Axis::Bottom, {0, 4}, {0.1, 4.1}},
        {"LeftScrathBtn", [](ChartModel &c) { c.Stretch(StretchButton::LeftScrathBtn); }, Axis::Left, {10, 50}, {11, 49.025}},
        {"RightScrathBtn", [](ChartModel &c) { c.Stretch(StretchButton::RightScrathBtn); }, Axis::Bottom, {0, 4}, {-0.1, 4.1025}},
    };
    for (const Navigation &n : cases) {
        SCOPED_TRACE(n.name);
        ChartModel chart;
        chart.AddPoint(3, 0, 10);
        chart.AddPoint(3, 4, 50);
        chart.AddPoint(2, 90, 900);  // hidden
        chart.ResetChartBounds();
        ExpectRange(chart.Shown(n.axis), n.from);
        n.click(chart);
        ExpectRange(chart.Shown(n.axis), n.to);
        ExpectFixed(chart, n.axis);
        chart.AddPoint(3, 5, 100);
        chart.FollowNewX(5, false);
        ExpectRange(chart.Shown(n.axis), n.to);
    }
    ChartModel empty;  // nothing drawn: 0 .. 1 is what moves
    empty.Move(MoveButton::UpMoveBtn);
    ExpectRange(empty.Shown(Axis::Left), {-0.025, 0.975});
}

TEST(GraphAxes, TheBottomMaximumFollowsAnXNearTwoOrEveryXWhenAsked) {
    struct Case {
        double x;
        bool followUpdates;
        bool automatic;
    };
    const Case cases[] = {
        {1.89, false, false}, {1.9, false, true},  {2.0, false, true}, {2.1, false, true},
        {2.11, false, false}, {0, false, false},   {0, true, true},    {1.89, true, true},
        {2.11, true, true},   {1000, true, true},  {-1, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << (c.followUpdates ? " following" : ""));
        ChartModel chart;  // bottom axis 0 .. 2, fixed
        chart.AddPoint(3, 0, 20);
        chart.AddPoint(3, 3, 21);
        chart.FollowNewX(c.x, c.followUpdates);
        EXPECT_EQ(chart.Bounds(Axis::Bottom).autoMax, c.automatic);
        EXPECT_FALSE(chart.Bounds(Axis::Bottom).autoMin);
        ExpectRange(chart.Shown(Axis::Bottom), {0, c.automatic ? 3.0 : 2.0});
    }
}

TEST(GraphAxes, AMaximumFixedByNavigationLastsUntilTheNextPointWhenFollowing) {
    const Navigation clicks[] = {
        {"LeftMoveBtn", [](ChartModel &c) { c.Move(MoveButton::LeftMoveBtn); }, Axis::Bottom, {0, 3}, {0.075, 3.075}},
        {"DownScrathBtn", [](ChartModel &c) { c.Stretch(StretchButton::DownScrathBtn); }, Axis::Bottom, {0, 3},
         {0.075, 3 - 2.925 / 40}},
    };
    for (const Navigation &n : clicks) {
        SCOPED_TRACE(n.name);
        ChartModel chart;
        chart.AddPoint(3, 0, 20);
        chart.AddPoint(3, 3, 21);
        chart.FollowNewX(2.0, false);
        ExpectRange(chart.Shown(Axis::Bottom), n.from);
        n.click(chart);
        ExpectRange(chart.Shown(Axis::Bottom), n.to);

        chart.AddPoint(3, 3.5, 22);
        chart.FollowNewX(3.5, false);  // not following: stays
        ExpectRange(chart.Shown(Axis::Bottom), n.to);
        chart.AddPoint(3, 4, 23);
        chart.FollowNewX(4, true);  // following: the maximum is automatic again
        EXPECT_TRUE(chart.Bounds(Axis::Bottom).autoMax);
        EXPECT_FALSE(chart.Bounds(Axis::Bottom).autoMin);
        ExpectRange(chart.Shown(Axis::Bottom), {n.to.min, 4});
    }
}

// A run as the job feeds it: one temperature point a second in minutes, the time axis fixed to
// 0 .. 2 until the time comes near two minutes, then growing with the data; a clear halfway
// empties the chart at the next point, and the lines go on at the current X.
TEST(GraphRun, TheTimeAxisGrowsFromTwoMinutesAndAClearWaitsForTheNextPoint) {
    constexpr double kStep = 1000 * 1.6666666e-5;  // 1 s in minutes
    ChartModel chart;
    double x = 0;
    bool followed = false;
    for (int k = 0; k <= 200; ++k, x += kStep) {
        if (k == 150) chart.RequestClear();
        chart.FollowNewX(x, false);
        chart.AddPoint(3, x, 20 + 0.01 * k);
        followed = followed || (x >= 1.9 && x <= 2.1);
        const AxisRange shown = chart.Shown(Axis::Bottom);
        ASSERT_EQ(shown.min, 0) << k;
        ASSERT_EQ(shown.max, followed ? x : 2.0) << k;  // automatic: the last X, even below 2
        if (k == 150) {
            const double y = 20 + 0.01 * k;
            EXPECT_EQ(PointsOf(chart, 3), (Points{{x, y}, {x, y + vilo::kFirstPointRise}}));
        }
    }
    EXPECT_TRUE(followed);
    EXPECT_EQ(chart.PointCount(3), 52u);  // 2 for the point after the clear, then 50 more
}

}  // namespace
