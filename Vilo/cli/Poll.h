// vilo-cli poll: the measurement job on the console, one line per cycle on standard output
// and, with --csv, in a CSV file.
#pragma once

#include "cli/Options.h"
#include "project/Program.h"

namespace vilo::cli {

// Runs the measurement until --cycles complete cycles have been shown, or until SIGINT or
// SIGTERM, and then stops it in order (the port closed). Each complete cycle prints the time
// and the nine values W code, U code, T, Rh, Td, a, d, ADC code and P; the error-log lines go
// to standard error. Exit status 0 when the run ended by --cycles or a signal, 1 when it
// stopped on errors, the port failed or the CSV file could not be written.
int Poll(Program &program, const Options &options);

}  // namespace vilo::cli
