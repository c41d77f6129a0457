#include "comm/ReadSettings.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "comm/devlink_layer.h"
#include "project/NumberText.h"

namespace vilo {
namespace {

constexpr const char *kReadRefused = "Чтение параметров невозможно пока идёт обмен с прибором.";
constexpr const char *kReading = "Идёт чтение настроек прибора";
constexpr const char *kCheckRefused = "Проверка связи невозмжна, идёт обмен с прибором!";
constexpr const char *kLinkOk = "Прибор на связи.";
constexpr const char *kLinkNotFound =
    "Прибор с такими параметрами не найден.\nПроверьте подключение и выполните поиск прибора.";

// The progress bar once the port is open, before the first cell.
constexpr int kProgressPortOpen = 5;
// No progress change after the step.
constexpr int kNoProgress = -1;

// How a cell's payload becomes a value of the record.
enum class Field {
    Single,     // four-byte hex field, IEEE-754 single
    Byte,       // one-byte hex field
    Decimal,    // a byte as decimal text; 0 when it is no decimal byte
    SpeedFlag,  // the speed cell in decimal: 16 or more sets the pressure-source flag
};

struct ReadStep {
    std::string_view cell;  // map key
    int command;            // of request B
    int width;              // its argument: bytes to read
    Field field;
    int progress;           // after the step
    void (*store)(TDevice &, double);
};

template <double TDevice::*Member>
void StoreReal(TDevice &d, double value) {
    d.*Member = value;
}
template <std::uint8_t TDevice::*Member>
void StoreByte(TDevice &d, double value) {
    d.*Member = static_cast<std::uint8_t>(value);
}
void StoreDisplayMode(TDevice &d, double value) { d.LCDmode = static_cast<std::uint16_t>(value); }

// The cells of the read cycle in the order they are read, and where each one goes. The map
// names the channels 1 and 2, the record 1 without a digit and 2 with "1".
const std::array<ReadStep, 16> kReadPlan = {{
    {"J1min", kCmdReadHex, 4, Field::Single, 10, StoreReal<&TDevice::J1min>},
    {"J1max", kCmdReadHex, 4, Field::Single, kNoProgress, StoreReal<&TDevice::J1max>},
    {"LCDmode", kCmdReadHex, 1, Field::Byte, 15, StoreDisplayMode},
    {"J2min", kCmdReadHex, 4, Field::Single, 20, StoreReal<&TDevice::J2min>},
    {"J2max", kCmdReadHex, 4, Field::Single, 25, StoreReal<&TDevice::J2max>},
    {"TpH1", kCmdReadHex, 4, Field::Single, 30, StoreReal<&TDevice::TpH>},
    {"TpH2", kCmdReadHex, 4, Field::Single, 35, StoreReal<&TDevice::TpH1>},
    {"TpB1", kCmdReadHex, 4, Field::Single, 40, StoreReal<&TDevice::TpB>},
    {"TpB2", kCmdReadHex, 4, Field::Single, 45, StoreReal<&TDevice::TpB1>},
    {"Jcal1", kCmdReadHex, 1, Field::Decimal, 50, StoreByte<&TDevice::Jcal>},
    {"Jcal2", kCmdReadHex, 1, Field::Decimal, kNoProgress, StoreByte<&TDevice::Jcal1>},
    {"spd", kCmdReadDecimal, 1, Field::SpeedFlag, 55, StoreByte<&TDevice::PressureSourceFlag>},
    {"Pgas", kCmdReadHex, 4, Field::Single, 58, StoreReal<&TDevice::PH>},
    {"Gamma", kCmdReadHex, 4, Field::Single, 60, StoreReal<&TDevice::Gamma>},
    {"PgasHigh", kCmdReadHex, 4, Field::Single, 100, StoreReal<&TDevice::Phigh>},
    {"PgasLow", kCmdReadHex, 4, Field::Single, kNoProgress, StoreReal<&TDevice::Plow>},
}};

// The display-mode cell: a transmitter that does not answer it still gets every other
// cell read, and shows the first channel.
constexpr std::string_view kOptionalCell = "LCDmode";

// The value a payload stands for; false when the record is to keep what it holds.
bool Decode(Field field, const std::string &payload, double &value) {
    std::int32_t number = 0;
    switch (field) {
    case Field::Single: value = static_cast<double>(HexToSingle(payload)); return true;
    case Field::Byte: value = HexToByteField(payload); return true;
    case Field::Decimal:
        value = ParseInt(payload, number) && number >= 0 && number <= 255 ? number : 0;
        return true;
    case Field::SpeedFlag:
        // A speed cell that answers no decimal number (a device report such as "$3") tells
        // nothing about the pressure source: the flag keeps its value.
        if (!ParseInt(payload, number)) return false;
        value = number >= kPressureKeyed ? kPressureKeyed : 0;
        return true;
    }
    return false;
}

// Runs the plan on the open port; the code of the step that ended it, or 0.
std::int32_t RunReadPlan(Program &program, EX_HANDLE handle, const std::string &address) {
    std::int32_t rc = EX_OK;
    for (const ReadStep &step : kReadPlan) {
        std::uint8_t answerAddress = 0;
        std::string payload = "0";
        rc = TwoStepExchange(handle, RequestBody(address, kCmdSetPointer, program.map.Cell(step.cell)),
                             RequestBody(address, step.command, step.width), answerAddress, payload);
        const bool optional = step.cell == kOptionalCell;
        if (rc != EX_OK && !optional) return rc;
        double value = 0;  // a failed optional cell stores 0
        if (rc != EX_OK || Decode(step.field, payload, value))
            program.device.Update([&](TDevice &d) { step.store(d, value); });
        if (step.progress != kNoProgress) program.view.ShowProgress(step.progress);
    }
    return rc;
}

}  // namespace

void ReadButtonsClick(Program &program) {
    if (program.readRunning.exchange(true)) return;  // the buttons are disabled already
    program.view.EnableReadButtons(false);
    try {
        program.runners.Start([&program] { ReadSettingsJob(program); });
    } catch (...) {
        program.readRunning = false;
        program.view.EnableReadButtons(true);
        throw;
    }
}

void ReadSettingsJob(Program &program) {
    program.readRunning = true;
    ReadDeviceSettings(program);
    program.configTab.Fill();
    program.view.ShowChangedNote(false);
    program.view.ShowStatus("");
    program.view.ShowProgress(0);
    program.view.EnableReadButtons(true);
    program.readRunning = false;
}

void ReadDeviceSettings(Program &program) {
    UserView &view = program.view;
    if (program.measuring) {
        view.AddErrorLine(kReadRefused);
        return;
    }
    view.ShowProgress(0);
    view.ShowStatus(kReading);

    const TDevice device = program.device.Get();
    {
        PortCycle port(device.Baudrate, kReadSettingsTimeout);
        if (port.Ready() && device.Present) {
            std::int32_t rc = port.Open(device.ParentPort);
            if (rc == EX_OK) {
                view.ShowProgress(kProgressPortOpen);
                rc = RunReadPlan(program, port.Handle(), device.Address);
            }
            port.Close();
            if (const CodeMessage message = ResultCodeText(rc, device.ParentPort); message.HasMessage)
                view.AddErrorLine("Ошибка!(" + std::to_string(rc) + ") " + "Порт " + device.ParentPort + " " +
                                  message.Text);
        }
    }  // the handle is freed here
    view.ShowProgress(0);
    program.project.MarkProjectChanged();
}

void CheckLink(Program &program) {
    UserView &view = program.view;
    if (program.measuring) {
        view.Notify(kCheckRefused);
        return;
    }
    const TDevice device = program.device.Get();
    PortCycle port(device.Baudrate, kLinkCheckTimeout);
    if (!port.Ready()) return;
    if (port.Open(device.ParentPort) == EX_OK) {
        std::int32_t address = 0;
        bool answered = false;
        // An address that is no bus address cannot answer.
        if (ParseInt(device.Address, address) && address >= 0 && address <= 255) {
            std::array<char, kPayloadSize> buffer{};  // no data
            char *data = buffer.data();
            const std::int32_t rc = EX_Exchange(port.Handle(), 1, static_cast<std::uint32_t>(address),
                                                kCmdIdentify, &data);
            buffer.back() = '\0';
            const std::string_view payload(buffer.data());
            answered = rc == EX_OK && (payload == "18" || payload == "34");
        }
        view.Notify(answered ? kLinkOk : kLinkNotFound);
    }
    port.Close();
}

}  // namespace vilo
