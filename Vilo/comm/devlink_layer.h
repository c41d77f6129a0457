// The program's exchange layer over the devlink library: request texts, the two-step memory
// transaction, the four-byte write, the decoders of hexadecimal answer fields, the texts of
// result codes and the port cycle that every device operation runs.
//
// Everything here runs on whatever thread calls it; a port handle belongs to one operation
// and one thread. The only shared state is WriteTargetAddress, which is safe to use from any
// thread.
#pragma once

#include <array>
#include <bit>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "devlink.h"

namespace vilo {

// Text buffers handed to the library: 255 characters and the terminator.
inline constexpr std::size_t kPayloadSize = 256;
// The line stays quiet this long after answer A and before a two-step transaction returns.
inline constexpr std::chrono::milliseconds kExchangePause{50};
// WriteTargetAddress keeps at most this many characters.
inline constexpr std::size_t kTargetAddressWidth = 50;

// Read timeouts of the operations, in milliseconds.
inline constexpr int kSearchTimeout = 1000;
inline constexpr int kLinkCheckTimeout = 1000;
inline constexpr int kReadSettingsTimeout = 500;
inline constexpr int kWriteParametersTimeout = 800;
inline constexpr int kWriteAddressTimeout = 800;
inline constexpr int kMeasurementTimeout = 500;

// The commands the program sends.
inline constexpr int kCmdIdentify = 0;
inline constexpr int kCmdMeasure = 1;
inline constexpr int kCmdSetPointer = 2;
inline constexpr int kCmdReadDecimal = 3;
inline constexpr int kCmdWriteByte = 4;
inline constexpr int kCmdReadHex = 8;
inline constexpr int kCmdVersion = 254;

// ---- Hex fields: 2n digits carry n bytes, byte 0 first, high nibble first within a pair.
// Digits are "0" to "9" and "a" to "f"; "A" to "F" are taken as well. Any other character
// adds nothing to its byte. A text shorter than the field reads as if padded with "0"
// (so "ff" gives 255 as a word); nothing beyond the text is read.

// A 16-bit value from the first four characters: byte 0 + 256 * byte 1.
std::uint16_t HexToWord(std::string_view text);
// An IEEE-754 single from the first eight characters, byte 0 the least significant.
float HexToSingle(std::string_view text);
// A one-byte field (command 8 with 1): HexToWord of the payload with "00" appended.
std::uint16_t HexToByteField(std::string_view payload);

// ---- Texts of result codes: whether the error log gets a line, and the message (UTF-8).
struct CodeMessage {
    bool HasMessage = false;
    std::string Text;
    bool operator==(const CodeMessage &) const = default;
};
// No message for 0; every other code has one. Port names the port the code came from.
CodeMessage ResultCodeText(std::int32_t code, std::string_view port);

// ---- Request texts
// ":" + address + ";" + command + ";"
std::string RequestBody(std::string_view address, int command);
// ":" + address + ";" + command + ";" + argument + ";"
std::string RequestBody(std::string_view address, int command, std::string_view argument);
std::string RequestBody(std::string_view address, int command, int argument);
// Body + the checksum text the library gives for it + CR. No lead byte. A body the library
// cannot checksum (too short or long, no ":") gets no checksum digits.
std::string RequestParcel(std::string_view body);

// ---- Exchanges
// Pointer and operation as one transaction: sends parcel A and takes its answer without
// looking at it, pauses, sends parcel B, takes its answer and splits it into the answer's
// address and its payload, and pauses again before returning, on every path. Returns the
// first non-zero library code, else 0.
// The address and the payload are set by the answer analysis of B only; when the
// transaction fails before it, both keep what the caller put there (callers put "0" into the
// payload before each read). The answer's address is not compared with the request's, and a
// device report "$N" arrives as payload with the result 0. The payload is the library's text
// as it came from the line (at most 255 characters).
std::int32_t TwoStepExchange(EX_HANDLE handle, std::string_view bodyA, std::string_view bodyB,
                             std::uint8_t &answerAddress, std::string &payload);

// The bus address the writes go to. The operations that open a port for writing set it from
// the device record right after the port opens.
class TargetAddress {
public:
    void Set(std::string_view address);  // keeps the first kTargetAddressWidth characters
    std::string Get() const;

private:
    mutable std::mutex mutex_;
    std::array<char, kTargetAddressWidth> text_{};
    std::size_t size_ = 0;
};
extern TargetAddress WriteTargetAddress;

// Writes a 32-bit value into four consecutive cells from firstCell (wrapping from 255 to 0),
// least significant byte first, each byte with its own pointer-and-write transaction to
// WriteTargetAddress. The first failure ends the write and is returned; the bytes after it
// are not sent.
std::int32_t WriteFourBytes(EX_HANDLE handle, std::uint8_t firstCell, std::uint32_t bits);

// The bits of a single as the transmitter stores it.
constexpr std::uint32_t SingleBits(float value) { return std::bit_cast<std::uint32_t>(value); }

// Whether the library runs a port at this baud rate (asked on a handle of its own, with no
// port opened). The program never gives the transmitter a rate the library refuses: it could
// not reach the transmitter any more.
bool LinkBaudAccepted(int baudRate);

// ---- The port cycle of one operation
// Creates a handle and sets the baud rate and then the read timeout (the timeout is not set
// when the baud rate was refused). Open and Close may follow as often as the operation
// needs, one port at a time (the search tries several). The destructor closes a port still
// open and frees the handle. The results of closing are not looked at.
enum class PortStep { None, BaudRate, Timeout, Open };

class PortCycle {
public:
    PortCycle(std::int32_t baudRate, int timeoutMs);
    ~PortCycle();
    PortCycle(const PortCycle &) = delete;
    PortCycle &operator=(const PortCycle &) = delete;

    // Baud rate and timeout were accepted: the operation may open a port and exchange.
    bool Ready() const { return setupCode_ == EX_OK; }
    // The code of the refused setting, 0 when both were accepted.
    std::int32_t SetupCode() const { return setupCode_; }

    // Opens the port; returns the library's code. Without Ready it returns SetupCode and
    // does not try. A port still open is closed first.
    std::int32_t Open(const std::string &port);
    // Closes the port (also after a failed open, as the operations do); the result is not
    // looked at.
    void Close();
    bool IsOpen() const { return open_; }

    // The step that failed (baud rate, timeout, or the last open) and its code; None and 0
    // once a port has opened.
    PortStep FailedStep() const { return failedStep_; }
    std::int32_t FailedCode() const { return failedCode_; }

    EX_HANDLE Handle() const { return handle_; }

private:
    EX_HANDLE handle_ = nullptr;
    std::int32_t setupCode_ = EX_OK;
    PortStep failedStep_ = PortStep::None;
    std::int32_t failedCode_ = EX_OK;
    bool open_ = false;
};

}  // namespace vilo
