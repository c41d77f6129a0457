// The measurement job against a simulated transmitter on a pseudo-terminal: what it sends,
// what the table, the chart and the error log receive, and how a run starts and ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "comm/devlink_layer.h"
#include "measure/Humidity.h"
#include "measure/Thread.h"
#include "project/Files.h"
#include "project/NumberText.h"
#include "project/Program.h"
#include "project/RecordingView.h"
#include "vilosim.h"

using namespace std::chrono_literals;
using vilo::Grid;

namespace {

// Command 1 parameter numbers of the shipped map.
constexpr int kW = 3, kU = 2, kT = 1, kRh = 0, kAdc = 4, kP = 5;

// A chart point every cycle (no StepDrow item), X in minutes.
constexpr vilo::MeasurementControls kEveryCycle{.stepDrow = -1};

struct Point {
    int quantity;
    double x, y;
};

// A recorder that also lets a test act when a cell is written, and notes whether the port
// is free by the time the running state goes.
class JobView : public vilo::RecordingView {
public:
    std::function<void(Grid, int)> onCell;  // set before the run
    std::atomic<std::int32_t> openWhenIdle{1};

    void SetCell(Grid grid, int column, const std::string &text) override {
        RecordingView::SetCell(grid, column, text);
        if (onCell) onCell(grid, column);
    }
    void ShowMeasurementRunning(bool running) override {
        if (!running) {
            vilo::PortCycle port(9600, 100);
            openWhenIdle = port.Open("COM1");
        }
        RecordingView::ShowMeasurementRunning(running);
    }
};

class JobLine : public testing::Test {
protected:
    void SetUp() override {
        StartLine();
        program_ = std::make_unique<vilo::Program>(view, VILO_SOURCE_ROOT);
        ASSERT_TRUE(vilo::LoadMemoryMap(program_->programDir, vilo::kMemoryMapFile, program_->map));
        Change([](vilo::TDevice &d) {
            d.Present = true;
            d.ParentPort = "COM1";
            d.Address = "1";
            d.Baudrate = 9600;
            d.PH = 101.325;
        });
        measurement_ = std::make_unique<vilo::Measurement>(*program_);
    }

    void StartLine(vilosim::DeviceConfig device = {.address = 1}) {
        vilosim::Config config;
        config.lines.push_back({.name = "COM1", .devices = {std::move(device)}});
        sim_ = std::make_unique<vilosim::Simulator>(std::move(config));
        sim_->start();
        setenv("DEVLINK_PORT_DIR", sim_->port_dir().c_str(), 1);
    }

    void TearDown() override {
        measurement_.reset();
        program_.reset();
        sim_.reset();
        unsetenv("DEVLINK_PORT_DIR");
    }

    // Starts the job and lets it make `passes` passes (0: until it stops by itself); `between`
    // runs on the job's thread after each pass, with the pass's number from 1. Returns once the
    // job has ended.
    void Run(int passes, vilo::MeasurementControls controls = kEveryCycle, std::function<void(int)> between = {}) {
        measurement().OnPass([this, passes, between](const vilo::PassReport &report) {
            reports.push_back(report);
            marks_.push_back(view.Events().size());
            const int n = static_cast<int>(reports.size());
            if (between) between(n);
            if (n == passes) measurement().RequestStop();
        });
        ASSERT_TRUE(measurement().Start(controls));
        measurement().Wait();
    }

    // The view's events of one pass (the first with those of the start).
    std::vector<std::string> PassEvents(int pass) const {
        const auto events = view.Events();
        const std::size_t from = pass == 1 ? 0 : marks_.at(static_cast<std::size_t>(pass) - 2);
        return {events.begin() + static_cast<std::ptrdiff_t>(from),
                events.begin() + static_cast<std::ptrdiff_t>(marks_.at(static_cast<std::size_t>(pass) - 1))};
    }
    std::vector<Point> PassPoints(int pass) const {
        std::vector<Point> points;
        for (const std::string &event : PassEvents(pass)) {
            if (event.rfind("Point: ", 0) != 0) continue;
            std::istringstream fields(event.substr(7));
            Point p{};
            fields >> p.quantity >> p.x >> p.y;
            points.push_back(p);
        }
        return points;
    }
    static bool Writes(const std::vector<std::string> &events, const std::string &cellPrefix) {
        for (const auto &event : events)
            if (event.rfind(cellPrefix, 0) == 0) return true;
        return false;
    }

