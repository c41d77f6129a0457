/*
 * devlink: serial port access and the ASCII parcel protocol of the ВИЛО transmitters.
 *
 * The library exports 32 flat functions. Every one returns a 32-bit signed result code
 * (EX_CreateCOM returns the new handle instead). Texts are NUL-terminated single-byte
 * Windows-1251 texts.
 *
 * Argument forms:
 *  - "uint16" / "uint8" arguments are 32-bit integers of which only the low 16 or 8 bits
 *    are used (device type, baud rate, timeout, data index, byte count / bus address,
 *    command number, notify flag).
 *  - "text in": a NUL-terminated text; a null pointer counts as the empty text.
 *  - "text out": the address of the caller's own buffer pointer. When both the address and
 *    the pointer it designates are non-null, the library copies its result with a NUL into
 *    that buffer; otherwise the operation still runs and returns its code, but no text is
 *    delivered. The library never changes the caller's pointer and never allocates, frees
 *    or resizes caller memory. Buffer sizes needed (including the NUL): 256 bytes for every
 *    text out except the channel index text (531), the port list (1685) and the results of
 *    EX_SearchAvailableDevices and EX_Split, whose length follows from the input.
 *  - "uint16 out", "uint8 out", "double out": the address of a caller variable; a null
 *    address delivers nothing.
 *  - "count": the address of a caller uint16 holding a byte count.
 *  - handle: the value returned by EX_CreateCOM; a null handle gives EX_ERR_NULL_HANDLE
 *    and nothing else is done, out-arguments stay untouched.
 *
 * When an operation fails, text-out buffers hold whatever it delivered on its way; use a
 * text only after a result of EX_OK.
 *
 * Threads: each handle is used by one thread at a time; different handles may be used
 * from different threads at once. EX_StopSearchAvailableDevices is the one export that
 * may be called on a handle from another thread while EX_SearchAvailableDevices runs.
 */
#ifndef DEVLINK_H
#define DEVLINK_H

#include <stdint.h>

#if defined(_WIN32)
#define EX_CALL __stdcall
#else
#define EX_CALL
#endif

#if defined(_WIN32) && defined(DEVLINK_BUILDING)
#define EX_API __declspec(dllexport)
#elif defined(DEVLINK_BUILDING)
#define EX_API __attribute__((visibility("default")))
#else
#define EX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. Codes EX_DEVICE_ERROR_BASE - N (N = 0 .. 225) carry the device's own error N. */
enum {
    EX_OK = 0,
    EX_ERR_GENERAL = -1,            /* not raised by the library; callers may use it */
    EX_ERR_BAD_ARGUMENT = -2,       /* bad port name, baud rate, missing data, kind, range, list */
    EX_ERR_ALREADY_OPEN = -3,       /* port already open on this handle */
    EX_ERR_PORT_MISSING = -4,       /* port does not exist */
    EX_ERR_PORT_BUSY = -5,          /* port in use by another program (access denied) */
    EX_ERR_PORT_UNAVAILABLE = -6,   /* port cannot be opened for another reason */
    EX_ERR_GET_SETTINGS = -7,       /* port settings cannot be read */
    EX_ERR_SET_SETTINGS = -8,       /* port settings cannot be written; break clear or purge failed */
    EX_ERR_NOT_OPEN = -9,           /* text only */
    EX_ERR_CLOSE = -10,             /* port cannot be closed, also when it was not open */
    EX_ERR_WRITE = -11,             /* write to the port failed */
    EX_ERR_WRITE_INCOMPLETE = -12,  /* nothing or only part written; empty parcel or block */
    EX_ERR_READ = -13,              /* read from the port failed */
    EX_ERR_READ_TIMEOUT = -14,      /* no byte within the timeout, or an answer over 255 characters */
    EX_ERR_LENGTH = -15,            /* bad parcel length */
    EX_ERR_STRUCTURE = -16,         /* no start character, no CR, nothing after it, bad address field */
    EX_ERR_UNKNOWN_TYPE = -17,      /* device type or name not in the table */
    EX_ERR_BAD_COMMAND = -18,       /* command not accepted by this device type */
    EX_ERR_CHECKSUM = -19,          /* checksum of the answer wrong */
    EX_ERR_ADDRESS = -20,           /* answer from another address */
    EX_ERR_PAYLOAD = -21,           /* empty payload, missing acknowledgement, unreadable number */
    EX_ERR_DEVICE = -22,            /* text only */
    EX_ERR_NULL_HANDLE = -99,       /* null handle or handle variable */
    EX_DEVICE_ERROR_BASE = -1000
};

