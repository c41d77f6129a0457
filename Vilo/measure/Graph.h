// The chart of the measurement page as data, and the texts of its two grids.
//
// ChartModel holds what Chart1 shows: seven lines, one per chart quantity, that keep every
// point they receive, which of them are drawn, and the two axes with a fixed or automatic
// flag per bound. The window draws from it (QCustomPlot), taking the axis ranges from Shown()
// and the points from Xs()/Ys(); the buttons of the page call the operations here.
//
// Threads: the model belongs to the GUI thread and has no locks. The measurement job never
// touches it directly: its points, clears and the bottom axis following reach the window
// through the view (UserView::AddChartPoint, ClearChartLines, SetBottomAxisMaximumAuto), which
// runs them here on the GUI thread; AddChartPoint waits until AddPoint has returned.
//
// Redrawing: every change that alters the picture advances Revision(). The window redraws on a
// timer (about 25 Hz) when the revision differs from the one it last drew, so a burst of points
// costs one redraw, and no point is ever dropped, since the lines keep them all.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "project/UserView.h"

namespace vilo {

// ---- The grids of the measurement page

// Row 0 of Table, columns 0 .. 8, as start-up writes them ("  №" has two blanks).
inline constexpr std::array<std::string_view, 9> kTableHeaders = {
    "COM-порт", "  №", "W код", "U код", "T, °C", "Rh, %", "Td, °C", "a, г/м^3", "d, млн^-1"};
// Row 0 of table1, columns 0 and 1.
inline constexpr std::array<std::string_view, 2> kTable1Headers = {"Код АЦП", "Р, КПа"};
// Row 1, column 0 of Table from start-up until the page is first entered.
inline constexpr std::string_view kStartupPortCell = "COM-1";
// Row 1 of Table: the device's port and its serial number, written on entering the page.
inline constexpr int kPortColumn = 0;
inline constexpr int kSerialColumn = 1;

// What the measurement job reads or computes in one cycle, in the order of the grids.
enum class Reading { W, U, T, Rh, Td, a, d, AdcCode, P };

// A cell of row 1.
struct CellRef {
    Grid grid;
    int column;
    bool operator==(const CellRef &) const = default;
};

// Where a reading is shown: W .. d in Table columns 2 .. 8, the ADC code and P in table1.
constexpr CellRef CellOf(Reading reading) {
    switch (reading) {
    case Reading::AdcCode: return {Grid::Table1, 0};
    case Reading::P: return {Grid::Table1, 1};
    default: return {Grid::Table, static_cast<int>(reading) + 2};
    }
}

// The chart quantity number of a reading (1 W code .. 7 d), 0 for the two that are not drawn.
constexpr int ChartQuantityOf(Reading reading) {
    return reading == Reading::AdcCode || reading == Reading::P ? 0 : static_cast<int>(reading) + 1;
}

// ---- The chart

inline constexpr int kChartQuantities = 7;  // quantity numbers 1 .. 7

// The items of D_1; item i selects the line of quantity i + 1 ("Точка росы " ends in a blank).
inline constexpr std::array<std::string_view, kChartQuantities> kQuantityItems = {
    "Код температуры W", "Код влажности U", "Температура T", "Влажность Rh",
    "Точка росы ",       "Абс. влажность",  "Влагосодержание"};
inline constexpr int kStartupD1Index = 2;  // "Температура T"
// The object names of the lines, quantity 1 .. 7 of device 1.
inline constexpr std::array<std::string_view, kChartQuantities> kSeriesNames = {
    "Series11", "Series12", "Series13", "Series14", "Series15", "Series16", "Series17"};

// What the first point (x, y) of an empty line adds on top: a second point (x, y + this), so
// that a lone value is drawn as a short vertical segment.
inline constexpr double kFirstPointRise = 0.00001;

// The bottom axis maximum goes back to automatic for a new X within these, bounds included.
inline constexpr double kFollowFrom = 1.9;
inline constexpr double kFollowTo = 2.1;

// The following rule of the chart step: true when a new X of W, U, T or Rh sets the bottom
// axis maximum back to automatic, that is when x lies within [kFollowFrom, kFollowTo] or
// followUpdates ("Следить за обновлением") is checked. The job applies it on its thread and
// has the window call ChartModel::SetBottomMaximumAuto.
constexpr bool BottomMaximumFollows(double x, bool followUpdates) {
    return followUpdates || (x >= kFollowFrom && x <= kFollowTo);
}

// The shift and stretch buttons move or resize the range shown by this fraction of its span.
inline constexpr double kNavigationDivisor = 40;

enum class Axis { Left, Bottom };  // Y and X

// The buttons of "Смещение" and "Растяжение/Сжатие", by their names on the form.
enum class MoveButton { LeftMoveBtn, DownMoveBtn, UpMoveBtn, RightMoveBtn };
enum class StretchButton { LeftScrathBtn, DownScrathBtn, UpScrathBtn, RightScrathBtn };

struct AxisRange {
    double min;
    double max;
    bool operator==(const AxisRange &) const = default;
};

// The stored state of an axis. A fixed bound is its value; an automatic one is computed from
// the points whenever it is read (ChartModel::Shown), and its stored value means nothing.
struct AxisBounds {
    double min = 0;
    double max = 1;
    bool autoMin = true;
    bool autoMax = true;
};

class ChartModel {
public:
    // As the window is first shown: no points, only quantity 3 ("Температура T") visible,
    // the bottom axis fixed to 0 .. 2, the left axis automatic.
    ChartModel();