    std::vector<std::string> Requests() const {
        std::vector<std::string> requests;
        for (const vilosim::LogEntry &entry : sim_->log(0)) requests.push_back(entry.request);
        return requests;
    }

    void Read(int parameter, std::optional<std::string> payload) { sim_->set_reading(0, 0, parameter, std::move(payload)); }
    void Change(const std::function<void(vilo::TDevice &)> &change) { program_->device.Update(change); }
    vilo::Program &program() { return *program_; }
    vilo::Measurement &measurement() { return *measurement_; }
    vilosim::Simulator &sim() { return *sim_; }

    // The readings of a transmitter at 20 °C and 50 %.
    void FixReadings() {
        Read(kW, "1234");
        Read(kU, "2345");
        Read(kT, "20");
        Read(kRh, "50");
        Read(kAdc, "777");
        Read(kP, "99.5");
    }

    JobView view;
    std::vector<vilo::PassReport> reports;  // written by the job's thread, read after Run

private:
    std::vector<std::size_t> marks_;
    std::unique_ptr<vilosim::Simulator> sim_;
    std::unique_ptr<vilo::Program> program_;
    std::unique_ptr<vilo::Measurement> measurement_;
};

double Number(const std::string &text) {
    double value = 0;
    EXPECT_TRUE(vilo::ParseReal(text, value)) << text;
    return value;
}

std::string Fixed(double value) { return vilo::FormatFixed(value, 4, 10); }

// What ComputeDerived delivers, as value texts (empty when not delivered).
std::array<std::string, 3> DerivedTexts(double T, double Rh, double P) {
    std::array<std::string, 3> texts;
    vilo::ComputeDerived(T, Rh, P, [&](vilo::Derived d, double v) { texts[static_cast<std::size_t>(d)] = Fixed(v); });
    return texts;
}

TEST_F(JobLine, ACycleSendsSixRequestsAndShowsEveryValue) {
    FixReadings();
    Run(1);

    EXPECT_EQ(Requests(), (std::vector<std::string>{vilosim::request("1;1;3;"), vilosim::request("1;1;2;"),
                                                    vilosim::request("1;1;1;"), vilosim::request("1;1;0;"),
                                                    vilosim::request("1;1;4;"), vilosim::request("1;1;5;")}));
    EXPECT_EQ(view.Cell(Grid::Table, 2), " 1234.0000");
    EXPECT_EQ(view.Cell(Grid::Table, 3), " 2345.0000");
    EXPECT_EQ(view.Cell(Grid::Table, 4), "   20.0000");
    EXPECT_EQ(view.Cell(Grid::Table, 5), "   50.0000");
    // Keyboard pressure: the derived values take PH (101.325), not the measured 99.5.
    EXPECT_EQ(view.Cell(Grid::Table, 6), "    9.2994");
    EXPECT_EQ(view.Cell(Grid::Table, 7), "    8.6436");
    EXPECT_EQ(view.Cell(Grid::Table, 8).rfind("11674.86", 0), 0u) << view.Cell(Grid::Table, 8);
    EXPECT_EQ(view.Cell(Grid::Table1, 0), "  777.0000");
    EXPECT_EQ(view.Cell(Grid::Table1, 1), "   99.5000");

    const auto points = PassPoints(1);
    ASSERT_EQ(points.size(), 7u);
    const double ys[] = {1234, 2345, 20, 50, 9.2994, 8.6436, Number(view.Cell(Grid::Table, 8))};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(points[i].quantity, i + 1);
        EXPECT_DOUBLE_EQ(points[i].y, ys[i]) << "quantity " << i + 1;  // derived: the rounded texts
        EXPECT_GE(points[i].x, 0);
    }
    for (int i = 4; i < 7; ++i) EXPECT_EQ(points[i].x, points[3].x);  // all at the X of Rh

    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].complete);
    EXPECT_EQ(reports[0].cells[static_cast<std::size_t>(vilo::Reading::P)], "   99.5000");
    EXPECT_TRUE(view.ErrorLog().empty());
    EXPECT_EQ(measurement().LastRunEnd(), vilo::RunEnd::Stopped);
    EXPECT_FALSE(program().measuring);
    EXPECT_TRUE(program().project.Changed());
    EXPECT_EQ(view.Events().back(), "Measurement running: 0");
    EXPECT_EQ(view.openWhenIdle, EX_OK);  // the port was closed before the button came up
}

