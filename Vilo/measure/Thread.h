// The measurement job: while StartStop ("Начать измерение") is down it polls the found
// transmitter without pause on a thread of its own, six readings a cycle with command 1, writes
// them and the derived humidity values into the live table, hands chart points to the chart at
// the chosen sampling period and logs one line per failed cycle; after the 31st logged error
// it stops by itself.
//
// Threads: Measurement belongs to the window (or vilo-cli) and lives at least as long as any
// job it started; its destructor asks a running job to stop and waits for it. A window whose
// AddChartPoint waits for its GUI thread keeps that thread serving the view until Running()
// is false before it destroys the Measurement, or the job could wait for it forever. The job's
// thread talks to the user only through the view (UserView), reads the device record through
// its lock and the page's controls through atomics, and sets Program::measuring false as its
// last act, so the operations that refuse to run during a measurement see it end only after
// the port has been closed and the handle freed.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "comm/Devices.h"
#include "comm/devlink_layer.h"
#include "measure/Graph.h"
#include "project/Program.h"

namespace vilo {

// ---- The controls of the measurement page that the job follows

// StepSelect ("Время по X"): X units per millisecond. These literal values are the ones the
// chart has always used, not 1/60000 and 1/3600000.
inline constexpr int kStepSelectMinutes = 0;  // "мин."
inline constexpr int kStepSelectHours = 1;    // "час."
inline constexpr double kTimeScaleMinutes = 1.6666666e-5;
inline constexpr double kTimeScaleHours = 2.77e-7;
// The time scale of a StepSelect item; any item but "час." counts as "мин.".
double TimeScaleOf(int stepSelectItem);

// StepDrow ("Частота выбора отсчётов из прибора"): the least time between two chart points of
// one quantity. The combo box is hidden and keeps its design-time item "1 с".
inline constexpr int kStepDrowDesignItem = 1;
inline constexpr std::array<std::chrono::milliseconds, 6> kSamplingPeriods = {
    std::chrono::milliseconds(1),  std::chrono::seconds(1),  std::chrono::seconds(10),
    std::chrono::minutes(1),       std::chrono::minutes(10), std::chrono::hours(1)};
// The period of a StepDrow item; no item selected (an index outside the list) gives 0, a
// chart point every cycle.
std::chrono::milliseconds SamplingPeriodOf(int stepDrowItem);

// What the page's controls say when StartStop goes down.
struct MeasurementControls {
    bool startFromZero = false;            // CheckBox2 "Начинать построение из нуля"
    int stepSelect = kStepSelectMinutes;   // StepSelect item
    int stepDrow = kStepDrowDesignItem;    // StepDrow item
};

// ---- Texts and numbers

// The lenient conversion the chart takes its values with: leading blanks, an optional sign,
// digits with an optional "." and fraction, an optional exponent. Returns 0 when the whole
// text was used, else the position (from 1) of the first character it could not use; the
// value is set only on success. An empty text fails at position 1.
std::size_t LenientReal(std::string_view text, double &value);

// The nine cells the job writes, in the order the grids show them: W, U, T, Rh, Td, a, d
// (Table columns 2 .. 8), the ADC code and P (table1 columns 0 and 1). Indexed by Reading.
inline constexpr std::size_t kJobCells = 9;
using CellTexts = std::array<std::string, kJobCells>;

// The log line of a failed pass and the one that ends a run with too many of them.
std::string PassErrorLine(std::int32_t status, std::string_view port);
inline constexpr std::string_view kTooManyErrors = "Слишком много ошибок. Обмен остановлен!!!";
// The run stops once the log holds more lines than this.
inline constexpr std::size_t kErrorLinesAllowed = 30;

// A payload that is neither a number nor a device report "$N" fails its pass with this
// status ("Ошибочные полезные данные от прибора").
inline constexpr std::int32_t kBadPayload = EX_ERR_PAYLOAD;

// ---- One pass, for a front end that follows the cycles

struct PassReport {
    std::int32_t status = EX_OK;  // the status its log line shows, or 0
    bool complete = false;        // every quantity was polled: no failure and no stop on the way
    Clock::time_point end;        // when the pass ended
    CellTexts cells;              // the texts of the job's cells as they stand now
};

// How the last run ended.
enum class RunEnd {
    NotRun,         // no run yet, or the run has not ended
    Stopped,        // by a stop request
    TooManyErrors,  // by itself, after the 31st logged error
    PortFailed,     // the baud rate, the timeout or the port could not be set or opened
    Aborted,        // an unforeseen failure (an exception) ended it; the port was closed
};

// ---- The job

class Measurement;

// One run: created by Measurement::Start and kept by it until the next start, so that a stop
// or clear request never finds it freed.
class TJob {
public:
    TJob(Program &program, const MeasurementControls &controls, const std::atomic<bool> &followUpdates);

