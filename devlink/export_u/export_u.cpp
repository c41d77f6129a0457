// The 32 exports: argument forms in, the port object and the protocol core behind them.
#include <cstring>
#include <string>
#include <string_view>

#include "ascii_u/checksum.h"
#include "ascii_u/device_table.h"
#include "ascii_u/error_texts.h"
#include "ascii_u/parcel.h"
#include "ascii_u/replace.h"
#include "com_u/ex_com.h"
#include "devlink.h"

using namespace devlink;

namespace {

std::string_view TextIn(const char *text) { return text ? std::string_view(text) : std::string_view(); }

// Copies the text with its NUL into the caller's buffer, when there is one.
void TextOut(char **buffer, std::string_view text) {
    if (buffer == nullptr || *buffer == nullptr) return;
    std::memcpy(*buffer, text.data(), text.size());
    (*buffer)[text.size()] = '\0';
}

template <typename T>
void ValueOut(T *variable, T value) {
    if (variable) *variable = value;
}

TExCOM *Com(EX_HANDLE handle) { return static_cast<TExCOM *>(handle); }

std::uint16_t Low16(std::uint32_t value) { return static_cast<std::uint16_t>(value & 0xFFFF); }
std::uint8_t Low8(std::uint32_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

void FillLines(TStrings *lines, std::string_view text) {
    lines->Clear(lines->Owner);
    lines->SetText(lines->Owner, std::string(text).c_str());
}

void DeliverDeviceInfo(const TDeviceInfo &row, std::uint16_t *channelCount, std::uint16_t *extraCount,
                       char **channelIndexes) {
    ValueOut(channelCount, row.ChannelCount);
    ValueOut(extraCount, row.ExtraCount);
    TextOut(channelIndexes, row.ChannelIndexes);
}

}  // namespace

extern "C" {

EX_HANDLE EX_CALL EX_CreateCOM(void) { return new TExCOM(); }

int32_t EX_CALL EX_FreeCOM(EX_HANDLE *handle) {
    if (handle == nullptr || *handle == nullptr) return EX_ERR_NULL_HANDLE;
    delete Com(*handle);
    *handle = nullptr;
    return EX_OK;
}

int32_t EX_CALL EX_SetBaudRate(EX_HANDLE handle, uint32_t baudRate) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    return Com(handle)->SetBaudRate(Low16(baudRate));
}

int32_t EX_CALL EX_GetBaudRate(EX_HANDLE handle, uint16_t *baudRate) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    ValueOut(baudRate, Com(handle)->BaudRate());
    return EX_OK;
}

int32_t EX_CALL EX_SetTimeout(EX_HANDLE handle, uint32_t timeout) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    return Com(handle)->SetTimeout(Low16(timeout));
}

int32_t EX_CALL EX_GetTimeout(EX_HANDLE handle, uint16_t *timeout) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    ValueOut(timeout, Com(handle)->Timeout());
    return EX_OK;
}

int32_t EX_CALL EX_OpenCOM(EX_HANDLE handle, const char *portName) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    return Com(handle)->Open(TextIn(portName));
}

int32_t EX_CALL EX_CloseCOM(EX_HANDLE handle) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    return Com(handle)->Close();
}

int32_t EX_CALL EX_GetDeviceData(EX_HANDLE handle, uint32_t deviceType, uint32_t address, uint32_t dataIndex,
                                 double *value) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    double result = 0;
    const int rc = Com(handle)->GetDeviceData(Low16(deviceType), Low8(address), Low16(dataIndex), result);
    ValueOut(value, result);
    return rc;
}

int32_t EX_CALL EX_Exchange(EX_HANDLE handle, uint32_t deviceType, uint32_t address, uint32_t command, char **data) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    std::string text(data ? TextIn(*data) : std::string_view());
    const int rc = Com(handle)->Exchange(Low16(deviceType), Low8(address), Low8(command), text);
    TextOut(data, text);
    return rc;
}

int32_t EX_CALL EX_ASCIICRCWord(const char *parcel, char **crc) {
    std::string digits;
    const int rc = TextChecksum(TextIn(parcel), digits);
    TextOut(crc, digits);
    return rc;
}

int32_t EX_CALL EX_ArrayCRCWord(uint8_t *buffer, uint16_t *count, uint16_t *crc) {
    std::uint16_t value = 0;
    std::uint16_t size = count ? *count : 0;
    const int rc = AppendBufferCrc(buffer, size, value);
    if (rc == EX_OK) *count = size;
    ValueOut(crc, value);
    return rc;
}

int32_t EX_CALL EX_ArrayCRCByte(const uint8_t *buffer, const uint16_t *count, uint8_t *crc) {
    std::uint8_t value = 0;
    const int rc = BufferByteSum(buffer, count ? *count : 0, value);
    ValueOut(crc, value);
    return rc;
}

int32_t EX_CALL EX_CreateRequestParcel(uint32_t deviceType, uint32_t address, uint32_t command, const char *data,
                                       char **parcel) {
    std::string text;
    const int rc = BuildRequest(Low16(deviceType), Low8(address), Low8(command), TextIn(data), text);
    TextOut(parcel, text);
    return rc;
}

int32_t EX_CALL EX_AnalysisAnswerParcel(const char *answer, uint8_t *address, char **payload) {
    std::uint8_t found = 0;
    std::string text;
    const int rc = AnalyseAnswer(TextIn(answer), found, text);
    ValueOut(address, found);
    TextOut(payload, text);
    return rc;
}