TEST_F(JobLine, StartShowsTheRunAndOneJobAtATimePollsOnlyAPresentDevice) {
    Change([](vilo::TDevice &d) { d.Present = false; });
    measurement().OnPass([this](const vilo::PassReport &) { measurement().RequestStop(); });
    ASSERT_TRUE(measurement().Start({.startFromZero = true}));
    EXPECT_FALSE(measurement().Start({})) << "a second job while one runs";
    EXPECT_TRUE(measurement().Running());
    EXPECT_EQ(view.Events(), (std::vector<std::string>{"Project: Проект изменён", "Chart cleared", "Point: 1 0 0",
                                                       "Point: 2 0 0", "Point: 3 0 0", "Point: 4 0 0",
                                                       "Measurement running: 1", "ErrorLog cleared"}));
    EXPECT_TRUE(Requests().empty());

    Change([](vilo::TDevice &d) { d.Present = true; });  // the job takes up polling
    measurement().Wait();
    EXPECT_EQ(Requests().size(), 6u);
    EXPECT_EQ(view.Events().back(), "Measurement running: 0");
}

TEST_F(JobLine, DollarZeroIsSkippedAndATrailingBlankIsShownButNotPlotted) {
    FixReadings();
    Read(kT, "$0");
    Read(kW, "1234 ");
    Run(1);

    const auto events = PassEvents(1);
    EXPECT_FALSE(Writes(events, "Table[4]")) << "T's cell stays";
    EXPECT_EQ(view.Cell(Grid::Table, 2), " 1234.0000");
    for (const Point &p : PassPoints(1)) EXPECT_NE(p.quantity, 3) << "no T point";
    for (const Point &p : PassPoints(1)) EXPECT_NE(p.quantity, 1) << "no W point";
    // The pass goes on, and the derived values take T = 0, the T before any.
    EXPECT_EQ(view.Cell(Grid::Table1, 1), "   99.5000");
    EXPECT_EQ(view.Cell(Grid::Table, 6), DerivedTexts(0, 50, 101.325)[0]);
    EXPECT_TRUE(view.ErrorLog().empty());
    EXPECT_TRUE(reports.at(0).complete);
}

struct FailedPass {
    const char *name;
    std::function<void(vilosim::Simulator &)> arrange;
    std::int32_t status;
    std::string line;
    std::size_t requests;  // the pass ends with the request that failed
};

class FailedPassTest : public JobLine, public testing::WithParamInterface<FailedPass> {};

TEST_P(FailedPassTest, EndsThePassWithOneLogLine) {
    FixReadings();
    GetParam().arrange(sim());
    Run(1);

    EXPECT_EQ(view.ErrorLog(), std::vector<std::string>{GetParam().line});
    EXPECT_EQ(Requests().size(), GetParam().requests);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].status, GetParam().status);
    EXPECT_FALSE(reports[0].complete);
    // The failed quantity and those after it keep their cells.
    const std::size_t failed = GetParam().requests;  // 1 .. 6: W .. P
    const char *cells[] = {"Table[2]", "Table[3]", "Table[4]", "Table[5]", "table1[0]", "table1[1]"};
    for (std::size_t i = failed - 1; i < 6; ++i) EXPECT_FALSE(Writes(view.Events(), cells[i])) << cells[i];
    EXPECT_FALSE(program().measuring);
}

INSTANTIATE_TEST_SUITE_P(
    Job, FailedPassTest,
    testing::Values(
        FailedPass{"DeviceReport", [](vilosim::Simulator &s) { s.set_reading(0, 0, kW, "$3"); }, -22,
                   "Ошибка!(-22) Порт COM1 Прибор сообщает об ошибке", 1},
        FailedPass{"OtherAddress",
                   [](vilosim::Simulator &s) {
                       s.add_fault(0, 0, {.kind = vilosim::FaultKind::WrongAddress, .parameter = kRh});
                   },
                   -20, "Ошибка!(-20) Порт COM1 Неверный адрес прибора в ответе", 4},
        FailedPass{"NotANumber", [](vilosim::Simulator &s) { s.set_reading(0, 0, kP, "abc"); }, -21,
                   "Ошибка!(-21) Порт COM1 Ошибочные полезные данные от прибора", 6},
        FailedPass{"Checksum",
                   [](vilosim::Simulator &s) {
                       s.add_fault(0, 0, {.kind = vilosim::FaultKind::BadChecksum, .parameter = kU});
                   },
                   -19, "Ошибка!(-19) Порт COM1 Ошибка контрольной суммы прибора", 2},
        FailedPass{"NoAnswer",
                   [](vilosim::Simulator &s) { s.add_fault(0, 0, {.kind = vilosim::FaultKind::NoReply, .parameter = kT}); },
                   -14, "Ошибка!(-14) Порт COM1 Прибор не подключён к порту (ошибка приёма данных из порта) COM1", 3}),
    [](const testing::TestParamInfo<FailedPass> &info) { return std::string(info.param.name); });

