// Finding the transmitter over a range of ports and addresses, and giving it a new bus
// address and baud rate.
#pragma once

#include <string>

#include "project/Program.h"

namespace vilo {

// The ports COM1 .. COM10 as the port lists offer them.
inline constexpr int kSearchPortCount = 10;

// What the search controls show when the search starts.
struct SearchRange {
    int firstPortIndex = 0;  // COMmin's position (0: COM1)
    int lastPortIndex = 1;   // COMmax's position
    int firstAddress = 1;    // MinAddr
    int lastAddress = 5;     // MaxAddr
    int baudRate = 9600;     // the number cmbBaudIptv shows
};

// "Найти прибор" / "Остановить поиск": starts a search on a new runner, or asks the
// running one to stop; refused while a measurement runs.
void SearchButtonClick(Program &program, const SearchRange &range);
// The search itself, with its closing steps (settings read, page fill, controls restored).
void SearchDevice(Program &program, SearchRange range);
// A search of this program runs: the search button reads "Остановить поиск", and a click on it
// asks the search to stop.
bool SearchRunning(const Program &program);

// What the "Изменение параметров прибора" group shows.
struct LinkChange {
    std::string newAddress;  // DevAddr's text
    int newSpeedIndex = 5;   // DevSpeed's list position
};

// "Записать в прибор": refused while a measurement runs; otherwise disables the button and
// runs WriteAddressAndSpeed on a new runner.
void AddressButtonClick(Program &program, const LinkChange &change);
void WriteAddressAndSpeed(Program &program, LinkChange change);

// The warning of an address change refused for its speed list position: it names the rate.
std::string UnsupportedSpeedWarning(int speedIndex);

}  // namespace vilo