int32_t EX_CALL EX_AutoConfigTimeout(EX_HANDLE handle, uint32_t deviceType) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    return Com(handle)->AutoConfigTimeout(Low16(deviceType));
}

int32_t EX_CALL EX_TransmitParcel(EX_HANDLE handle, const char *parcel) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    return Com(handle)->TransmitParcel(TextIn(parcel));
}

int32_t EX_CALL EX_ReciveParcel(EX_HANDLE handle, char **answer) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    std::string text;
    const int rc = Com(handle)->ReceiveParcel(text);
    TextOut(answer, text);
    return rc;
}

int32_t EX_CALL EX_TransmitBlock(EX_HANDLE handle, const uint8_t *buffer, uint32_t count) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    const std::uint16_t size = Low16(count);
    if (buffer == nullptr && size > 0) return EX_ERR_WRITE;
    return Com(handle)->TransmitBlock(buffer, size);
}

int32_t EX_CALL EX_ReceiveBlock(EX_HANDLE handle, uint8_t *buffer, const uint16_t *count) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    const std::uint16_t size = count ? *count : 0;
    if (buffer == nullptr && size > 0) return EX_ERR_READ;
    return Com(handle)->ReceiveBlock(buffer, size);
}

int32_t EX_CALL EX_SearchAvailableCOMPorts(EX_HANDLE handle, uint32_t notify, EX_WINDOW window, char **portList) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    TextOut(portList, Com(handle)->SearchAvailableCOMPorts(Low8(notify) != 0, window));
    return EX_OK;
}

int32_t EX_CALL EX_ExtractAvailableCOMPorts(const char *portList, TStrings *lines) {
    if (lines == nullptr) return EX_ERR_BAD_ARGUMENT;
    FillLines(lines, ReplaceRepeatedly(TextIn(portList), ";", "\r"));
    return EX_OK;
}

int32_t EX_CALL EX_GetDeviceInfoByType(uint32_t deviceType, char **name, uint16_t *channelCount,
                                       uint16_t *extraCount, char **channelIndexes) {
    TDeviceInfo row;
    if (int rc = LookupDeviceByType(Low16(deviceType), row); rc != EX_OK) return rc;
    TextOut(name, row.Name);
    DeliverDeviceInfo(row, channelCount, extraCount, channelIndexes);
    return EX_OK;
}

int32_t EX_CALL EX_GetDeviceInfoByName(const char *name, uint16_t *deviceType, uint16_t *channelCount,
                                       uint16_t *extraCount, char **channelIndexes) {
    TDeviceInfo row;
    if (int rc = LookupDeviceByName(TextIn(name), row); rc != EX_OK) return rc;
    ValueOut(deviceType, row.DeviceType);
    DeliverDeviceInfo(row, channelCount, extraCount, channelIndexes);
    return EX_OK;
}

int32_t EX_CALL EX_GetAllDevicesNames(char **names) {
    TextOut(names, AllDeviceNames());
    return EX_OK;
}

int32_t EX_CALL EX_ExtractAllDevicesNames(const char *names, TStrings *lines) {
    if (lines == nullptr) return EX_ERR_BAD_ARGUMENT;
    FillLines(lines, ReplaceRepeatedly(TextIn(names), ";", "\r"));
    return EX_OK;
}

int32_t EX_CALL EX_SearchAvailableDevices(EX_HANDLE handle, uint32_t notify, EX_WINDOW window, uint32_t deviceType,
                                          uint32_t first, uint32_t last, char **deviceList) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    std::string list;
    const int rc =
        Com(handle)->SearchAvailableDevices(Low8(notify) != 0, window, Low16(deviceType), Low8(first), Low8(last), list);
    TextOut(deviceList, list);
    return rc;
}

int32_t EX_CALL EX_StopSearchAvailableDevices(EX_HANDLE handle) {
    if (!handle) return EX_ERR_NULL_HANDLE;
    Com(handle)->StopSearchAvailableDevices();
    return EX_OK;
}

int32_t EX_CALL EX_ExtractAvailableDevices(const char *deviceList, TStrings *addresses, TStrings *payloads) {
    if (addresses == nullptr || payloads == nullptr) return EX_ERR_BAD_ARGUMENT;
    addresses->Clear(addresses->Owner);
    payloads->Clear(payloads->Owner);
    std::string_view text = TextIn(deviceList);
    text = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::string_view();
    for (const std::string &line : SplitLines(ReplaceRepeatedly(text, ")(", "\r"))) {
        const auto comma = line.find(',');
        addresses->Add(addresses->Owner, line.substr(0, comma == std::string::npos ? 0 : comma).c_str());
        payloads->Add(payloads->Owner, line.substr(comma == std::string::npos ? 0 : comma + 1).c_str());
    }
    return EX_OK;
}

int32_t EX_CALL EX_ConvertDeviceError(const char *payload) { return ConvertDeviceError(TextIn(payload)); }

int32_t EX_CALL EX_GetExtendedErrorInfo(uint32_t deviceType, int32_t code, char **message) {
    TextOut(message, ExtendedErrorInfo(Low16(deviceType), code));
    return EX_OK;
}

int32_t EX_CALL EX_Split(const char *source, const char *pattern, const char *replacement, char **result) {
    TextOut(result, ReplaceRepeatedly(TextIn(source), TextIn(pattern), TextIn(replacement)));
    return EX_OK;
}

}  // extern "C"