/* The opaque port handle: the address of one port object. */
typedef void *EX_HANDLE;

/* A window that receives the searches' progress messages; null means every window. */
typedef void *EX_WINDOW;

/*
 * The caller's string list, which the three Extract exports fill. The library calls only
 * these three members and passes them Owner. A null TStrings pointer is a missing list.
 */
typedef struct TStrings {
    void *Owner;                                      /* the caller's list */
    void (*Clear)(void *Owner);
    void (*SetText)(void *Owner, const char *Text);   /* whole text: a CR ends a line, a last piece
                                                         without CR is a line, "" gives no lines */
    void (*Add)(void *Owner, const char *Line);       /* the list copies Line */
} TStrings;

/* ---- Port handle (ordinals 1 to 10, 16 to 20) ---------------------------------------- */

/* 1. Creates a port object: "COM1", 9600 baud, timeout 1000 ms, port closed, the two
 *    progress messages registered. Returns the handle (never null). */
EX_API EX_HANDLE EX_CALL EX_CreateCOM(void);

/* 2. Releases the object whose handle the variable at Handle holds and nulls the variable.
 *    Close the port first; a port still open is released with the object, so that it is not
 *    held for the rest of the process. Returns 0, or -99 when Handle or the variable is null. */
EX_API int32_t EX_CALL EX_FreeCOM(EX_HANDLE *Handle);

/* 3. Sets the baud rate (uint16). The rate divided by 100 must be 3, 6, 12, 24, 48, 96 or
 *    192 (so 300 .. 19200, and rates such as 9650 as they stand); otherwise -2 and nothing
 *    changes. On an open port the line settings are written at once (-7, -8); on a closed
 *    one at the next open. Returns 0, -2, -7, -8, -99. */
EX_API int32_t EX_CALL EX_SetBaudRate(EX_HANDLE Handle, uint32_t BaudRate);

/* 4. Delivers the baud rate (uint16 out). Returns 0, -99. */
EX_API int32_t EX_CALL EX_GetBaudRate(EX_HANDLE Handle, uint16_t *BaudRate);

/* 5. Sets the read timeout per byte in milliseconds (uint16); applied at once to an open
 *    port, else at the next open. Returns 0, -7, -8, -99. */
EX_API int32_t EX_CALL EX_SetTimeout(EX_HANDLE Handle, uint32_t Timeout);

/* 6. Delivers the read timeout (uint16 out). Returns 0, -99. */
EX_API int32_t EX_CALL EX_GetTimeout(EX_HANDLE Handle, uint16_t *Timeout);

/* 7. Opens the port named "COM1" .. "COM256" (upper case, the number without sign; leading
 *    zeros are allowed within four digits and name the same port, a longer name is refused)
 *    with the line 8N1, RTS on, DTR off, the handle's baud rate and timeout, and clears
 *    break and buffers. Returns 0; -3 when already open; -2 for a bad name; -4 no such
 *    port; -5 in use; -6 otherwise unavailable; -7, -8 settings; -99. */
EX_API int32_t EX_CALL EX_OpenCOM(EX_HANDLE Handle, const char *PortName);

/* 8. Closes the port. Returns 0; -10 when closing fails or the port was not open; -99. */
EX_API int32_t EX_CALL EX_CloseCOM(EX_HANDLE Handle);

