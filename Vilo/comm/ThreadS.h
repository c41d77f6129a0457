// Writing the edited parameters into the transmitter: the write button and TSaveThread's cycle.
#pragma once

#include <string>

#include "project/Program.h"

namespace vilo {

// "Записать параметры в прибор": refused while a measurement runs; asks for confirmation,
// then disables the button, clears the log and runs the write cycle on its own thread.
// searchBaudIndex is cmbBaudIptv's list position, which the speed cell gets.
void WriteButtonClick(Program &program, int searchBaudIndex);
// The write plan of 12 steps (TSaveThread's body).
void WriteParameters(Program &program, int searchBaudIndex);

// Whether the library can run a port at the rate of this speed-list position (its rate / 100
// is 3, 6, 12, 24, 48, 96 or 192). The speed cell never gets the code of a rate it refuses:
// a transmitter set to one would be out of this program's reach.
bool SpeedAccepted(int baudIndex);
// The error-log line of a write cycle that left the speed cell alone for that reason:
// "Скорость 115200 бод не поддерживается: ячейка скорости не записана."
std::string SpeedSkippedLine(int baudIndex);

}  // namespace vilo
