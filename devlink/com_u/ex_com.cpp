#include "ex_com.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "ascii_u/device_table.h"
#include "ascii_u/parcel.h"
#include "devlink.h"
#include "platform/messages.h"

namespace devlink {
namespace {

constexpr std::size_t kAnswerMax = 255;

bool IsAllowedRate(std::uint16_t rate) {
    switch (rate / 100) {
    case 3: case 6: case 12: case 24: case 48: case 96: case 192: return true;
    default: return false;
    }
}

// A floating-point number with "." and an optional exponent, the whole text.
bool ParseReal(std::string_view text, double &value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '-' ||
                          text.front() == '.'))
        return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() && std::isfinite(value);
}

}  // namespace

unsigned ParsePortName(std::string_view name) {
    if (name.size() < 4 || name.size() > 7 || name.substr(0, 3) != "COM") return 0;
    unsigned number = 0;
    for (char c : name.substr(3)) {
        if (c < '0' || c > '9') return 0;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number >= 1 && number <= 256 ? number : 0;
}

TExCOM::TExCOM()
    : PortsSearchMessage_(platform::RegisterMessage("SX_SearchAvailableCOMPorts")),
      DevicesSearchMessage_(platform::RegisterMessage("SX_SearchAvailableDevices")) {}

// A port left open is released with its object, so that it is not held for the rest of the
// process.
TExCOM::~TExCOM() {
    if (PortHandle_) PortHandle_->Close();
}

int TExCOM::SetBaudRate(std::uint16_t rate) {
    if (!IsAllowedRate(rate)) return EX_ERR_BAD_ARGUMENT;
    BaudRate_ = rate;
    return PortHandle_ ? ApplyBaudRate() : EX_OK;
}

int TExCOM::ApplyBaudRate() {
    if (!PortHandle_->ReadSettings()) return EX_ERR_GET_SETTINGS;
    if (!PortHandle_->WriteSettings(BaudRate_)) return EX_ERR_SET_SETTINGS;
    return EX_OK;
}

int TExCOM::SetTimeout(std::uint16_t milliseconds) {
    Timeout_ = milliseconds;
    return PortHandle_ ? ApplyTimeout() : EX_OK;
}

int TExCOM::ApplyTimeout() {
    if (!PortHandle_->ReadTimeouts()) return EX_ERR_GET_SETTINGS;
    if (!PortHandle_->WriteTimeouts(Timeout_)) return EX_ERR_SET_SETTINGS;
    return EX_OK;
}

int TExCOM::AutoConfigTimeout(std::uint16_t deviceType) {
    TDeviceInfo row;
    if (int rc = LookupDeviceByType(deviceType, row); rc != EX_OK) return Record(rc);
    if (deviceType == 0) return Record(EX_OK);
    return Record(SetTimeout(row.Timeout));
}

int TExCOM::Open(std::string_view name) {
    if (PortHandle_) return Record(EX_ERR_ALREADY_OPEN);
    const unsigned number = ParsePortName(name);
    if (number == 0) return Record(EX_ERR_BAD_ARGUMENT);
    PortName_ = "COM" + std::to_string(number);

    platform::OpenStatus status = platform::OpenStatus::Failed;
    PortHandle_ = platform::SerialPort::Open(number, status);
    if (!PortHandle_ || status != platform::OpenStatus::Ok) {
        PortHandle_.reset();
        switch (status) {
        case platform::OpenStatus::NotFound: return Record(EX_ERR_PORT_MISSING);
        case platform::OpenStatus::AccessDenied: return Record(EX_ERR_PORT_BUSY);
        default: return Record(EX_ERR_PORT_UNAVAILABLE);
        }
    }
    int rc = ApplyBaudRate();
    if (rc == EX_OK) rc = ApplyTimeout();
    if (rc == EX_OK) rc = ClearPort();
    if (rc != EX_OK) {
        PortHandle_->Close();
        PortHandle_.reset();
    }
    return Record(rc);
}

int TExCOM::ClearPort() {
    const bool cleared = PortHandle_->ClearBreak() && PortHandle_->AbortTransfers() &&
                         PortHandle_->ClearTransmitBuffer() && PortHandle_->ClearReceiveBuffer();
    return cleared ? EX_OK : EX_ERR_SET_SETTINGS;
}

int TExCOM::Close() {
    if (!PortHandle_ || !PortHandle_->Close()) return EX_ERR_CLOSE;
    PortHandle_.reset();
    return EX_OK;
}

// A parcel longer than a 16-bit count can give is refused whole rather than cut.
int TExCOM::TransmitParcel(std::string_view parcel) {
    if (parcel.size() > std::numeric_limits<std::uint16_t>::max()) return EX_ERR_WRITE_INCOMPLETE;
    return TransmitBlock(reinterpret_cast<const std::uint8_t *>(parcel.data()),
                         static_cast<std::uint16_t>(parcel.size()));
}

int TExCOM::TransmitBlock(const std::uint8_t *buffer, std::uint16_t count) {
    if (count == 0) return EX_ERR_WRITE_INCOMPLETE;
    if (!PortHandle_) return EX_ERR_WRITE;
    const platform::WriteResult written = PortHandle_->Write(buffer, count);
    if (!written.ok) return EX_ERR_WRITE;
    return written.written == count ? EX_OK : EX_ERR_WRITE_INCOMPLETE;
}

int TExCOM::ReadByte(std::uint8_t &byte) {
    if (!PortHandle_) return EX_ERR_READ;
    switch (PortHandle_->ReadByte(byte)) {
    case platform::ReadStatus::Byte: return EX_OK;
    case platform::ReadStatus::Timeout: return EX_ERR_READ_TIMEOUT;
    default: return EX_ERR_READ;
    }
}

int TExCOM::ReceiveParcel(std::string &answer) {
    answer.clear();
    std::uint8_t byte = 0;
    do {
        if (int rc = ReadByte(byte); rc != EX_OK) return rc;
    } while (byte != '!');
    std::string kept(1, '!');
    while (kept.back() != kCR) {
        if (kept.size() == kAnswerMax) return EX_ERR_READ_TIMEOUT;
        if (int rc = ReadByte(byte); rc != EX_OK) return rc;
        kept.push_back(static_cast<char>(byte));
    }
    answer = std::move(kept);
    return EX_OK;
}

int TExCOM::ReceiveBlock(std::uint8_t *buffer, std::uint16_t count) {
    for (std::uint16_t i = 0; i < count; ++i)
        if (int rc = ReadByte(buffer[i]); rc != EX_OK) return rc;
    return EX_OK;
}

int TExCOM::Exchange(std::uint16_t deviceType, std::uint8_t address, std::uint8_t command, std::string &data) {
    if (int rc = AutoConfigTimeout(deviceType); rc != EX_OK) return rc;
    std::string parcel;
    if (int rc = Record(BuildRequest(deviceType, address, command, data, parcel)); rc != EX_OK) return rc;
    if (int rc = Record(TransmitParcel(parcel)); rc != EX_OK) return rc;
    std::string answer;
    if (int rc = Record(ReceiveParcel(answer)); rc != EX_OK) return rc;
    std::uint8_t foundAddress = 0;
    if (int rc = Record(AnalyseAnswer(answer, foundAddress, data)); rc != EX_OK) return rc;
    return Record(AcceptPayload(deviceType, command, address, foundAddress, data));
}

int TExCOM::GetDeviceData(std::uint16_t deviceType, std::uint8_t address, std::uint16_t dataIndex, double &value) {
    value = 0;
    std::string data = std::to_string(dataIndex);
    if (int rc = Exchange(deviceType, address, 1, data); rc != EX_OK) return rc;
    if (!ParseReal(data, value)) {
        value = 0;
        return Record(EX_ERR_PAYLOAD);
    }
    return EX_OK;
}

}  // namespace devlink