TEST_F(JobLine, RhOfZeroOrBelowLeavesTheDerivedTextsAndThePlotTakesThemAgain) {
    FixReadings();
    Read(kRh, "0");
    Run(4, kEveryCycle, [this](int pass) {
        if (pass == 1) Read(kRh, "50");
        if (pass == 2) Read(kRh, "0");
        if (pass == 3) Read(kRh, "-1.5");
    });
    const auto derived = DerivedTexts(20, 50, 101.325);
    const char *derivedCells[] = {"Table[6]", "Table[7]", "Table[8]"};

    // First cycle: nothing to compute and no texts yet, so the chart step ends after Rh.
    for (const char *cell : derivedCells) EXPECT_FALSE(Writes(PassEvents(1), cell)) << cell;
    ASSERT_EQ(PassPoints(1).size(), 4u);
    EXPECT_EQ(PassPoints(1)[3].quantity, 4);
    EXPECT_EQ(PassPoints(1)[3].y, 0);

    for (int pass : {3, 4}) {
        for (const char *cell : derivedCells) EXPECT_FALSE(Writes(PassEvents(pass), cell)) << pass << " " << cell;
        const auto points = PassPoints(pass);
        ASSERT_EQ(points.size(), 7u) << pass;
        EXPECT_EQ(points[3].y, pass == 3 ? 0 : -1.5);
        for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(points[4 + i].y, Number(derived[i])) << pass;
    }
    EXPECT_EQ(view.Cell(Grid::Table, 5), "   -1.5000");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(view.Cell(Grid::Table, 6 + i), derived[i]);
    EXPECT_TRUE(view.ErrorLog().empty());
}

TEST_F(JobLine, MeasuredPressureIsThatOfThePreviousCycle) {
    FixReadings();
    Read(kP, "100");
    program().configTab.PressureSourceSelected(vilo::kMeasuredItem);
    std::vector<std::string> dTexts;
    Run(2, kEveryCycle, [&](int) { dTexts.push_back(view.Cell(Grid::Table, 8)); });

    ASSERT_EQ(dTexts.size(), 2u);
    EXPECT_EQ(dTexts[0], "-1000000.0000");  // P = 0 in the first cycle
    EXPECT_EQ(dTexts[1], DerivedTexts(20, 50, 100)[2]);
}

TEST_F(JobLine, TheThirtyFirstLoggedErrorStopsTheRun) {
    FixReadings();
    Read(kP, "$3");  // odd passes fail at their last quantity, even ones succeed
    Run(0, kEveryCycle, [this](int pass) {
        if (pass % 2 == 1) Read(kP, std::nullopt);
        else Read(kP, "$3");
    });

    const auto log = view.ErrorLog();
    ASSERT_EQ(log.size(), 32u);
    for (std::size_t i = 0; i < 31; ++i) EXPECT_EQ(log[i], "Ошибка!(-22) Порт COM1 Прибор сообщает об ошибке") << i;
    EXPECT_EQ(log.back(), "Слишком много ошибок. Обмен остановлен!!!");
    EXPECT_EQ(reports.size(), 61u);
    EXPECT_EQ(Requests().size(), 61u * 6);  // nothing after the 31st failed pass
    EXPECT_EQ(measurement().LastRunEnd(), vilo::RunEnd::TooManyErrors);
    EXPECT_EQ(view.Events().back(), "Measurement running: 0");
    EXPECT_FALSE(program().measuring);
}

TEST_F(JobLine, AStopWhileARequestWaitsLetsItFinishAndSendsNothingMore) {
    FixReadings();
    sim().add_fault(0, 0, {.kind = vilosim::FaultKind::NoReply, .parameter = kT});
    measurement().OnPass([this](const vilo::PassReport &report) { reports.push_back(report); });
    ASSERT_TRUE(measurement().Start(kEveryCycle));
    ASSERT_TRUE(sim().wait_for_log(0, 3, 2s));  // T's request is out; its answer never comes
    measurement().RequestStop();
    EXPECT_TRUE(measurement().Running());
    measurement().Wait();

    EXPECT_EQ(Requests().size(), 3u);
    EXPECT_EQ(view.ErrorLog(), std::vector<std::string>{
                                   "Ошибка!(-14) Порт COM1 Прибор не подключён к порту (ошибка приёма данных из порта) COM1"});
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].status, -14);
    EXPECT_EQ(view.openWhenIdle, EX_OK);
    EXPECT_EQ(view.Events().back(), "Measurement running: 0");
}

