// Dew point, absolute humidity and moisture content of a gas from its temperature, relative
// humidity and pressure.
#pragma once

#include <functional>

namespace vilo {

enum class Derived { DewPoint, AbsoluteHumidity, MoistureContent };

// The partial vapour pressure e in kPa: Rh · es(T) / 100.
double VapourPressure(double T, double Rh);

// T in °C, Rh in % (0 or more), P in kPa. Delivers Td (°C), then a (g/m³), then d (ppm),
// each as soon as it is computed. An arithmetic failure (Rh = 0, P equal to the vapour
// pressure, a result that is not finite) ends the sequence there, silently.
void ComputeDerived(double T, double Rh, double P, const std::function<void(Derived, double)> &deliver);

}  // namespace vilo