/* 9. Reads one number with command 1 and the data index (uint16) in decimal as data from
 *    the device of the type (uint16) at the address (uint8), and delivers it (double out,
 *    0 on failure). Returns 0, -21 when the payload is not a number, or the exchange's code. */
EX_API int32_t EX_CALL EX_GetDeviceData(EX_HANDLE Handle, uint32_t DeviceType, uint32_t Address,
                                        uint32_t DataIndex, double *Value);

/* 10. One request and its answer with a device of the type (uint16) at the address (uint8):
 *     command (uint8) with the text of *Data as data (a null Data or *Data means no data).
 *     Sets the timeout for the type first. The buffer *Data is then overwritten: after a
 *     failure before the answer is analysed it keeps the text that was sent; from the
 *     analysis on it holds the payload (so a device report "$N" comes back as text and as
 *     -1000 - N). The buffer needs 256 bytes. Returns 0 or the first failing step's code. */
EX_API int32_t EX_CALL EX_Exchange(EX_HANDLE Handle, uint32_t DeviceType, uint32_t Address,
                                   uint32_t Command, char **Data);

/* ---- Parcels and checksums (ordinals 11 to 15, 32) ----------------------------------- */

/* 11. Delivers the parcel checksum of Parcel as decimal text (text out, up to 5 digits):
 *     the CRC-16/MODBUS of every character after the first ":" (or, without one, the first
 *     "!"). The text must be 2 to 249 characters long. On failure the text is empty.
 *     Returns 0; -15 for the length; -16 without a start character or nothing after it. */
EX_API int32_t EX_CALL EX_ASCIICRCWord(const char *Parcel, char **Crc);

/* 12. Appends the CRC-16/MODBUS of the first *Count bytes of Buffer to it, low byte first,
 *     adds 2 to *Count and delivers the value (uint16 out). The buffer needs *Count + 2
 *     bytes. The checksum out is set to 0 first. Returns 0; -15 when the count is not 1 to
 *     4093 (also for a null Count or Buffer), then nothing else changes. */
EX_API int32_t EX_CALL EX_ArrayCRCWord(uint8_t *Buffer, uint16_t *Count, uint16_t *Crc);

/* 13. Delivers 255 minus the sum modulo 256 of the first *Count bytes (uint8 out, set to 0
 *     first); buffer and count stay unchanged. Returns 0; -15 when the count is not 1 to 4093
 *     (also for a null Count or Buffer). */
EX_API int32_t EX_CALL EX_ArrayCRCByte(const uint8_t *Buffer, const uint16_t *Count, uint8_t *Crc);

/* 14. Builds the request parcel for a device type (uint16), address (uint8), command (uint8)
 *     and data: 0xFF, ":", address, ";", command, ";", [data, ";",] checksum, CR, as the
 *     type's command rules say (text out, up to 255 characters; empty on failure).
 *     Returns 0; -2 data missing or unknown kind; -15 too long; -17 type; -18 command. */
EX_API int32_t EX_CALL EX_CreateRequestParcel(uint32_t DeviceType, uint32_t Address,
                                              uint32_t Command, const char *Data, char **Parcel);

/* 15. Checks an answer ("!" or ":" ... fields ";" ... checksum, CR) and delivers the address
 *     field's low 8 bits (uint8 out) and the payload (text out; one field as it stands,
 *     several each followed by ";"). On failure the address is 0 and the payload empty.
 *     A checksum field that is not a decimal integer counts as a wrong checksum (-19).
 *     Returns 0, -15, -16, -19. */
EX_API int32_t EX_CALL EX_AnalysisAnswerParcel(const char *Answer, uint8_t *Address, char **Payload);

/* ---- Transfer (ordinals 16 to 20) ---------------------------------------------------- */

/* 16. Sets the read timeout to the device type's own (uint16); type 0 keeps the current one.
 *     Returns 0, -7, -8, -17, -99. */
