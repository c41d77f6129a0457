// Reading the transmitter's settings into the device record, and the link check.
#pragma once

#include "project/Program.h"

namespace vilo {

// The read buttons ("Прочитать настройки", "Прочитать значения параметров"): disable both and
// run ReadSettingsJob on a new runner.
void ReadButtonsClick(Program &program);
// ReadDeviceSettings, then the page filled, the note and status cleared, progress 0, buttons on.
void ReadSettingsJob(Program &program);
// The read cycle of the 16-cell plan; refused with a log line while a measurement runs.
void ReadDeviceSettings(Program &program);
// "Проверить связь": identification of the device at its address; the message says whether
// it answered. Runs on the caller's thread.
void CheckLink(Program &program);

}  // namespace vilo
