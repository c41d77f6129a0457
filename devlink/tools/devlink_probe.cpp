// devlink-probe: finds ports and transmitters through the library and talks to one, as a
// quick check of a line. Usage: devlink-probe [PORT [FIRST LAST [BAUD]]]
#include <iconv.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "devlink.h"

namespace {

// The library's texts are Windows-1251; the terminal wants UTF-8.
std::string ToUtf8(const std::string &cp1251) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1)) return cp1251;
    std::string in = cp1251, out(in.size() * 3 + 1, '\0');
    char *src = in.data(), *dst = out.data();
    std::size_t left = in.size(), room = out.size();
    iconv(cd, &src, &left, &dst, &room);
    iconv_close(cd);
    out.resize(out.size() - room);
    return out;
}

std::string Message(int code) {
    std::vector<char> text(256);
    char *buffer = text.data();
    EX_GetExtendedErrorInfo(1, code, &buffer);
    return ToUtf8(text.data());
}

unsigned Number(const char *text, unsigned fallback) {
    unsigned value = fallback;
    if (text) std::from_chars(text, text + std::strlen(text), value);
    return value;
}

}  // namespace

int main(int argc, char **argv) {
    const char *port = argc > 1 ? argv[1] : "COM1";
    const unsigned first = Number(argc > 2 ? argv[2] : nullptr, 1);
    const unsigned last = Number(argc > 3 ? argv[3] : nullptr, 5);
    const unsigned baud = Number(argc > 4 ? argv[4] : nullptr, 9600);

    EX_HANDLE handle = EX_CreateCOM();
    std::vector<char> ports(1685);
    char *portList = ports.data();
    EX_SearchAvailableCOMPorts(handle, 0, nullptr, &portList);
    std::printf("Ports: %s\n", ports[0] ? ports.data() : "(none)");

    int rc = EX_SetBaudRate(handle, baud);
    if (rc == EX_OK) rc = EX_SetTimeout(handle, 300);
    if (rc == EX_OK) rc = EX_OpenCOM(handle, port);
    if (rc != EX_OK) {
        std::printf("%s: %d %s\n", port, rc, Message(rc).c_str());
        EX_FreeCOM(&handle);
        return 1;
    }
    std::vector<char> devices(64 * 1024);
    char *deviceList = devices.data();
    rc = EX_SearchAvailableDevices(handle, 0, nullptr, 0, first, last, &deviceList);
    std::printf("Devices on %s at %u baud, addresses %u-%u: %s (%d %s)\n", port, baud, first, last,
                devices[0] ? devices.data() : "(none)", rc, Message(rc).c_str());

    unsigned address = 0;
    if (devices[0] == '(') address = Number(devices.data() + 1, 0);
    if (address != 0) {
        char data[256] = "0";
        char *buffer = data;
        rc = EX_Exchange(handle, 0, address, 254, &buffer);
        std::printf("Version of %u: %s (%d %s)\n", address, rc == EX_OK ? data : "-", rc, Message(rc).c_str());
        for (unsigned parameter : {0u, 1u}) {
            double value = 0;
            rc = EX_GetDeviceData(handle, 1, address, parameter, &value);
            std::printf("Parameter %u: %.2f (%d %s)\n", parameter, value, rc, Message(rc).c_str());
        }
    }
    EX_CloseCOM(handle);
    EX_FreeCOM(&handle);
    return address != 0 ? 0 : 1;
}
