// The parts of the simulator that need no line: checksum, memory map, readings.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <set>
#include <stdexcept>

#include "vilosim.h"

using vilosim::MemoryMap;

TEST(Checksum, KnownValues) {
    const struct {
        const char* text;
        std::uint16_t crc;
    } cases[] = {
        {"123456789", 19255},  // the CRC-16/MODBUS check value
        {"1;18;", 15447},
        {"1;0;", 50730},
        {"1;1;5;", 19912},
    };
    for (const auto& c : cases) EXPECT_EQ(vilosim::crc16(c.text), c.crc) << c.text;
    EXPECT_EQ(vilosim::request("1;0;"), ":1;0;50730\r");
    EXPECT_EQ(vilosim::request("1;1;5;", true), "\xFF:1;1;5;19912\r");
}

TEST(MemoryMapFile, ReadsLikeTheProgram) {
    const auto map = MemoryMap::parse(
        "\xEF\xBB\xBF; comment\r\n"
        "[cmd1PARAMETERS]\r\n"
        "  RH = 7 \r\n"
        "tmpr=8\r\n"
        "; W is missing\r\n"
        "[MAP]\r\n"
        "ADD=16\r\n"
        "Spd =  17\r\n"
        "spd=99\r\n"            // the first of repeated keys wins
        "ZNum=00024x\r\n"       // cut to 5 characters, as the program does
        "a0=not used\r\n"       // unused keys may hold anything
        "no equals sign\r\n"
        "[Other]\r\n"
        "Gamma=3\r\n");
    EXPECT_EQ(map.parameter("Rh"), 7);
    EXPECT_EQ(map.parameter("TMPR"), 8);
    EXPECT_EQ(map.parameter("U"), 2);
    EXPECT_EQ(map.parameter("W"), 3);
    EXPECT_EQ(map.cell("add"), 16);
    EXPECT_EQ(map.cell("SPD"), 17);
    EXPECT_EQ(map.cell("ZNum"), 24);
    EXPECT_EQ(map.cell("Gamma"), 0);  // from another section: missing here
    EXPECT_EQ(MemoryMap::parse("").cell("TpB1"), 0);

    for (const char* bad : {"[Map]\nspd=256\n", "[Map]\nspd=123456\n", "[Map]\nJ1min=-1\n", "[Map]\nadd=\n",
                            "[Cmd1Parameters]\nRh=x\n"})
        EXPECT_THROW(MemoryMap::parse(bad), std::invalid_argument) << bad;
    EXPECT_THROW(MemoryMap::load("/nonexistent/map.ini"), std::runtime_error);
}

// The shipped map is what the simulator uses by default, names every key, and
// keeps the cells of its values apart.
TEST(MemoryMapFile, SampleMapIsTheBuiltInLayoutWithoutOverlaps) {
    const auto map = MemoryMap::load(VILOSIM_SAMPLE_MAP);
    EXPECT_EQ(map, MemoryMap::builtin());

    const struct {
        const char* key;
        int width;
    } keys[] = {{"add", 1},     {"spd", 1},      {"NSum", 1},    {"NSensor", 1}, {"LCDmode", 1}, {"Jcal1", 1},
                {"Jcal2", 1},   {"err", 1},      {"ZNum", 2},    {"J1min", 4},   {"J1max", 4},   {"J2min", 4},
                {"J2max", 4},   {"TpH1", 4},     {"TpH2", 4},    {"TpB1", 4},    {"TpB2", 4},    {"Pgas", 4},
                {"PgasHigh", 4}, {"PgasLow", 4}, {"Gamma", 4},   {"a0", 4},      {"a1", 4},      {"a2", 4},
                {"u0", 4},      {"c0", 4},       {"c1", 4},      {"c2", 4},      {"c3", 4},      {"c4", 4},
                {"c5", 4},      {"g1", 4},       {"g2", 4},      {"w0", 4}};
    EXPECT_EQ(map.cells.size(), std::size(keys));
    std::set<int> used;
    for (const auto& k : keys) {
        std::string lower = k.key;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        ASSERT_TRUE(map.cells.contains(lower)) << k.key;
        for (int i = 0; i < k.width; ++i) {
            const int cell = map.cell(k.key) + i;
            EXPECT_LE(cell, 255) << k.key;
            EXPECT_TRUE(used.insert(cell).second) << k.key << " overlaps at cell " << cell;
        }
    }
    EXPECT_EQ(map.parameter("Rh"), 0);
    EXPECT_EQ(map.parameter("Tmpr"), 1);
    EXPECT_EQ(map.parameter("U"), 2);
    EXPECT_EQ(map.parameter("W"), 3);
}

TEST(Readings, ReproducibleFromTheSeedAndSlowlyChanging) {
    const vilosim::ReadingModel a(42), b(42), c(43);
    bool differs = false;
    vilosim::Reading prev = a.at(0);
    for (double t = 0; t < 4 * 3600; t += 0.5) {
        const auto r = a.at(t);
        const auto same = b.at(t);
        ASSERT_EQ(r.temperature, same.temperature);
        ASSERT_EQ(r.humidity, same.humidity);
        ASSERT_EQ(r.pressure_code, same.pressure_code);
        differs = differs || c.at(t).temperature != r.temperature;

        ASSERT_GE(r.temperature, 15.0) << t;
        ASSERT_LE(r.temperature, 30.0) << t;
        ASSERT_GE(r.humidity, 20.0) << t;
        ASSERT_LE(r.humidity, 80.0) << t;
        ASSERT_GE(r.pressure, 97.0) << t;
        ASSERT_LE(r.pressure, 104.0) << t;
        ASSERT_GT(r.temperature_code, 0);
        ASSERT_GT(r.humidity_code, 0);
        // Half a second later the air is almost the same.
        ASSERT_LT(std::abs(r.temperature - prev.temperature), 0.1) << t;
        ASSERT_LT(std::abs(r.humidity - prev.humidity), 0.5) << t;
        ASSERT_LT(std::abs(r.pressure - prev.pressure), 0.05) << t;
        prev = r;
    }
    EXPECT_TRUE(differs);
}