EX_API int32_t EX_CALL EX_AutoConfigTimeout(EX_HANDLE Handle, uint32_t DeviceType);

/* 17. Writes the text as it stands in one write. Returns 0; -11 failed (also on a closed
 *     port); -12 nothing or only part written, or an empty text; -99. */
EX_API int32_t EX_CALL EX_TransmitParcel(EX_HANDLE Handle, const char *Parcel);

/* 18. Reads an answer: skips bytes up to the first "!", then keeps bytes through CR and
 *     delivers them (text out, at most 255 characters). Returns 0; -13 read failed (also on
 *     a closed port or a line that hung up); -14 no byte within the timeout or a 256th
 *     byte; -99. */
EX_API int32_t EX_CALL EX_ReciveParcel(EX_HANDLE Handle, char **Answer);

/* 19. Writes exactly Count (uint16) bytes of Buffer in one write. Returns 0, -11, -12 (also
 *     for a count of 0), -99. */
EX_API int32_t EX_CALL EX_TransmitBlock(EX_HANDLE Handle, const uint8_t *Buffer, uint32_t Count);

/* 20. Reads *Count bytes into Buffer, one at a time; *Count is not changed. Returns 0 (at
 *     once for a count of 0 or a null Count), -13, -14, -99. */
EX_API int32_t EX_CALL EX_ReceiveBlock(EX_HANDLE Handle, uint8_t *Buffer, const uint16_t *Count);

/* ---- Searches (ordinals 21, 22, 27 to 29) -------------------------------------------- */

/* 21. Tries every port COM1 .. COM256 and delivers the names of the ports that exist, each
 *     followed by ";" (text out, up to 1684 characters), in use or not. With the notify
 *     flag (uint8) set, posts "SX_SearchAvailableCOMPorts" (port number, port number) to
 *     the window after ports 64, 128, 192 and 256 and pauses 100 ms each time. The handle's
 *     own port and settings are not touched. Returns 0, -99. */
EX_API int32_t EX_CALL EX_SearchAvailableCOMPorts(EX_HANDLE Handle, uint32_t Notify,
                                                  EX_WINDOW Window, char **PortList);

/* 22. Clears the list and adds one line per ";"-terminated name of the port list.
 *     Returns 0; -2 for a null list. */
EX_API int32_t EX_CALL EX_ExtractAvailableCOMPorts(const char *PortList, TStrings *Lines);

/* ---- Device types and error texts (ordinals 23 to 26, 30, 31) ------------------------ */

/* 23. Delivers the name (text out), channel count, extra index count (uint16 out) and
 *     channel index text (text out, up to 530 characters) of a device type (uint16).
 *     Returns 0; -17 for an unknown type, then nothing is written. */
EX_API int32_t EX_CALL EX_GetDeviceInfoByType(uint32_t DeviceType, char **Name, uint16_t *ChannelCount,
                                              uint16_t *ExtraCount, char **ChannelIndexes);

/* 24. The same by the exact, case-sensitive name, delivering the type number instead of
 *     the name. Returns 0; -17 for a name not in the table, then nothing is written. */
EX_API int32_t EX_CALL EX_GetDeviceInfoByName(const char *Name, uint16_t *DeviceType, uint16_t *ChannelCount,
                                              uint16_t *ExtraCount, char **ChannelIndexes);

/* 25. Delivers the names of all 15 device types in table order, each followed by ";"
 *     (text out). Returns 0. */
EX_API int32_t EX_CALL EX_GetAllDevicesNames(char **Names);

/* 26. Clears the list and adds one line per ";"-terminated name (a last piece without ";"
 *     is a line too). Returns 0; -2 for a null list. */
EX_API int32_t EX_CALL EX_ExtractAllDevicesNames(const char *Names, TStrings *Lines);

/* ---- Device search (ordinals 27 to 29) ----------------------------------------------- */

