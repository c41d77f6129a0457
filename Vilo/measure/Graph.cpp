#include "measure/Graph.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vilo {

ChartModel::ChartModel() {
    lines_[kStartupD1Index].visible = true;
    bottom_ = {.min = 0, .max = 2, .autoMin = false, .autoMax = false};
}

ChartModel::Line *ChartModel::LineOf(int quantity) {
    return quantity >= 1 && quantity <= kChartQuantities ? &lines_[quantity - 1] : nullptr;
}

const ChartModel::Line *ChartModel::LineOf(int quantity) const {
    return quantity >= 1 && quantity <= kChartQuantities ? &lines_[quantity - 1] : nullptr;
}

void ChartModel::Append(Line &line, double x, double y) {
    if (line.x.empty() || x >= line.x.back()) {
        line.x.push_back(x);
        line.y.push_back(y);
    } else {
        const auto at = std::upper_bound(line.x.begin(), line.x.end(), x) - line.x.begin();
        line.x.insert(line.x.begin() + at, x);
        line.y.insert(line.y.begin() + at, y);
        ++line.generation;
    }
    if (std::isfinite(y)) {
        if (line.finiteY++ == 0) {
            line.yMin = line.yMax = y;
        } else {
            line.yMin = std::min(line.yMin, y);
            line.yMax = std::max(line.yMax, y);
        }
    }
}

bool ChartModel::AddPoint(int quantity, double x, double y) {
    Line *line = LineOf(quantity);
    if (line == nullptr || !std::isfinite(x)) return false;
    if (clearPending_) ClearLines();
    const bool first = line->x.empty();
    Append(*line, x, y);
    if (first) Append(*line, x, y + kFirstPointRise);
    ++revision_;
    return true;
}

void ChartModel::ClearLines() {
    for (Line &line : lines_) {
        // The capacity stays: the next run fills the lines again.
        line.x.clear();
        line.y.clear();
        line.finiteY = 0;
        ++line.generation;
    }
    clearPending_ = false;
}

void ChartModel::Clear() {
    ClearLines();
    ++revision_;
}

void ChartModel::RequestClear() { clearPending_ = true; }

std::span<const double> ChartModel::Xs(int quantity) const {
    const Line *line = LineOf(quantity);
    return line ? std::span<const double>(line->x) : std::span<const double>();
}

std::span<const double> ChartModel::Ys(int quantity) const {
    const Line *line = LineOf(quantity);
    return line ? std::span<const double>(line->y) : std::span<const double>();
}

std::size_t ChartModel::PointCount(int quantity) const {
    const Line *line = LineOf(quantity);
    return line ? line->x.size() : 0;
}

std::uint64_t ChartModel::LineGeneration(int quantity) const {
    const Line *line = LineOf(quantity);
    return line ? line->generation : 0;
}

bool ChartModel::Visible(int quantity) const {
    const Line *line = LineOf(quantity);
    return line && line->visible;
}

void ChartModel::SetVisible(int quantity, bool visible) {
    Line *line = LineOf(quantity);
    if (line == nullptr || line->visible == visible) return;
    line->visible = visible;
    ++revision_;
}

void ChartModel::SelectVisible(int d1Index) {
    for (int i = 0; i < kChartQuantities; ++i) SetVisible(i + 1, i == d1Index);
}

void ChartModel::SetRange(Axis axis, double min, double max) {
    if (max < min) std::swap(min, max);
    BoundsOf(axis) = {.min = min, .max = max, .autoMin = false, .autoMax = false};
    ++revision_;
}

AxisRange ChartModel::Shown(Axis axis) const {
    const AxisBounds &bounds = Bounds(axis);
    if (!bounds.autoMin && !bounds.autoMax) return {bounds.min, bounds.max};

    const bool anyVisible = std::any_of(lines_.begin(), lines_.end(), [](const Line &l) { return l.visible; });
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const Line &line : lines_) {
        if (anyVisible && !line.visible) continue;
        if (axis == Axis::Bottom) {
            if (line.x.empty()) continue;
            lo = std::min(lo, line.x.front());
            hi = std::max(hi, line.x.back());
        } else {
            if (line.finiteY == 0) continue;
            lo = std::min(lo, line.yMin);
            hi = std::max(hi, line.yMax);
        }
    }
    if (lo > hi) {  // nothing to go by
        lo = 0;
        hi = 1;
    }

    AxisRange shown{bounds.autoMin ? lo : bounds.min, bounds.autoMax ? hi : bounds.max};
    if (bounds.autoMin && bounds.autoMax) {
        if (shown.min == shown.max) {
            shown.min -= 0.5;
            shown.max += 0.5;
        }
    } else if (bounds.autoMin) {
        if (!(shown.min < shown.max)) shown.min = shown.max - 1;
    } else if (!(shown.max > shown.min)) {
        shown.max = shown.min + 1;
    }
    return shown;
}

void ChartModel::ResetChartBounds() {
    left_.autoMin = left_.autoMax = true;
    bottom_.autoMin = bottom_.autoMax = true;
    ++revision_;
}

void ChartModel::SetBottomMaximumAuto() {
    if (bottom_.autoMax) return;
    bottom_.autoMax = true;
    ++revision_;
}

void ChartModel::FollowNewX(double x, bool followUpdates) {
    if (BottomMaximumFollows(x, followUpdates)) SetBottomMaximumAuto();
}

AxisBounds &ChartModel::FixAtShown(Axis axis) {
    const AxisRange shown = Shown(axis);
    AxisBounds &bounds = BoundsOf(axis);
    bounds = {.min = shown.min, .max = shown.max, .autoMin = false, .autoMax = false};
    return bounds;
}

void ChartModel::Move(MoveButton button) {
    const bool bottom = button == MoveButton::LeftMoveBtn || button == MoveButton::RightMoveBtn;
    AxisBounds &bounds = FixAtShown(bottom ? Axis::Bottom : Axis::Left);
    const double step = (bounds.max - bounds.min) / kNavigationDivisor;
    const bool up = button == MoveButton::LeftMoveBtn || button == MoveButton::DownMoveBtn;
    const double offset = up ? step : -step;
    bounds.min += offset;
    bounds.max += offset;
    ++revision_;
}

void ChartModel::Stretch(StretchButton button) {
    const bool left = button == StretchButton::LeftScrathBtn || button == StretchButton::UpScrathBtn;
    const bool narrow = button == StretchButton::LeftScrathBtn || button == StretchButton::DownScrathBtn;
    AxisBounds &bounds = FixAtShown(left ? Axis::Left : Axis::Bottom);
    const double sign = narrow ? 1 : -1;
    bounds.min += sign * (bounds.max - bounds.min) / kNavigationDivisor;
    bounds.max -= sign * (bounds.max - bounds.min) / kNavigationDivisor;
    ++revision_;
}

}  // namespace vilo