    // ---- Lines
    // Adds a point to the line of quantity 1 .. 7 (AddPoint of the chart): an empty line, visible
    // or not, receives (x, y) and (x, y + kFirstPointRise), any other line (x, y). A pending
    // clear (RequestClear) empties every line first. The points stay in ascending order of X:
    // a point with an X below the line's last is inserted after those with X up to its own
    // (never the case within one run). A quantity outside 1 .. 7 or an X that is not finite
    // changes nothing: false. A Y that is not a number is kept (the chart leaves a gap).
    bool AddPoint(int quantity, double x, double y);
    // Every point of every line is removed (and a pending clear is dropped); visibility and the
    // axes stay as they are. The lines keep their storage for the next run.
    void Clear();
    // The chart empties when the next point arrives, before that point is added. The
    // measurement job keeps its own ClearRequested flag and has the window call Clear() before
    // handing over its point, so with the job this is not needed; it serves a caller that
    // has no such flag. Clear() at once is for "Очистить график" while nothing runs.
    void RequestClear();
    bool ClearPending() const { return clearPending_; }

    // A line's points for drawing, x ascending; empty for a quantity outside 1 .. 7. Valid
    // until the next change of that line.
    std::span<const double> Xs(int quantity) const;
    std::span<const double> Ys(int quantity) const;
    std::size_t PointCount(int quantity) const;
    // Advances when a line's earlier points change (a clear, a point inserted before the
    // last). While it stays the same the line has only grown at its end, and a window may
    // append the points from its last count on instead of loading the line again.
    std::uint64_t LineGeneration(int quantity) const;

    // ---- Which lines are drawn. A hidden line still receives its points.
    bool Visible(int quantity) const;
    void SetVisible(int quantity, bool visible);
    // D_1Change: the line of quantity d1Index + 1 visible, every other hidden. An index
    // outside 0 .. 6 (no item selected) hides them all.
    void SelectVisible(int d1Index);

    // ---- Axes
    const AxisBounds &Bounds(Axis axis) const { return axis == Axis::Left ? left_ : bottom_; }
    // Both bounds fixed to a range, as the window's mouse zoom sets it (min and max are
    // swapped when given the other way round).
    void SetRange(Axis axis, double min, double max);
    // The range as currently shown. An automatic bound is the least or greatest value (Y for
    // the left axis, X for the bottom one) among the finite points of the visible lines, of all
    // lines when none is visible; no margin is added. Then:
    //  - with no finite point to go by, the values are 0 and 1;
    //  - when both bounds are automatic and the values coincide (a line's first X), v - 0.5 ..
    //    v + 0.5 is shown;
    //  - an automatic bound that would not lie beyond a fixed one is put 1 from it (a
    //    maximum fixed at 5 by a shift, points only below 5: 5 .. 6 is shown).
    // Cost: constant; each line keeps the extent of its points as they arrive.
    AxisRange Shown(Axis axis) const;
    // RefreshBtn: all four bounds automatic.
    void ResetChartBounds();
    // The bottom axis maximum automatic; its minimum stays as it is.
    void SetBottomMaximumAuto();
    // The job's chart step, for each new X of W, U, T and Rh: SetBottomMaximumAuto when
    // BottomMaximumFollows(x, followUpdates).
    void FollowNewX(double x, bool followUpdates);
    // Shift: step = span / 40 of the range shown at the click; LeftMoveBtn adds it to both
    // bottom bounds, RightMoveBtn subtracts it, DownMoveBtn adds it to both left bounds,
    // UpMoveBtn subtracts it. Both bounds of that axis are fixed afterwards; there is no limit.
    void Move(MoveButton button);
    // Stretch and compress: both bounds of the axis are fixed at the range shown, then
    // min ± span / 40, then max ∓ (max - new min) / 40. LeftScrathBtn narrows the left axis,
    // UpScrathBtn widens it, DownScrathBtn narrows the bottom axis, RightScrathBtn widens it.
    // A narrowing leaves the span at s · (39/40)² and the minimum below the maximum.
    void Stretch(StretchButton button);

    // ---- Change tracking: advances with every change of what the chart shows.
    std::uint64_t Revision() const { return revision_; }

private:
    struct Line {
        std::vector<double> x, y;
        // Extent of the finite Y values, meaningful while finiteY > 0; X needs none, being
        // in order and finite.
        double yMin = 0, yMax = 0;
        std::size_t finiteY = 0;
        std::uint64_t generation = 0;
        bool visible = false;
    };

    Line *LineOf(int quantity);
    const Line *LineOf(int quantity) const;
    static void Append(Line &line, double x, double y);
    void ClearLines();
    AxisBounds &BoundsOf(Axis axis) { return axis == Axis::Left ? left_ : bottom_; }
    // Fixes both bounds of an axis at the range it shows now.
    AxisBounds &FixAtShown(Axis axis);

    std::array<Line, kChartQuantities> lines_;
    AxisBounds left_, bottom_;
    std::uint64_t revision_ = 0;
    bool clearPending_ = false;
};

}  // namespace vilo
