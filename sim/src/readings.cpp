// Readings that drift slowly: a few slow sines per quantity plus a little
// smooth noise, all fixed by the seed.
#include <cmath>
#include <numbers>

#include "vilosim.h"

namespace vilosim {
namespace {

std::uint64_t mix(std::uint64_t x) {  // splitmix64 finaliser
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

double unit(std::uint64_t x) { return static_cast<double>(mix(x) >> 11) * 0x1.0p-53; }  // [0, 1)

constexpr double kTwoPi = 2 * std::numbers::pi;

}  // namespace

ReadingModel::ReadingModel(std::uint64_t seed) : seed_(seed) {
    for (std::size_t i = 0; i < phase_.size(); ++i) phase_[i] = kTwoPi * unit(seed * 8 + i);
}

Reading ReadingModel::at(double seconds) const {
    const double s = seconds < 0 ? 0 : seconds;
    // Noise points every second, joined linearly, in [-1, 1).
    const auto noise = [&](std::uint64_t channel) {
        const double k = std::floor(s);
        const double f = s - k;
        const auto key = [&](double i) { return mix(seed_ ^ (channel << 56)) + static_cast<std::uint64_t>(i); };
        const double a = 2 * unit(key(k)) - 1, b = 2 * unit(key(k + 1)) - 1;
        return a + (b - a) * f;
    };
    const auto wave = [&](double period, std::size_t p) { return std::sin(kTwoPi * s / period + phase_[p]); };

    Reading r;
    r.temperature = 22.5 + 4.0 * wave(900, 0) + 1.2 * wave(97, 1) + 0.03 * noise(1);
    r.humidity = 50.0 + 18.0 * wave(1500, 2) + 6.0 * wave(181, 3) + 0.1 * noise(2);
    r.pressure = 100.5 + 1.2 * wave(3600, 4) + 0.3 * wave(263, 5) + 0.01 * noise(3);
    r.temperature_code = static_cast<int>(std::lround(16384 + 250 * r.temperature));
    r.humidity_code = static_cast<int>(std::lround(4000 + 400 * r.humidity));
    r.pressure_code = static_cast<int>(std::lround(200 * r.pressure + 2 * noise(4)));
    return r;
}

}  // namespace vilosim
