#include "comm/DeviceSearch.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "comm/ReadSettings.h"
#include "comm/devlink_layer.h"
#include "project/Cp1251.h"
#include "project/NumberText.h"

namespace vilo {
namespace {

constexpr const char *kSearchRefused = "Поиск приборов невозможен пока идёт обмен";
constexpr const char *kSearching = "Идёт поиск прибора";
constexpr const char *kWriteRefused = "Запись параметров невозможна пока идёт обмен с прибором.";
constexpr const char *kWriteSucceeded = "Цикл записи успешно завершён.";
constexpr const char *kWriteFailed = "Во время записи произошли ошибки.";
constexpr const char *kVersionFailed = "ошибка";

// Device types of the library's table: the identification goes to this family's type, the
// version request to the type that takes every command.
constexpr std::uint32_t kTransmitterType = 1;
constexpr std::uint32_t kAnyDeviceType = 0;

// The answers to the identification that mark a transmitter of this family.
constexpr std::array<std::string_view, 2> kFamilyAnswers = {"18", "34"};

constexpr int kHighestAddress = 255;

// The progress bar of the address change: port open, before the address, after the speed.
constexpr int kProgressOpened = 30;
constexpr int kProgressAddress = 60;
constexpr int kProgressSpeed = 90;

std::string IntText(int value) { return FormatReal(value); }

std::string PortName(int listIndex) { return "COM" + IntText(listIndex + 1); }

// Ends the running state when the search leaves early (an exception), so that the button
// does not stay in its stop state for good.
class SearchState {
public:
    explicit SearchState(Program &program) : program_(program) { program.searchRunning = true; }
    ~SearchState() { End(); }
    SearchState(const SearchState &) = delete;
    SearchState &operator=(const SearchState &) = delete;
    void End() {
        if (running_) program_.searchRunning = false;
        running_ = false;
    }

private:
    Program &program_;
    bool running_ = true;
};

// One request built by the library: its code and the payload it delivered. Data is the
// request's argument; empty for none.
struct LibraryAnswer {
    std::int32_t code;
    std::string payload;
};
LibraryAnswer LibraryExchange(EX_HANDLE handle, std::uint32_t type, int address, int command,
                              std::string_view data) {
    std::array<char, kPayloadSize> buffer{};
    std::copy_n(data.begin(), std::min(data.size(), buffer.size() - 1), buffer.begin());
    char *text = buffer.data();
    const std::int32_t rc =
        EX_Exchange(handle, type, static_cast<std::uint32_t>(address), static_cast<std::uint32_t>(command), &text);
    buffer.back() = '\0';
    return {rc, std::string(buffer.data())};
}

bool IsTransmitter(EX_HANDLE handle, int address) {
    const LibraryAnswer answer = LibraryExchange(handle, kTransmitterType, address, kCmdIdentify, "");
    return answer.code == EX_OK &&
           std::find(kFamilyAnswers.begin(), kFamilyAnswers.end(), answer.payload) != kFamilyAnswers.end();
}

// Reads a cell of the transmitter at the address with the pointer set first. The payload
// reads "0" when none was delivered.
std::int32_t ReadCell(EX_HANDLE handle, const std::string &address, const std::string &cell, int width,
                      std::string &payload) {
    std::uint8_t answerAddress = 0;
    payload = "0";
    return TwoStepExchange(handle, RequestBody(address, kCmdSetPointer, cell), RequestBody(address, kCmdReadHex, width),
                           answerAddress, payload);
}

// The identity of the transmitter found at the address. False when one of its reads failed:
// the transmitter is not taken. Address and baud rate are recorded first, whatever follows.
bool ReadIdentity(Program &program, EX_HANDLE handle, int address, int baudRate, const std::string &port) {
    const std::string addressText = IntText(address);
    program.device.Update([&](TDevice &d) {
        d.Address = addressText;
        d.Baudrate = baudRate;
    });

    std::string payload;
    if (ReadCell(handle, addressText, program.map.Cell("ZNum"), 2, payload) != EX_OK) return false;
    const std::string serial = IntText(HexToWord(payload));
    program.device.Update([&](TDevice &d) { d.ZNum = serial; });

    if (ReadCell(handle, addressText, program.map.Cell("NSensor"), 1, payload) != EX_OK) return false;
    const std::uint16_t sensor = HexToByteField(payload);
    program.device.Update([&](TDevice &d) { d.Nsensor = sensor; });

    // A transmitter that gives no version text is taken all the same.
    const LibraryAnswer version = LibraryExchange(handle, kAnyDeviceType, address, kCmdVersion, "0");
    const std::string versionText =
        version.code == EX_OK ? Cp1251ToUtf8(std::string_view(version.payload).substr(0, kVersionWidth))
                              : kVersionFailed;
    program.device.Update([&](TDevice &d) { d.Version = versionText; });

    if (ReadCell(handle, addressText, program.map.Cell("NSum"), 1, payload) != EX_OK) return false;
    const std::string averaging = IntText(HexToByteField(payload));
    program.device.Update([&](TDevice &d) {
        d.CountOfAU = averaging;
        d.Present = true;
        d.ParentPort = port;
    });
    return true;
}

// Steps 3 to 8 of the search, on a port cycle whose settings were accepted.
void SearchRanges(Program &program, PortCycle &port, SearchRange range) {
    UserView &view = program.view;
    ResetDevice(program.device, view);

    // The lists and spin edits hold nothing else; the loops below stay within them.
    range.firstPortIndex = std::clamp(range.firstPortIndex, 0, kSearchPortCount - 1);
    range.lastPortIndex = std::clamp(range.lastPortIndex, 0, kSearchPortCount - 1);
    range.firstAddress = std::clamp(range.firstAddress, 0, kHighestAddress);
    range.lastAddress = std::clamp(range.lastAddress, 0, kHighestAddress);
    bool corrected = false;
    if (range.firstPortIndex > range.lastPortIndex) {
        range.lastPortIndex = range.firstPortIndex;
        corrected = true;
    }
    if (range.firstAddress > range.lastAddress) {
        range.lastAddress = range.firstAddress;
        corrected = true;
    }
    if (corrected) view.CorrectSearchRange(range.lastPortIndex, range.lastAddress);

    const int ports = range.lastPortIndex - range.firstPortIndex + 1;
    const int addresses = range.lastAddress - range.firstAddress + 1;
    const int total = ports * addresses;

    for (int k = 1; k <= ports && !program.searchDone; ++k) {
        const std::string name = PortName(range.firstPortIndex + k - 1);
        if (port.Open(name) == EX_OK) {
            for (int j = 1; j <= addresses; ++j) {
                view.ShowProgress(((k - 1) * addresses + j) * 100 / total);
                if (program.searchDone) break;
                const int address = range.firstAddress + j - 1;
                if (!IsTransmitter(port.Handle(), address)) continue;
                // Found: its identity decides. A failed read leaves this port for the next
                // one, not for the next address.
                if (ReadIdentity(program, port.Handle(), address, range.baudRate, name)) program.searchDone = true;
                break;
            }
        }
        port.Close();
    }
}

}  // namespace

bool SearchRunning(const Program &program) { return program.searchRunning; }

void SearchButtonClick(Program &program, const SearchRange &range) {
    if (program.searchRunning.exchange(true)) {
        program.searchDone = true;  // the running search stops before its next address
        return;
    }
    if (program.measuring) {
        program.searchRunning = false;
        program.view.Notify(kSearchRefused);
        return;
    }
    program.searchDone = false;
    program.view.ShowSearchRunning(true);
    try {
        program.runners.Start([&program, range] { SearchDevice(program, range); });
    } catch (...) {
        program.searchRunning = false;
        program.view.ShowSearchRunning(false);
        throw;
    }
}

void SearchDevice(Program &program, SearchRange range) {
    SearchState state(program);
    UserView &view = program.view;
    view.ClearErrorLog();
    const std::string status = view.StatusText();
    view.ShowStatus(kSearching);

    std::optional<PortCycle> port(std::in_place, range.baudRate, kSearchTimeout);
    // A refused baud rate or timeout ends the search before anything is reset.
    if (port->Ready()) SearchRanges(program, *port, range);

    // Closing steps, on every path.
    program.project.MarkProjectChanged();
    ShowFoundDevice(program.device.Get(), view);
    ReadDeviceSettings(program);
    program.configTab.Fill();
    view.ShowChangedNote(false);
    view.ShowStatus(status);
    view.ShowSearchRunning(false);
    state.End();
    port.reset();
    view.ShowProgress(0);
}

std::string UnsupportedSpeedWarning(int speedIndex) {
    if (speedIndex < 0 || speedIndex >= static_cast<int>(kBaudList.size()))
        return "Скорость не выбрана. Адрес и скорость не записаны.";
    return "Скорость " + IntText(kBaudList[static_cast<std::size_t>(speedIndex)]) +
           " бод не поддерживается программой: прибор на ней был бы недоступен. Адрес и скорость не записаны.";
}

void AddressButtonClick(Program &program, const LinkChange &change) {
    if (program.measuring) {
        program.view.Notify(kWriteRefused);
        return;
    }
    program.view.EnableAddressButton(false);
    try {
        program.runners.Start([&program, change] { WriteAddressAndSpeed(program, change); });
    } catch (...) {
        program.view.EnableAddressButton(true);
        throw;
    }
}

namespace {

// Steps 4 and 5 of the address change on the open port: the address, then the speed at the
// new address. The speed write's code is the result; the new rate is taken whatever it is.
std::int32_t WriteLink(Program &program, EX_HANDLE handle, const TDevice &device, const LinkChange &change,
                       int newBaud) {
    UserView &view = program.view;
    std::uint8_t answerAddress = 0;
    std::string payload = "0";
    const std::int32_t rc =
        TwoStepExchange(handle, RequestBody(device.Address, kCmdSetPointer, program.map.Cell("add")),
                        RequestBody(device.Address, kCmdWriteByte, change.newAddress), answerAddress, payload);
    if (rc != EX_OK) return rc;
    const std::string newAddress = Utf8Left(change.newAddress, kAddressWidth);
    program.device.Update([&](TDevice &d) { d.Address = newAddress; });

    const int code = SpeedCode(change.newSpeedIndex, device.PressureSourceFlag);
    payload = "0";
    const std::int32_t speed =
        TwoStepExchange(handle, RequestBody(newAddress, kCmdSetPointer, program.map.Cell("spd")),
                        RequestBody(newAddress, kCmdWriteByte, code), answerAddress, payload);
    program.device.Update([&](TDevice &d) { d.Baudrate = newBaud; });
    view.SelectSearchBaud(change.newSpeedIndex);
    view.ShowProgress(kProgressSpeed);
    return speed;
}

}  // namespace

void WriteAddressAndSpeed(Program &program, LinkChange change) {
    UserView &view = program.view;
    const bool listed = change.newSpeedIndex >= 0 && change.newSpeedIndex < static_cast<int>(kBaudList.size());
    const int newBaud = listed ? kBaudList[static_cast<std::size_t>(change.newSpeedIndex)] : 0;
    if (program.measuring) {
        view.Notify(kWriteRefused);
    } else if (!listed || !LinkBaudAccepted(newBaud)) {
        // A transmitter set to a rate the library refuses would be out of reach for good.
        view.Notify(UnsupportedSpeedWarning(change.newSpeedIndex));
    } else {
        const TDevice device = program.device.Get();
        PortCycle port(device.Baudrate, kWriteAddressTimeout);
        if (port.Ready()) {
            int errors = 0;
            if (device.Present) {
                std::int32_t rc = port.Open(device.ParentPort);
                if (rc == EX_OK) {
                    WriteTargetAddress.Set(device.Address);
                    view.ShowProgress(kProgressOpened);
                    view.ShowProgress(kProgressAddress);
                    rc = WriteLink(program, port.Handle(), device, change, newBaud);
                }
                port.Close();
                if (const CodeMessage message = ResultCodeText(rc, device.ParentPort); message.HasMessage) {
                    view.AddErrorLine("Ошибка!(" + IntText(rc) + ") " + " " + message.Text);
                    ++errors;
                }
            }
            view.ShowStatus(errors == 0 ? kWriteSucceeded : kWriteFailed);
            ShowFoundDevice(program.device.Get(), view);
            view.ShowProgress(0);
        }  // the handle is freed here
    }
    view.EnableAddressButton(true);
}

}  // namespace vilo
