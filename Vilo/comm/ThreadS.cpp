#include "comm/ThreadS.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "comm/devlink_layer.h"
#include "project/NumberText.h"

namespace vilo {
namespace {

constexpr const char *kWriteRefused = "Запись параметров невозможна пока идёт обмен с прибором.";
constexpr const char *kWriteQuestion = "Вы действительно хотите записать коэффициенты в прибор(ы)?";
constexpr const char *kWriting = "Идёт запись параметров в прибор";
constexpr const char *kWriteSucceeded = "Цикл записи успешно завершён.";

constexpr int kNoProgress = -1;

enum class Way {
    Float,  // four cells, the value narrowed to a single
    Byte,   // one cell
    Speed,  // the speed cell: one byte whose result is not looked at
};

struct WriteStep {
    std::string_view cell;  // map key
    Way way;
    int progress;           // after the step
    // The value as the record holds it: a real for Float, the decimal text for the others.
    double (*real)(const TDevice &);
    std::string (*text)(const TDevice &, int baudIndex);
};

template <double TDevice::*Member>
double Real(const TDevice &d) {
    return d.*Member;
}
template <std::uint8_t TDevice::*Member>
std::string ByteText(const TDevice &d, int) {
    return std::to_string(d.*Member);
}
std::string AveragingText(const TDevice &d, int) { return d.CountOfAU; }  // as typed
std::string DisplayModeText(const TDevice &d, int) { return std::to_string(d.LCDmode); }
std::string SpeedText(const TDevice &d, int baudIndex) {
    return std::to_string(SpeedCode(baudIndex, d.PressureSourceFlag));
}

// The cells the write cycle fills, in order. The output range ends, Gamma, the address and
// the identity numbers are never written here.
const std::array<WriteStep, 12> kWritePlan = {{
    {"Pgas", Way::Float, 10, Real<&TDevice::PH>, nullptr},
    {"NSum", Way::Byte, 20, nullptr, AveragingText},
    {"PgasHigh", Way::Float, 30, Real<&TDevice::Phigh>, nullptr},
    {"PgasLow", Way::Float, 40, Real<&TDevice::Plow>, nullptr},
    {"TpH1", Way::Float, 50, Real<&TDevice::TpH>, nullptr},
    {"TpH2", Way::Float, 60, Real<&TDevice::TpH1>, nullptr},
    {"TpB1", Way::Float, 70, Real<&TDevice::TpB>, nullptr},
    {"TpB2", Way::Float, kNoProgress, Real<&TDevice::TpB1>, nullptr},
    {"spd", Way::Speed, 80, nullptr, SpeedText},
    {"Jcal1", Way::Byte, 90, nullptr, ByteText<&TDevice::Jcal>},
    {"Jcal2", Way::Byte, kNoProgress, nullptr, ByteText<&TDevice::Jcal1>},
    {"LCDmode", Way::Byte, 100, nullptr, DisplayModeText},
}};

// The transmitter stores its reals as singles. A value beyond the single's range becomes
// the infinity of its sign, as the conversion of the hardware rounds it.
float NarrowToSingle(double value) {
    constexpr double kMax = std::numeric_limits<float>::max();
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    if (std::isfinite(value) && std::fabs(value) > kMax) return value > 0 ? kInfinity : -kInfinity;
    return static_cast<float>(value);
}

// The first cell of a float as a number; none when the map's text is no cell number.
std::optional<std::uint8_t> CellNumber(const std::string &text) {
    std::int32_t number = 0;
    if (!ParseInt(text, number) || number < 0 || number > 255) return std::nullopt;
    return static_cast<std::uint8_t>(number);
}

// How the plan ended: the code of the failed step, or a map text that names no cell.
struct PlanEnd {
    std::int32_t rc = EX_OK;
    std::optional<std::string> mapError;
};

PlanEnd RunWritePlan(Program &program, EX_HANDLE handle, int baudIndex) {
    UserView &view = program.view;
    for (const WriteStep &step : kWritePlan) {
        // Each step takes the record as it is now: an edit made meanwhile is written when
        // its step has not passed yet.
        const TDevice d = program.device.Get();
        const std::string cell = program.map.Cell(step.cell);
        std::int32_t rc = EX_OK;
        if (step.way == Way::Float) {
            const std::optional<std::uint8_t> first = CellNumber(cell);
            if (!first)
                return {EX_OK, "Ошибка! Ячейка " + std::string(step.cell) + " карты памяти задана текстом \"" + cell +
                                   "\", а не номером от 0 до 255: цикл записи прерван."};
            rc = WriteFourBytes(handle, *first, SingleBits(NarrowToSingle(step.real(d))));
        } else if (step.way == Way::Speed && !SpeedAccepted(baudIndex)) {
            view.AddErrorLine(SpeedSkippedLine(baudIndex));
        } else {
            std::uint8_t answerAddress = 0;
            std::string payload = "0";
            rc = TwoStepExchange(handle, RequestBody(d.Address, kCmdSetPointer, cell),
                                 RequestBody(d.Address, kCmdWriteByte, step.text(d, baudIndex)), answerAddress,
                                 payload);
        }
        if (rc != EX_OK && step.way != Way::Speed) return {rc, std::nullopt};
        if (step.progress != kNoProgress) view.ShowProgress(step.progress);
    }
    view.ShowChangedNote(false);
    return {};
}

}  // namespace

bool SpeedAccepted(int baudIndex) {
    if (baudIndex < 0 || baudIndex >= static_cast<int>(kBaudList.size())) return false;
    return LinkBaudAccepted(kBaudList[static_cast<std::size_t>(baudIndex)]);
}

std::string SpeedSkippedLine(int baudIndex) {
    if (baudIndex < 0 || baudIndex >= static_cast<int>(kBaudList.size()))
        return "Скорость с номером " + std::to_string(baudIndex) +
               " не из списка скоростей: ячейка скорости не записана.";
    return "Скорость " + std::to_string(kBaudList[static_cast<std::size_t>(baudIndex)]) +
           " бод не поддерживается: ячейка скорости не записана.";
}

void WriteButtonClick(Program &program, int searchBaudIndex) {
    UserView &view = program.view;
    if (program.measuring) {
        view.Notify(kWriteRefused);
        return;
    }
    if (!view.Ask(kWriteQuestion)) return;
    view.EnableWriteButton(false);
    view.ClearErrorLog();
    try {
        // TSaveThread: one cycle on a thread of its own, which ends with it.
        program.runners.Start([&program, searchBaudIndex] { WriteParameters(program, searchBaudIndex); });
    } catch (...) {
        view.EnableWriteButton(true);
        throw;
    }
}

void WriteParameters(Program &program, int searchBaudIndex) {
    UserView &view = program.view;
    const TDevice device = program.device.Get();
    std::string status;  // the caption to give back; empty when it was never taken
    {
        PortCycle port(device.Baudrate, kWriteParametersTimeout);
        if (port.Ready()) {
            status = view.StatusText();
            view.ShowStatus(kWriting);
            PlanEnd end{port.Open(device.ParentPort), std::nullopt};
            if (end.rc == EX_OK) {
                WriteTargetAddress.Set(device.Address);
                end = RunWritePlan(program, port.Handle(), searchBaudIndex);
            }
            port.Close();
            if (end.mapError) {
                view.AddErrorLine(*end.mapError);
            } else if (const CodeMessage message = ResultCodeText(end.rc, device.ParentPort); message.HasMessage) {
                view.AddErrorLine("Ошибка!(" + std::to_string(end.rc) + ") " + device.ParentPort + " " + message.Text);
            } else {
                view.AddErrorLine(kWriteSucceeded);
            }
        }
        view.EnableWriteButton(true);
        view.ShowProgress(0);
        view.ShowStatus(status);
    }  // the handle is freed here
}

}  // namespace vilo