TEST_F(JobLine, AStopDuringAnAnswerCompletesItsQuantity) {
    FixReadings();
    view.onCell = [this](Grid grid, int column) {
        if (grid == Grid::Table && column == 5) measurement().RequestStop();  // Rh just arrived
    };
    measurement().OnPass([this](const vilo::PassReport &report) { reports.push_back(report); });
    ASSERT_TRUE(measurement().Start(kEveryCycle));
    measurement().Wait();

    EXPECT_EQ(Requests().size(), 4u);
    EXPECT_EQ(view.Cell(Grid::Table, 8).rfind("11674.86", 0), 0u) << "the derived values of Rh";
    EXPECT_EQ(view.ChartPoints().size(), 7u) << "and its chart step";
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].status, EX_OK);
    EXPECT_FALSE(reports[0].complete);
    EXPECT_TRUE(view.ErrorLog().empty());
}

struct PortTrouble {
    const char *name;
    std::string port;
    std::int32_t baud;
    bool holdPort;
    std::int32_t code;  // of the step that failed
};

class PortTroubleTest : public JobLine, public testing::WithParamInterface<PortTrouble> {};

TEST_P(PortTroubleTest, EndsTheRunAtOnceWithoutALogLine) {
    Change([](vilo::TDevice &d) {
        d.ParentPort = GetParam().port;
        d.Baudrate = GetParam().baud;
    });
    std::optional<vilo::PortCycle> held;
    if (GetParam().holdPort) {
        held.emplace(9600, 100);
        ASSERT_EQ(held->Open("COM1"), EX_OK);
    }
    measurement().OnPass([this](const vilo::PassReport &report) { reports.push_back(report); });
    ASSERT_TRUE(measurement().Start(kEveryCycle));
    measurement().Wait();  // no stop request: the run ends by itself

    EXPECT_EQ(measurement().LastRunEnd(), vilo::RunEnd::PortFailed);
    EXPECT_EQ(measurement().PortFailureCode(), GetParam().code);
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(view.ErrorLog().empty());
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(view.Events().back(), "Measurement running: 0");
    EXPECT_FALSE(program().measuring);
}

INSTANTIATE_TEST_SUITE_P(Job, PortTroubleTest,
                         testing::Values(PortTrouble{"Missing", "COM7", 9600, false, EX_ERR_PORT_MISSING},
                                         PortTrouble{"Busy", "COM1", 9600, true, EX_ERR_PORT_BUSY},
                                         PortTrouble{"BaudRefused", "COM1", 12345, false, EX_ERR_BAD_ARGUMENT}),
                         [](const testing::TestParamInfo<PortTrouble> &info) { return std::string(info.param.name); });

TEST(JobControls, TimeScalesAndSamplingPeriods) {
    EXPECT_EQ(vilo::TimeScaleOf(vilo::kStepSelectMinutes), 1.6666666e-5);
    EXPECT_EQ(vilo::TimeScaleOf(vilo::kStepSelectHours), 2.77e-7);
    const std::pair<int, std::chrono::milliseconds> periods[] = {
        {-1, 0ms}, {0, 1ms}, {1, 1s}, {2, 10s}, {3, 1min}, {4, 10min}, {5, 1h}, {6, 0ms}};
    for (const auto &[item, period] : periods) EXPECT_EQ(vilo::SamplingPeriodOf(item), period) << item;
    EXPECT_EQ(vilo::MeasurementControls{}.stepDrow, 1);  // the hidden combo box keeps "1 с"
}

TEST(JobControls, LenientConversionReportsWhereItStopped) {
    const struct {
        const char *text;
        std::size_t position;
        double value;
    } cases[] = {
        {"   23.4567", 0, 23.4567}, {"-1000000.0000", 0, -1000000}, {"+1.5e3", 0, 1500}, {"7", 0, 7},
        {"12.5 ", 5, 0},           {"", 1, 0},                      {"abc", 1, 0},      {"1,5", 2, 0},
        {"1e", 3, 0},              {"-", 2, 0},
    };
    for (const auto &c : cases) {
        double value = -7;
        EXPECT_EQ(vilo::LenientReal(c.text, value), c.position) << '"' << c.text << '"';
        EXPECT_EQ(value, c.position == 0 ? c.value : -7) << '"' << c.text << '"';
    }
}

