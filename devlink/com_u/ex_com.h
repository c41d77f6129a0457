// TExCOM: the object behind every handle. It owns one serial port, its name, baud rate and
// read timeout, and the request/answer exchange with a device on that port.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/serial.h"

namespace devlink {

inline constexpr std::uint16_t kDefaultBaudRate = 9600;
inline constexpr std::uint16_t kDefaultTimeoutMs = 1000;
inline constexpr std::size_t kPortNameMax = 6;  // "COM256"

// Checks a port name ("COM" and a number 1 .. 256 of up to four digits) and gives its
// number, or 0 when the name is refused.
unsigned ParsePortName(std::string_view name);

class TExCOM {
public:
    TExCOM();
    TExCOM(const TExCOM &) = delete;
    TExCOM &operator=(const TExCOM &) = delete;
    ~TExCOM();

    int SetBaudRate(std::uint16_t rate);
    std::uint16_t BaudRate() const { return BaudRate_; }
    int SetTimeout(std::uint16_t milliseconds);
    std::uint16_t Timeout() const { return Timeout_; }
    int AutoConfigTimeout(std::uint16_t deviceType);

    int Open(std::string_view name);
    int Close();
    bool IsOpen() const { return PortHandle_ != nullptr; }
    const std::string &PortName() const { return PortName_; }

    int TransmitParcel(std::string_view parcel);
    int ReceiveParcel(std::string &answer);
    int TransmitBlock(const std::uint8_t *buffer, std::uint16_t count);
    int ReceiveBlock(std::uint8_t *buffer, std::uint16_t count);

    // One request and answer; data is sent and then replaced by the answer's payload from
    // the analysis on.
    int Exchange(std::uint16_t deviceType, std::uint8_t address, std::uint8_t command, std::string &data);
    int GetDeviceData(std::uint16_t deviceType, std::uint8_t address, std::uint16_t dataIndex, double &value);

    // The searches.
    std::string SearchAvailableCOMPorts(bool notify, void *window);
    int SearchAvailableDevices(bool notify, void *window, std::uint16_t deviceType, std::uint8_t first,
                               std::uint8_t last, std::string &list);
    // May be called from another thread while a device search runs.
    void StopSearchAvailableDevices() { SearchActive_.store(false); }

    int LastResult() const { return LastResult_; }
    std::uint32_t PortsSearchMessage() const { return PortsSearchMessage_; }
    std::uint32_t DevicesSearchMessage() const { return DevicesSearchMessage_; }

private:
    int ApplyBaudRate();
    int ApplyTimeout();
    int ClearPort();
    int ReadByte(std::uint8_t &byte);
    int Record(int result) { return LastResult_ = result; }

    std::uint32_t PortsSearchMessage_ = 0;
    std::uint32_t DevicesSearchMessage_ = 0;
    int LastResult_ = 0;
    std::atomic<bool> SearchActive_{true};
    std::unique_ptr<platform::SerialPort> PortHandle_;
    std::string PortName_ = "COM1";
    std::uint16_t BaudRate_ = kDefaultBaudRate;
    std::uint16_t Timeout_ = kDefaultTimeoutMs;
};

}  // namespace devlink