    std::atomic<bool> StopRequested{false};
    std::atomic<bool> ClearRequested{false};

    // The way to the chart: a pending clear first, then the point; returns when the point has
    // been added.
    void HandOverPoint(int device, int quantity, double x, double y);

private:
    friend class Measurement;

    // The run, on the job's thread, from creating the port handle to freeing it.
    RunEnd Execute(Measurement &owner);
    std::int32_t Pass(EX_HANDLE handle, const TDevice &device, CellTexts &cells, bool &complete);
    std::int32_t Quantity(EX_HANDLE handle, const TDevice &device, int q, CellTexts &cells);
    void ShowValue(Reading reading, double value, CellTexts &cells);
    void ChartStep(int q, std::string_view payload, const CellTexts &cells, Clock::time_point now);

    Program &program_;
    const std::atomic<bool> &followUpdates_;
    const std::chrono::milliseconds samplingPeriod_;
    std::array<std::string, 4> parameters_;  // command 1 parameter numbers of W, U, T, Rh

    // The point being handed over.
    std::int32_t PointDevice = 0;
    std::int32_t PointSeries = 0;
    double PointX = 0;
    double PointY = 0;
    double TimeScale = kTimeScaleMinutes;

    double lastT_ = 0;          // T of this cycle; 0 before any
    double lastMeasuredP_ = 0;  // P of the previous cycle; 0 in the first
    std::size_t errorLines_ = 0;
};

// The StartStop button's operations and the job's owner.
class Measurement {
public:
    explicit Measurement(Program &program) : program_(program) {}
    ~Measurement();  // a running job is asked to stop and waited for
    Measurement(const Measurement &) = delete;
    Measurement &operator=(const Measurement &) = delete;

    // StartStop went down: the project is marked changed, the chart cleared, the plot times
    // and X values of W, U, T and Rh reset (with the points (0, 0) when startFromZero), the
    // running state shown, the error log cleared, and the job started. False while a job
    // still runs (at most one at a time; nothing is done), or when no thread can be made (the
    // page is shown idle again).
    bool Start(const MeasurementControls &controls);
    // StartStop went up, or New, Open, closing the window: the job ends after the quantity in
    // progress. Nothing happens when no job runs.
    void RequestStop();
    // ClrBtn during a run: the job clears the chart before its next point (or as it ends).
    // False when no job runs: the caller clears at once.
    bool RequestClear();
    // CheckBox1 "Следить за обновлением", read by the job at every chart step.
    void SetFollowUpdates(bool checked) { followUpdates_ = checked; }

    // A job runs (Program::measuring).
    bool Running() const { return program_.measuring; }
    // Waits until the job (if any) has ended and its thread is gone; not from the job itself.
    void Wait();
    RunEnd LastRunEnd() const { return lastEnd_; }
    // The library's code of the setting or opening that failed when the run ended with
    // PortFailed, else 0.
    std::int32_t PortFailureCode() const { return portCode_; }

    // Called on the job's thread after every pass, once its log line is written. Set before
    // Start.
    void OnPass(std::function<void(const PassReport &)> observer) { onPass_ = std::move(observer); }

    // The table was emptied (a new project): the job no longer finds texts of the derived
    // values to plot when a cycle cannot compute them.
    void TableCleared();

private:
    void Run(std::shared_ptr<TJob> job);

    friend class TJob;

    Program &program_;
    std::atomic<bool> followUpdates_{false};
    std::atomic<bool> tableCleared_{false};
    std::function<void(const PassReport &)> onPass_;

    // Guards job_ and the end of a run against the requests, and wakes a job that waits for a
    // device to be present.
    std::mutex mutex_;
    std::condition_variable stopSignal_;
    std::shared_ptr<TJob> job_;
    std::thread thread_;
    // What the job's cells show, kept across runs as the table keeps them; the job's thread
    // owns it while a job runs.
    CellTexts cells_;
    std::atomic<RunEnd> lastEnd_{RunEnd::NotRun};
    std::atomic<std::int32_t> portCode_{EX_OK};
};

}  // namespace vilo