TEST_F(JobLine, ChartPointsComeOncePerSamplingPeriod) {
    FixReadings();
    Run(2, {}, [this](int pass) {
        if (pass != 1) return;
        Change([](vilo::TDevice &d) {  // W's last point a second ago, the others' still to come
            d.LastPlotTime = {vilo::Clock::now() - 1s, vilo::Clock::now() + 1h, vilo::Clock::now() + 1h,
                              vilo::Clock::now() + 1h};
            d.PlotX[0] = 0;
        });
    });
    const auto points = PassPoints(2);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].quantity, 1);
    EXPECT_NEAR(points[0].x, 1000 * 1.6666666e-5, 0.002);
    EXPECT_GE(points[0].x, 1000 * 1.6666666e-5);
}

struct Following {
    const char *name;
    int stepSelect;
    std::chrono::seconds sinceLastPoint;
    bool followUpdates;
    double x;  // of W's next point
    bool automatic;
};

class FollowingTest : public JobLine, public testing::WithParamInterface<Following> {};

TEST_P(FollowingTest, BottomAxisMaximumTurnsAutomatic) {
    FixReadings();
    measurement().SetFollowUpdates(GetParam().followUpdates);
    Run(2, {.stepSelect = GetParam().stepSelect, .stepDrow = -1}, [this](int pass) {
        if (pass == 1)
            Change([](vilo::TDevice &d) {
                d.LastPlotTime[0] = vilo::Clock::now() - GetParam().sinceLastPoint;
                d.PlotX[0] = 0;
            });
    });
    const auto events = PassEvents(2);
    const auto wPoint = std::find_if(events.begin(), events.end(), [](const std::string &e) { return e.rfind("Point: 1 ", 0) == 0; });
    ASSERT_NE(wPoint, events.end());
    EXPECT_EQ(wPoint != events.begin() && *(wPoint - 1) == "BottomAxis: maximum auto", GetParam().automatic);
    EXPECT_EQ(std::count(events.begin(), events.end(), "BottomAxis: maximum auto"),
              GetParam().followUpdates ? 4 : GetParam().automatic ? 1 : 0);  // followed: at every chart step
    EXPECT_NEAR(PassPoints(2)[0].x, GetParam().x, 0.001);
}

INSTANTIATE_TEST_SUITE_P(
    Job, FollowingTest,
    testing::Values(Following{"TwoMinutes", vilo::kStepSelectMinutes, std::chrono::minutes(2), false, 2.0, true},
                    Following{"TwoHoursInHours", vilo::kStepSelectHours, std::chrono::hours(2), false, 1.9944, true},
                    Following{"ThreeMinutes", vilo::kStepSelectMinutes, std::chrono::minutes(3), false, 3.0, false},
                    Following{"ThreeMinutesFollowed", vilo::kStepSelectMinutes, std::chrono::minutes(3), true, 3.0, true},
                    Following{"TwoHoursInMinutes", vilo::kStepSelectMinutes, std::chrono::hours(2), false, 120.0, false}),
    [](const testing::TestParamInfo<Following> &info) { return std::string(info.param.name); });

TEST_F(JobLine, AClearDuringTheRunEmptiesTheChartBeforeTheNextPoint) {
    FixReadings();
    Run(2, kEveryCycle, [this](int pass) { EXPECT_TRUE(measurement().RequestClear()) << pass; });

    const auto events = PassEvents(2);
    const auto firstPoint = std::find_if(events.begin(), events.end(), [](const std::string &e) { return e.rfind("Point: ", 0) == 0; });
    ASSERT_NE(firstPoint, events.end());
    ASSERT_NE(firstPoint, events.begin());
    EXPECT_EQ(*(firstPoint - 1), "Chart cleared");
    EXPECT_EQ(std::count(events.begin(), events.end(), "Chart cleared"), 1);
    // The clear asked for after the last point is carried out as the run ends.
    EXPECT_TRUE(view.ChartPoints().empty());
    // After the end neither request reaches the job.
    EXPECT_FALSE(measurement().RequestClear());
    measurement().RequestStop();
    EXPECT_FALSE(program().measuring);
}

}  // namespace
