// The port search and the device search of the port object.
#include "ascii_u/device_table.h"
#include "devlink.h"
#include "ex_com.h"
#include "platform/messages.h"

namespace devlink {
namespace {

constexpr unsigned kLastPort = 256;
constexpr unsigned kPortsPerProgressMessage = 64;
constexpr unsigned kProgressPauseMs = 100;
constexpr std::uint16_t kFirstTypeOutsideTable = 17;
constexpr std::uint16_t kOutsideTableTimeoutMs = 1200;
constexpr std::uintptr_t kNobodyAnswered = 0xFFFF;

// A port that exists is listed whether it could be opened or not.
bool PortExists(unsigned number) {
    platform::OpenStatus status = platform::OpenStatus::Failed;
    auto port = platform::SerialPort::Open(number, status);
    if (port) port->Close();
    return status != platform::OpenStatus::NotFound;
}

}  // namespace

std::string TExCOM::SearchAvailableCOMPorts(bool notify, void *window) {
    std::string list;
    for (unsigned number = 1; number <= kLastPort; ++number) {
        if (PortExists(number)) list += "COM" + std::to_string(number) + ";";
        if (notify && number % kPortsPerProgressMessage == 0) {
            platform::PostMessageTo(window, PortsSearchMessage_, number, number);
            platform::PauseMs(kProgressPauseMs);
        }
    }
    return list;
}

int TExCOM::SearchAvailableDevices(bool notify, void *window, std::uint16_t deviceType, std::uint8_t first,
                                   std::uint8_t last, std::string &list) {
    list.clear();
    if (first > last) return Record(EX_ERR_BAD_ARGUMENT);
    const int rc = deviceType >= kFirstTypeOutsideTable ? Record(SetTimeout(kOutsideTableTimeoutMs))
                                                        : AutoConfigTimeout(deviceType);
    if (rc != EX_OK) return rc;

    SearchActive_.store(true);
    for (unsigned address = first; address <= last && SearchActive_.load(); ++address) {
        std::string payload;
        const int found = Exchange(0, static_cast<std::uint8_t>(address), 0, payload);
        if (found == EX_ERR_WRITE || found == EX_ERR_WRITE_INCOMPLETE) {
            list.clear();
            return found;
        }
        if (found == EX_OK) list += "(" + std::to_string(address) + "," + payload + ")";
        if (notify)
            platform::PostMessageTo(window, DevicesSearchMessage_, address,
                                    static_cast<std::intptr_t>(found == EX_OK ? address : kNobodyAnswered));
    }
    return Record(EX_OK);
}

}  // namespace devlink
