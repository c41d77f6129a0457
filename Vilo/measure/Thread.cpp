#include "measure/Thread.h"

#include <charconv>
#include <system_error>

#include "measure/Humidity.h"
#include "project/NumberText.h"
#include "project/Shared.h"

namespace vilo {
namespace {

// Value texts: fixed-point with the display precision, right-aligned in this many characters.
constexpr int kValueWidth = 10;
// How often a job without a present device looks at the record again (it wakes at once for a
// stop request).
constexpr std::chrono::milliseconds kPresenceRecheck{100};

constexpr int kFirstQuantity = 2;  // q = 2 .. 7: W, U, T, Rh, ADC code, P
constexpr int kLastQuantity = 7;
constexpr int kLastPlotted = 5;    // q = 2 .. 5 go to the chart

// The keys of the memory map's command 1 parameters for q = 2 .. 5, and the fixed numbers of
// q = 6 and 7.
constexpr std::array<std::string_view, 4> kParameterKeys = {"W", "U", "Tmpr", "Rh"};
constexpr std::string_view kAdcParameter = "4";
constexpr std::string_view kPressureParameter = "5";

constexpr Reading ReadingOf(int q) {
    switch (q) {
    case 6: return Reading::AdcCode;
    case 7: return Reading::P;
    default: return static_cast<Reading>(q - kFirstQuantity);
    }
}

constexpr std::size_t IndexOf(Reading reading) { return static_cast<std::size_t>(reading); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

double TimeScaleOf(int stepSelectItem) {
    return stepSelectItem == kStepSelectHours ? kTimeScaleHours : kTimeScaleMinutes;
}

std::chrono::milliseconds SamplingPeriodOf(int stepDrowItem) {
    if (stepDrowItem < 0 || static_cast<std::size_t>(stepDrowItem) >= kSamplingPeriods.size())
        return std::chrono::milliseconds(0);
    return kSamplingPeriods[static_cast<std::size_t>(stepDrowItem)];
}

std::size_t LenientReal(std::string_view text, double &value) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::size_t start = i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    if (i > start && text[start] == '+') ++start;  // from_chars takes no "+"
    std::size_t digits = 0;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return i + 1;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t exponentDigits = 0;
        while (i < n && IsDigit(text[i])) ++i, ++exponentDigits;
        if (exponentDigits == 0) return i + 1;
    }
    if (i != n) return i + 1;
    double parsed = 0;
    const auto [end, error] = std::from_chars(text.data() + start, text.data() + n, parsed);
    if (error != std::errc{} || end != text.data() + n) return start + 1;  // out of range
    value = parsed;
    return 0;
}

std::string PassErrorLine(std::int32_t status, std::string_view port) {
    return "Ошибка!(" + std::to_string(status) + ") " + "Порт " + std::string(port) + " " +
           ResultCodeText(status, port).Text;
}

// ---- TJob

TJob::TJob(Program &program, const MeasurementControls &controls, const std::atomic<bool> &followUpdates)
    : program_(program), followUpdates_(followUpdates), samplingPeriod_(SamplingPeriodOf(controls.stepDrow)),
      TimeScale(TimeScaleOf(controls.stepSelect)) {
    for (std::size_t i = 0; i < kParameterKeys.size(); ++i) parameters_[i] = program.map.Parameter(kParameterKeys[i]);
}

void TJob::HandOverPoint(int device, int quantity, double x, double y) {
    PointDevice = device;
    PointSeries = quantity;
    PointX = x;
    PointY = y;
    if (ClearRequested.exchange(false)) program_.view.ClearChartLines();
    program_.view.AddChartPoint(PointSeries, PointX, PointY);
}

RunEnd TJob::Execute(Measurement &owner) {
    UserView &view = program_.view;
    CellTexts &cells = owner.cells_;
    const TDevice atStart = program_.device.Get();
    RunEnd end = RunEnd::Stopped;

    PortCycle port(atStart.Baudrate, kMeasurementTimeout);
    if (!port.Ready() || port.Open(atStart.ParentPort) != EX_OK) {
        owner.portCode_ = port.FailedCode();
        return RunEnd::PortFailed;
    }

    while (!StopRequested) {
        if (owner.tableCleared_.exchange(false)) cells = {};
        const TDevice device = program_.device.Get();
        if (!device.Present) {
            std::unique_lock lock(owner.mutex_);
            owner.stopSignal_.wait_for(lock, kPresenceRecheck, [this] { return StopRequested.load(); });
            continue;
        }

        bool complete = false;
        const std::int32_t status = Pass(port.Handle(), device, cells, complete);
        if (status != EX_OK) {
            view.AddErrorLine(PassErrorLine(status, device.ParentPort));
            ++errorLines_;
        }
        if (errorLines_ > kErrorLinesAllowed) {
            view.AddErrorLine(std::string(kTooManyErrors));
            ++errorLines_;
            StopRequested = true;
            end = RunEnd::TooManyErrors;
        }
        if (owner.onPass_)
            owner.onPass_(PassReport{.status = status, .complete = complete, .end = Clock::now(), .cells = cells});
        // The next cycle follows at once.
    }
    port.Close();
    return end;
}

std::int32_t TJob::Pass(EX_HANDLE handle, const TDevice &device, CellTexts &cells, bool &complete) {
    for (int q = kFirstQuantity; q <= kLastQuantity; ++q) {
        if (const std::int32_t status = Quantity(handle, device, q, cells); status != EX_OK) return status;
        if (q < kLastQuantity && StopRequested) return EX_OK;
    }
    complete = true;
    return EX_OK;
}

std::int32_t TJob::Quantity(EX_HANDLE handle, const TDevice &device, int q, CellTexts &cells) {
    const std::string_view parameter = q == 6   ? kAdcParameter
                                       : q == 7 ? kPressureParameter
                                                : std::string_view(parameters_[static_cast<std::size_t>(q - kFirstQuantity)]);
    const std::string request = RequestParcel(RequestBody(device.Address, kCmdMeasure, parameter));
    if (const std::int32_t rc = EX_TransmitParcel(handle, request.c_str()); rc != EX_OK) return rc;

    std::array<char, kPayloadSize> answer{};
    char *answerOut = answer.data();
    if (const std::int32_t rc = EX_ReciveParcel(handle, &answerOut); rc != EX_OK) return rc;
    answer.back() = '\0';

    std::array<char, kPayloadSize> payloadText{'0'};
    char *payloadOut = payloadText.data();
    std::uint8_t answerAddress = 0;
    if (const std::int32_t rc = EX_AnalysisAnswerParcel(answer.data(), &answerAddress, &payloadOut); rc != EX_OK)
        return rc;
    payloadText.back() = '\0';
    const std::string_view payload(payloadText.data());
    const Clock::time_point now = Clock::now();

    std::int32_t address = 0;
    if (!ParseInt(device.Address, address) || address != answerAddress) return EX_ERR_ADDRESS;
    if (payload.starts_with('$')) return payload == "$0" ? EX_OK : EX_ERR_DEVICE;

    double value = 0;
    if (!ParseReal(payload, value)) return kBadPayload;
    const Reading reading = ReadingOf(q);
    if (reading == Reading::T) lastT_ = value;
    if (reading == Reading::P) lastMeasuredP_ = value;
    ShowValue(reading, value, cells);

    if (reading == Reading::Rh) {
        const double rh = value < 0 ? 0 : value;
        const double pressure = program_.configTab.PressureSource() == kMeasuredItem ? lastMeasuredP_ : device.PH;
        ComputeDerived(lastT_, rh, pressure, [&](Derived derived, double result) {
            ShowValue(static_cast<Reading>(IndexOf(Reading::Td) + static_cast<std::size_t>(derived)), result, cells);
        });
    }
    if (q <= kLastPlotted) ChartStep(q, payload, cells, now);
    return EX_OK;
}

void TJob::ShowValue(Reading reading, double value, CellTexts &cells) {
    std::string &text = cells[IndexOf(reading)];
    text = FormatFixed(value, kDisplayPrecision, kValueWidth);
    const CellRef cell = CellOf(reading);
    program_.view.SetCell(cell.grid, cell.column, text);
}

void TJob::ChartStep(int q, std::string_view payload, const CellTexts &cells, Clock::time_point now) {
    double value = 0;
    if (LenientReal(payload, value) != 0) return;  // tried again next cycle

    const auto i = static_cast<std::size_t>(q - kFirstQuantity);
    bool due = false;
    double x = 0;
    program_.device.Update([&](TDevice &d) {
        const Clock::duration elapsed = now - d.LastPlotTime[i];
        if (elapsed < samplingPeriod_) return;
        due = true;
        d.LastPlotTime[i] = now;
        d.PlotX[i] += std::chrono::duration<double, std::milli>(elapsed).count() * TimeScale;
        x = d.PlotX[i];
    });
    if (!due) return;

    if ((x >= kFollowFrom && x <= kFollowTo) || followUpdates_) program_.view.SetBottomAxisMaximumAuto();
    const Reading reading = ReadingOf(q);
    HandOverPoint(1, ChartQuantityOf(reading), x, value);
    if (reading != Reading::Rh) return;
    // The derived values as the table shows them; a text that is not a number ends the step.
    for (const Reading derived : {Reading::Td, Reading::a, Reading::d}) {
        double shown = 0;
        if (LenientReal(cells[IndexOf(derived)], shown) != 0) return;
        HandOverPoint(1, ChartQuantityOf(derived), x, shown);
    }
}

// ---- Measurement

Measurement::~Measurement() {
    RequestStop();
    Wait();
}

bool Measurement::Start(const MeasurementControls &controls) {
    if (program_.measuring.exchange(true)) return false;
    Wait();  // the previous job has ended; its thread is about to return

    auto job = std::make_shared<TJob>(program_, controls, followUpdates_);
    {
        std::lock_guard lock(mutex_);
        job_ = job;
    }
    lastEnd_ = RunEnd::NotRun;
    portCode_ = EX_OK;
    if (tableCleared_.exchange(false)) cells_ = {};

    program_.project.MarkProjectChanged();
    program_.view.ClearChartLines();
    const Clock::time_point now = Clock::now();
    program_.device.Update([&](TDevice &d) {
        d.LastPlotTime.fill(now);
        d.PlotX.fill(0);
    });
    if (controls.startFromZero)
        for (int quantity = 1; quantity <= 4; ++quantity) job->HandOverPoint(1, quantity, 0, 0);
    program_.view.ShowMeasurementRunning(true);
    program_.view.ClearErrorLog();

    try {
        thread_ = std::thread([this, job] { Run(job); });
    } catch (const std::system_error &) {
        program_.view.ShowMeasurementRunning(false);
        std::lock_guard lock(mutex_);
        program_.measuring = false;
        return false;
    }
    return true;
}

void Measurement::Run(std::shared_ptr<TJob> job) {
    RunEnd end = RunEnd::Aborted;
    try {
        end = job->Execute(*this);
    } catch (...) {
        // Whatever went wrong, the port has been closed and the handle freed on the way out,
        // and the page goes back to idle below.
    }
    program_.view.ShowMeasurementRunning(false);
    std::lock_guard lock(mutex_);
    // A clear asked for after the last point: carried out now rather than lost.
    if (job->ClearRequested.exchange(false)) program_.view.ClearChartLines();
    lastEnd_ = end;
    program_.measuring = false;
}

void Measurement::RequestStop() {
    {
        std::lock_guard lock(mutex_);
        if (job_) job_->StopRequested = true;
    }
    stopSignal_.notify_all();
}

bool Measurement::RequestClear() {
    std::lock_guard lock(mutex_);
    if (!job_ || !program_.measuring) return false;
    job_->ClearRequested = true;
    return true;
}

void Measurement::Wait() {
    if (thread_.joinable()) thread_.join();
}

void Measurement::TableCleared() { tableCleared_ = true; }

}  // namespace vilo