/* 27. Sends command 0 to every address from First to Last (uint8) and delivers the groups
 *     "(" address "," payload ")" of the addresses that answered (text out; 8 + 255
 *     characters per address at the most). The timeout is the type's (uint16; 1200 ms for
 *     types from 17 up; type 0 keeps the current one). With the notify flag set, posts
 *     "SX_SearchAvailableDevices" (address, address or 0xFFFF) after each address.
 *     Returns 0 (also when stopped); -2 when First > Last; -7, -8, -17 for the timeout;
 *     -11, -12 when the port cannot be written (the list is then empty); -99. */
EX_API int32_t EX_CALL EX_SearchAvailableDevices(EX_HANDLE Handle, uint32_t Notify, EX_WINDOW Window,
                                                 uint32_t DeviceType, uint32_t First, uint32_t Last,
                                                 char **DeviceList);

/* 28. Asks a running device search on this handle, from any thread, to end before its next
 *     address. A stop before a search starts has no effect on it. Returns 0, -99. */
EX_API int32_t EX_CALL EX_StopSearchAvailableDevices(EX_HANDLE Handle);

/* 29. Splits a device list into its addresses and payloads, one line each. Returns 0; -2
 *     when either list is null, then neither is touched. */
EX_API int32_t EX_CALL EX_ExtractAvailableDevices(const char *DeviceList, TStrings *Addresses,
                                                  TStrings *Payloads);

/* ---- Device errors and texts (ordinals 30 to 32) ------------------------------------- */

/* 30. Returns -1000 - N for a payload whose text after its first "$" is the decimal integer
 *     N, -21 for anything else. */
EX_API int32_t EX_CALL EX_ConvertDeviceError(const char *Payload);

/* 31. Delivers the message for a result code (text out, up to 255 characters); the device
 *     type (uint16) matters only for device errors (-1000 .. -1225). Always returns 0. */
EX_API int32_t EX_CALL EX_GetExtendedErrorInfo(uint32_t DeviceType, int32_t Code, char **Message);

/* 32. Replaces the pattern by the replacement: repeatedly the first occurrence counted from
 *     the beginning of the text, until there is none (text out). Equal pattern and
 *     replacement, or an empty pattern, give the source. Where that repetition would never
 *     end, would make the text longer than 65535 characters, or has not ended after 2^30
 *     replacements, every occurrence of the source is replaced instead in one left-to-right
 *     pass. Always returns 0. */
EX_API int32_t EX_CALL EX_Split(const char *Source, const char *Pattern, const char *Replacement,
                                char **Result);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#include <string>
#include <vector>

namespace devlink {

/* A TStrings over a std::vector<std::string>, for C++ callers of the Extract exports:
 *     std::vector<std::string> names;
 *     devlink::StringList list(names);
 *     EX_ExtractAllDevicesNames(text, list.get());                                        */
class StringList {
public:
    explicit StringList(std::vector<std::string> &lines) : lines_(lines) {
        strings_.Owner = this;
        strings_.Clear = [](void *owner) { static_cast<StringList *>(owner)->lines_.clear(); };
        strings_.SetText = [](void *owner, const char *text) { static_cast<StringList *>(owner)->SetText(text); };
        strings_.Add = [](void *owner, const char *line) {
            static_cast<StringList *>(owner)->lines_.emplace_back(line ? line : "");
        };
    }
    StringList(const StringList &) = delete;
    StringList &operator=(const StringList &) = delete;

    TStrings *get() { return &strings_; }

private:
    void SetText(const char *text) {
        lines_.clear();
        std::string rest(text ? text : "");
        for (std::size_t start = 0; start < rest.size();) {
            std::size_t cr = rest.find('\r', start);
            if (cr == std::string::npos) cr = rest.size();
            lines_.push_back(rest.substr(start, cr - start));
            start = cr + 1;
        }
    }

    std::vector<std::string> &lines_;
    TStrings strings_{};
};

}  // namespace devlink
#endif /* __cplusplus */

#endif /* DEVLINK_H */
