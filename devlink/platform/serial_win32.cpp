// The serial port on Windows, over the Win32 communications calls.
//
// The port is opened by its DOS name ("COM1" .. "COM256") for reading and writing, with no
// sharing, so that a second opener in any process is refused with ERROR_ACCESS_DENIED. All
// I/O is synchronous (no overlapped handle): a write returns when the driver has taken the
// bytes, a read of one byte returns when it has arrived or the read timeout has passed.
#include "platform/serial.h"

#include <windows.h>

#include <string>

namespace devlink::platform {
namespace {

OpenStatus StatusOfOpenError(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND: return OpenStatus::NotFound;
    case ERROR_ACCESS_DENIED: return OpenStatus::AccessDenied;
    default: return OpenStatus::Failed;
    }
}

// The line the transmitters use: 8N1, binary, no flow control of any kind, no character
// handling, RTS on and DTR off. Members not named here keep what the port reported.
void SetLine(DCB &dcb, std::uint32_t baudRate)
{
    dcb.BaudRate = baudRate;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = 0;
    dcb.wReserved = 0;
    dcb.XonLim = 0;
    dcb.XoffLim = 1023;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0;
    dcb.XoffChar = 0;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
}

class Win32SerialPort final : public SerialPort {
public:
    explicit Win32SerialPort(HANDLE handle) : handle_(handle) {}
    ~Win32SerialPort() override { Close(); }

    Win32SerialPort(const Win32SerialPort &) = delete;
    Win32SerialPort &operator=(const Win32SerialPort &) = delete;

    bool ReadSettings() override
    {
        if (!IsOpen())
            return false;
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle_, &dcb))
            return false;
        dcb_ = dcb;
        haveSettings_ = true;
        return true;
    }

    bool WriteSettings(std::uint32_t baudRate) override
    {
        if (!IsOpen() || (!haveSettings_ && !ReadSettings()))
            return false;
        DCB dcb = dcb_;
        SetLine(dcb, baudRate);
        if (!SetCommState(handle_, &dcb))
            return false;
        dcb_ = dcb;
        return true;
    }

    bool ReadTimeouts() override
    {
        if (!IsOpen())
            return false;
        COMMTIMEOUTS timeouts{};
        if (!GetCommTimeouts(handle_, &timeouts))
            return false;
        timeouts_ = timeouts;
        return true;
    }

    bool WriteTimeouts(std::uint16_t readTimeoutMs) override
    {
        if (!IsOpen())
            return false;
        COMMTIMEOUTS timeouts = timeouts_;
        timeouts.ReadIntervalTimeout = 0;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = readTimeoutMs;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = 0;
        if (!SetCommTimeouts(handle_, &timeouts))
            return false;
        timeouts_ = timeouts;
        return true;
    }

    bool ClearBreak() override { return IsOpen() && EscapeCommFunction(handle_, CLRBREAK); }
    bool AbortTransfers() override { return Purge(PURGE_TXABORT | PURGE_RXABORT); }
    bool ClearTransmitBuffer() override { return Purge(PURGE_TXCLEAR); }
    bool ClearReceiveBuffer() override { return Purge(PURGE_RXCLEAR); }

    WriteResult Write(const std::uint8_t *data, std::size_t size) override
    {
        WriteResult result;
        if (!IsOpen() || size > MAXDWORD)
            return result;
        DWORD written = 0;
        result.ok = WriteFile(handle_, data, static_cast<DWORD>(size), &written, nullptr) != FALSE;
        result.written = written;
        return result;
    }

    ReadStatus ReadByte(std::uint8_t &byte) override
    {
        if (!IsOpen())
            return ReadStatus::Failed;
        DWORD read = 0;
        if (!ReadFile(handle_, &byte, 1, &read, nullptr))
            return ReadStatus::Failed;
        return read == 1 ? ReadStatus::Byte : ReadStatus::Timeout;
    }

    bool Close() override
    {
        if (!IsOpen())
            return false;
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != FALSE;
    }

private:
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool Purge(DWORD what) { return IsOpen() && PurgeComm(handle_, what); }

    HANDLE handle_;
    bool haveSettings_ = false;
    DCB dcb_{};
    COMMTIMEOUTS timeouts_{};
};

}  // namespace

std::unique_ptr<SerialPort> SerialPort::Open(unsigned portNumber, OpenStatus &status)
{
    // COM1 .. COM9 are opened by their DOS name as it stands. Windows resolves no other port
    // number that way: from COM10 on a port is reached only by its device path ("\\.\COM10"),
    // and without it a port that exists would be reported missing.
    const std::string name = (portNumber < 10 ? "COM" : "\\\\.\\COM") + std::to_string(portNumber);
    const HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        status = StatusOfOpenError(GetLastError());
        return nullptr;
    }
    try {
        status = OpenStatus::Ok;
        return std::make_unique<Win32SerialPort>(handle);
    } catch (...) {
        CloseHandle(handle);
        status = OpenStatus::Failed;
        return nullptr;
    }
}

}  // namespace devlink::platform
