// The serial line as the port object needs it: one private interface, one implementation
// file per platform (serial_posix.cpp on Linux), chosen by the build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace devlink::platform {

enum class OpenStatus {
    Ok,
    NotFound,      // no such port
    AccessDenied,  // in use by another opener
    Failed,        // any other reason
};

enum class ReadStatus {
    Byte,     // one byte was read
    Timeout,  // no byte arrived within the read timeout
    Failed,   // the read failed (also: the line hung up)
};

struct WriteResult {
    bool ok = false;          // false: the write call itself failed
    std::size_t written = 0;  // bytes actually written
};

// One open port. Every call blocks the calling thread until it ends.
class SerialPort {
public:
    // Opens the port "COMn" (n = 1 .. 256, already checked by the caller) for reading and
    // writing, exclusively, without changing its settings.
    static std::unique_ptr<SerialPort> Open(unsigned portNumber, OpenStatus &status);

    virtual ~SerialPort() = default;

    // Reads the line settings and keeps them; false when they cannot be read.
    virtual bool ReadSettings() = 0;
    // Writes the kept settings with a raw 8N1 line at the rate, no flow control, RTS on and
    // DTR off where the line has modem controls; false when they cannot be written.
    virtual bool WriteSettings(std::uint32_t baudRate) = 0;
    // Reads the timeouts; false when they cannot be read.
    virtual bool ReadTimeouts() = 0;
    // Makes every single-byte read end after at most readTimeoutMs; writes have no limit.
    virtual bool WriteTimeouts(std::uint16_t readTimeoutMs) = 0;

    virtual bool ClearBreak() = 0;
    virtual bool AbortTransfers() = 0;
    virtual bool ClearTransmitBuffer() = 0;
    virtual bool ClearReceiveBuffer() = 0;

    // Writes the whole buffer in one call and waits until the bytes have left.
    virtual WriteResult Write(const std::uint8_t *data, std::size_t size) = 0;
    // Reads one byte, waiting at most the read timeout.
    virtual ReadStatus ReadByte(std::uint8_t &byte) = 0;

    // Closes the port; false when that fails. The object is closed afterwards either way.
    virtual bool Close() = 0;
};

}  // namespace devlink::platform
