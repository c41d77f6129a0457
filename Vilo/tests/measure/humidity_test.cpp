// The derived quantities at known points, and where the computation stops.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "measure/Humidity.h"

namespace {

using vilo::Derived;

struct Outputs {
    std::vector<Derived> order;
    std::optional<double> Td, a, d;
};

Outputs Compute(double T, double Rh, double P) {
    Outputs out;
    vilo::ComputeDerived(T, Rh, P, [&](Derived which, double value) {
        out.order.push_back(which);
        (which == Derived::DewPoint ? out.Td : which == Derived::AbsoluteHumidity ? out.a : out.d) = value;
    });
    return out;
}

struct Case {
    double T, Rh, P;
    double Td, a, d;
};

TEST(Humidity, KnownPoints) {
    const Case cases[] = {
        {20, 50, 101.325, 9.299404, 8.643636, 11674.863},  // T >= 0, e >= 0.6107
        {-10, 80, 100, -12.474294, 1.710196, 2081.1009},   // T < 0, e < 0.6107
    };
    for (const auto &c : cases) {
        const Outputs out = Compute(c.T, c.Rh, c.P);
        ASSERT_EQ(out.order, (std::vector<Derived>{Derived::DewPoint, Derived::AbsoluteHumidity,
                                                   Derived::MoistureContent}));
        EXPECT_NEAR(*out.Td, c.Td, 5e-7);
        EXPECT_NEAR(*out.a, c.a, 5e-7);
        EXPECT_NEAR(*out.d, c.d, 5e-4);
    }
    // e = 0.610852 lies just above 0.6107: the second dew point set.
    EXPECT_NEAR(*Compute(0, 100, 100).Td, -0.026282, 5e-7);
}

TEST(Humidity, StopsSilentlyWhereTheArithmeticFails) {
    EXPECT_TRUE(Compute(20, 0, 101.325).order.empty());  // ln 0
    const Outputs noPressure = Compute(20, 50, 0);      // P = 0: d = -1000000 exactly
    EXPECT_EQ(*noPressure.d, -1000000);
    // P equal to e: Td and a are delivered, d is not.
    EXPECT_NEAR(vilo::VapourPressure(20, 50), 1.169304, 5e-7);
    const Outputs equal = Compute(20, 50, vilo::VapourPressure(20, 50));
    EXPECT_EQ(equal.order, (std::vector<Derived>{Derived::DewPoint, Derived::AbsoluteHumidity}));
    EXPECT_TRUE(Compute(-273.15, 50, 100).order.size() < 3);  // absolute zero
}

}  // namespace
