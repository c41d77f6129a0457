#include "measure/Humidity.h"

#include <cmath>

namespace vilo {
namespace {

// Saturation vapour pressure in kPa: exp of a quartic in T, one set of coefficients below
// 0 °C and one from 0 °C up.
double SaturationPressure(double T) {
    static constexpr double kBelowZero[] = {-0.49305, 0.082362, -0.00031093, 7.7593e-07, -8.4525e-09};
    static constexpr double kFromZero[] = {-0.4929, 0.07263, -0.00029486, 1.016e-06, -2.0506e-09};
    const double *c = T < 0 ? kBelowZero : kFromZero;
    return std::exp(c[0] + c[1] * T + c[2] * T * T + c[3] * T * T * T + c[4] * T * T * T * T);
}

// Dew point in °C from the logarithm of the vapour pressure.
double DewPoint(double e, double L) {
    static constexpr double kLow[] = {6.0532, 12.563, 0.51397, 0.013166};
    static constexpr double kHigh[] = {6.9961, 14.604, 0.76744, 0.087849};
    const double *k = e < 0.6107 ? kLow : kHigh;
    return k[0] + k[1] * L + k[2] * L * L + k[3] * L * L * L;
}

}  // namespace

double VapourPressure(double T, double Rh) { return Rh * SaturationPressure(T) / 100; }

void ComputeDerived(double T, double Rh, double P, const std::function<void(Derived, double)> &deliver) {
    const double e = VapourPressure(T, Rh);
    if (!std::isfinite(e) || e <= 0) return;  // the logarithm fails
    const double Td = DewPoint(e, std::log(e));
    if (!std::isfinite(Td)) return;
    deliver(Derived::DewPoint, Td);

    const double kelvin = T + 273.15;
    if (kelvin == 0) return;
    const double a = 2167 * e / kelvin;
    if (!std::isfinite(a)) return;
    deliver(Derived::AbsoluteHumidity, a);

    if (P - e == 0) return;
    const double d = 1000000 * e / (P - e);
    if (!std::isfinite(d)) return;
    deliver(Derived::MoistureContent, d);
}

}  // namespace vilo
