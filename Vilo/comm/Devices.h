// The configuration record of the one transmitter the program works with, its reset to the
// "not found" state, and how it is shown on the "Связь" page.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "project/UserView.h"

namespace vilo {

inline constexpr std::size_t kAddressWidth = 3;
inline constexpr std::size_t kCountOfAUWidth = 10;
inline constexpr std::size_t kZNumWidth = 10;
inline constexpr std::size_t kVersionWidth = 10;
inline constexpr std::size_t kInfWidth = 100;
inline constexpr std::uint8_t kPressureKeyed = 16;  // PressureSourceFlag: keyed in

// The baud rates the speed cell's index selects, in list order.
inline constexpr std::array<int, 8> kBaudList = {300, 600, 1200, 2400, 4800, 9600, 19200, 115200};

using Clock = std::chrono::system_clock;

struct TDevice {
    bool Present = false;
    std::string ParentPort;
    std::string Address;
    std::int32_t Baudrate = 0;
    bool ActiveDevice = false;
    bool EnableDevice = false;
    std::string CountOfAU;
    std::string ZNum;
    std::string Version;
    std::uint16_t Nsensor = 0;
    std::uint16_t LCDmode = 0;
    std::string Inf;
    std::array<Clock::time_point, 4> LastPlotTime{};  // W, U, T, Rh
    std::array<double, 4> PlotX{};
    double J1min = 0, J1max = 0, J2min = 0, J2max = 0;
    double TpH = 0, TpH1 = 0, TpB = 0, TpB1 = 0;
    double PH = 0, Phigh = 0, Plow = 0;
    std::uint8_t Jcal = 0, Jcal1 = 0;
    std::uint8_t PressureSourceFlag = 0;
    double Gamma = 0;
};

// The record shared between the window and the background operations: every access takes
// the lock, readers work on a copy.
class DeviceRecord {
public:
    TDevice Get() const {
        std::lock_guard lock(mutex_);
        return device_;
    }
    void Update(const std::function<void(TDevice &)> &change) {
        std::lock_guard lock(mutex_);
        change(device_);
    }

private:
    mutable std::mutex mutex_;
    TDevice device_;
};

// The byte of the speed cell: the baud list index in bits 0 to 3, the pressure-source flag
// in bit 4.
std::uint8_t SpeedCode(int baudListIndex, std::uint8_t pressureSourceFlag);
// The list index of a baud rate, or -1 when it is not in the list.
int BaudListIndex(int baudRate);

// Puts the record into the "not found" state and shows it so.
void ResetDevice(DeviceRecord &device, UserView &view);

// The lines of "Найденный прибор" for a found device.
std::vector<std::string> FoundDeviceLines(const TDevice &device);
// Shows the record on the "Связь" page and enables or disables the device pages.
void ShowFoundDevice(const TDevice &device, UserView &view);

}  // namespace vilo
