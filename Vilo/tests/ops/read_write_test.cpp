// Reading the settings, the link check and the write cycle against a simulated transmitter
// over a pseudo-terminal: the requests on the line byte for byte, the pauses between them,
// what lands in the record and the cells, and what the user sees.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <limits>
#include <optional>
#include <cstdint>
#include <string>
#include <vector>

#include "comm/ReadSettings.h"
#include "comm/ThreadS.h"
#include "device_line.h"

namespace {

using namespace vilo;
using vilosim::FaultKind;

constexpr int kNineSixHundred = 5;   // cmbBaudIptv's position of 9600
constexpr int kFastestListed = 7;    // 115200
constexpr const char *kSucceeded = "Цикл записи успешно завершён.";
constexpr const char *kNoReplyOnCom1 =
    "Прибор не подключён к порту (ошибка приёма данных из порта) COM1";

// The settings a transmitter holds, all different from the simulator's defaults.
vilosim::DeviceSettings ReadableSettings() {
    return {.j1min = -50, .j1max = 30, .j2min = -45, .j2max = 65, .tph1 = 0.1f, .tpb1 = 25, .tph2 = -35,
            .tpb2 = 55, .pgas = 250, .pgas_high = 900, .pgas_low = 50, .gamma = 1.5f, .lcd_mode = 2,
            .jcal1 = 3, .jcal2 = 1, .pressure_keyed = true};
}

// The 16 transactions of the read cycle as they go on the line.
std::vector<std::string> ReadPlanRequests() {
    const std::vector<std::pair<const char *, const char *>> plan = {
        {"J1min", "8;4;"}, {"J1max", "8;4;"}, {"LCDmode", "8;1;"}, {"J2min", "8;4;"},
        {"J2max", "8;4;"}, {"TpH1", "8;4;"},  {"TpH2", "8;4;"},    {"TpB1", "8;4;"},
        {"TpB2", "8;4;"},  {"Jcal1", "8;1;"}, {"Jcal2", "8;1;"},   {"spd", "3;1;"},
        {"Pgas", "8;4;"},  {"Gamma", "8;4;"}, {"PgasHigh", "8;4;"}, {"PgasLow", "8;4;"},
    };
    std::vector<std::string> requests;
    for (const auto &[cell, operation] : plan) AddPair(requests, CellOf(cell), operation);
    return requests;
}

void Prefill(TDevice &d) {  // old contents that no transmitter holds
    d.J1min = d.J1max = d.J2min = d.J2max = 777;
    d.TpH = d.TpH1 = d.TpB = d.TpB1 = 777;
    d.PH = d.Phigh = d.Plow = d.Gamma = 777;
    d.LCDmode = 1;
    d.Jcal = d.Jcal1 = 2;
    d.PressureSourceFlag = 0;
}

using ReadSettingsTest = DeviceLine;

TEST_F(ReadSettingsTest, ReadsTheSixteenCellsInOrderAndShowsThem) {
    StartLine({.address = 1, .settings = ReadableSettings()});
    Change(Prefill);
    view.ShowChangedNote(true);
    view.ClearEvents();

    ReadButtonsClick(program());
    ASSERT_TRUE(sim().wait_for_log(0, 1, 2s));
    EXPECT_TRUE(program().readRunning);  // what the quantity groups' rule looks at meanwhile
    program().runners.JoinAll();
    EXPECT_FALSE(program().readRunning);

    EXPECT_EQ(Requests(32), ReadPlanRequests());
    ExpectPausesBetween(sim().log(0));

    const TDevice d = Device();
    EXPECT_EQ(d.J1min, -50);
    EXPECT_EQ(d.J1max, 30);
    EXPECT_EQ(d.LCDmode, 2);
    EXPECT_EQ(d.J2min, -45);
    EXPECT_EQ(d.J2max, 65);
    EXPECT_EQ(d.TpH, static_cast<double>(0.1f));  // the single's exact value
    EXPECT_EQ(d.TpH1, -35);
    EXPECT_EQ(d.TpB, 25);
    EXPECT_EQ(d.TpB1, 55);
    EXPECT_EQ(d.Jcal, 3);
    EXPECT_EQ(d.Jcal1, 1);
    EXPECT_EQ(d.PressureSourceFlag, kPressureKeyed);  // the cell holds 21: 9600 and the flag
    EXPECT_EQ(d.PH, 250);
    EXPECT_EQ(d.Gamma, 1.5);
    EXPECT_EQ(d.Phigh, 900);
    EXPECT_EQ(d.Plow, 50);

    const ConfigPageValues page = view.ConfigPage();
    EXPECT_EQ(page.TpH, "0.100000001490116");
    EXPECT_EQ(page.GasPressure, "0.25");
    EXPECT_EQ(page.DisplayMode, 2);
    EXPECT_EQ(page.Channel1Quantity, 3);
    EXPECT_EQ(page.Channel2Quantity, 1);
    EXPECT_EQ(page.PressureSource, 0);  // 'Клавиатура'

    EXPECT_EQ(view.EventsOf("Progress: "), (std::vector<std::string>{"0", "5", "10", "15", "20", "25", "30", "35",
                                                                     "40", "45", "50", "55", "58", "60", "100",
                                                                     "0", "0"}));
    EXPECT_EQ(view.EventsOf("Status: "), (std::vector<std::string>{"Идёт чтение настроек прибора", ""}));
    EXPECT_EQ(view.EventsOf("ReadButtons: "), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(view.Events().back(), "ReadButtons: 1");
    EXPECT_TRUE(view.ErrorLog().empty());
    EXPECT_TRUE(view.ProjectChanged());
    EXPECT_FALSE(view.ChangedNoteShown());
}

TEST_F(ReadSettingsTest, ATimeoutAtStepSevenKeepsTheLaterFieldsAndLogsOneLine) {
    StartLine({.address = 1, .settings = ReadableSettings()});
    sim().add_fault(0, 0, {.kind = FaultKind::NoReply, .command = 8, .cell = CellOf("TpH2")});
    Change(Prefill);

    ReadSettingsJob(program());

    std::vector<std::string> expected = ReadPlanRequests();
    expected.resize(14);  // steps 1 to 6, and step 7's pointer and read
    EXPECT_EQ(Requests(14), expected);
    EXPECT_FALSE(sim().log(0).back().answered());

    const TDevice d = Device();
    EXPECT_EQ(d.J1min, -50);
    EXPECT_EQ(d.J1max, 30);
    EXPECT_EQ(d.LCDmode, 2);
    EXPECT_EQ(d.J2min, -45);
    EXPECT_EQ(d.J2max, 65);
    EXPECT_EQ(d.TpH, static_cast<double>(0.1f));
    for (const double kept : {d.TpH1, d.TpB, d.TpB1, d.PH, d.Gamma, d.Phigh, d.Plow}) EXPECT_EQ(kept, 777);
    EXPECT_EQ(d.Jcal, 2);
    EXPECT_EQ(d.Jcal1, 2);
    EXPECT_EQ(d.PressureSourceFlag, 0);

    EXPECT_EQ(view.ErrorLog(), std::vector<std::string>{"Ошибка!(-14) Порт COM1 " + std::string(kNoReplyOnCom1)});
    EXPECT_EQ(view.ConfigPage().TpH1, "777");  // the page shows what the record holds
    EXPECT_TRUE(view.ProjectChanged());
    EXPECT_EQ(view.Progress(), 0);
}

TEST_F(ReadSettingsTest, ADeviceIgnoringTheDisplayModeCellStillGivesEveryOtherValue) {
    StartLine({.address = 1, .settings = ReadableSettings()});
    sim().add_fault(0, 0, {.kind = FaultKind::NoReply, .cell = CellOf("LCDmode")});
    Change(Prefill);

    ReadSettingsJob(program());

    std::vector<std::string> expected = ReadPlanRequests();
    expected.erase(expected.begin() + 5);  // the pointer to the display-mode cell got no answer
    EXPECT_EQ(Requests(31), expected);

    const TDevice d = Device();
    EXPECT_EQ(d.LCDmode, 0);
    EXPECT_EQ(d.J1max, 30);
    EXPECT_EQ(d.J2min, -45);
    EXPECT_EQ(d.Jcal1, 1);
    EXPECT_EQ(d.Plow, 50);  // the last cell
    EXPECT_EQ(view.ConfigPage().DisplayMode, 0);  // 'ПЕРВЫЙ КАНАЛ'
    EXPECT_TRUE(view.ErrorLog().empty());
}

TEST_F(ReadSettingsTest, DecodesTheByteCells) {
    struct Case {
        const char *name;
        vilosim::DeviceSettings settings;
        std::optional<vilosim::Fault> fault;
        std::uint8_t flagBefore;
        std::uint8_t flag;        // PressureSourceFlag read
        int source;               // RadioGroup2's item
        std::uint16_t lcdMode;
        std::uint8_t jcal, jcal1;
    };
    const std::vector<Case> cases = {
        // Speed cell 21, a display mode outside the list (shown as the first channel), a
        // quantity cell whose two hex digits are no decimal number (stored as 0).
        {"keyed", {.lcd_mode = 7, .jcal1 = 0x0b, .jcal2 = 4, .pressure_keyed = true}, {}, 0, kPressureKeyed, 0, 7, 0, 4},
        {"measured", {.lcd_mode = 1, .jcal1 = 2, .jcal2 = 3, .pressure_keyed = false}, {}, kPressureKeyed, 0, 1, 1, 2, 3},
        // A speed cell answered with no number tells nothing: the flag stays.
        {"speed cell report",
         {.pressure_keyed = false},
         vilosim::Fault{.kind = FaultKind::DeviceError, .command = 3, .error = 3},
         kPressureKeyed, kPressureKeyed, 0, 0, 0, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        StartLine({.address = 1, .settings = c.settings});
        if (c.fault) sim().add_fault(0, 0, *c.fault);
        Change([&](TDevice &d) { d.PressureSourceFlag = c.flagBefore; });

        ReadSettingsJob(program());

        const TDevice d = Device();
        EXPECT_EQ(d.PressureSourceFlag, c.flag);
        EXPECT_EQ(d.LCDmode, c.lcdMode);
        EXPECT_EQ(d.Jcal, c.jcal);
        EXPECT_EQ(d.Jcal1, c.jcal1);
        const ConfigPageValues page = view.ConfigPage();
        EXPECT_EQ(page.PressureSource, c.source);
        EXPECT_EQ(page.DisplayMode, c.lcdMode <= 2 ? c.lcdMode : 0);
        EXPECT_EQ(Requests(32).size(), 32u);  // the plan ran to its end
        EXPECT_TRUE(view.ErrorLog().empty());
    }
}

TEST_F(ReadSettingsTest, NothingIsReadWithoutAFoundDeviceOrAnAcceptedRate) {
    struct Case {
        const char *name;
        bool present;
        std::int32_t baud;
    };
    for (const Case &c : {Case{"not found", false, 9600}, Case{"rate refused", true, 115200}}) {
        SCOPED_TRACE(c.name);
        StartLine();
        Change([&](TDevice &d) {
            Prefill(d);
            d.Present = c.present;
            d.Baudrate = c.baud;
        });
        view.ClearEvents();

        ReadDeviceSettings(program());

        EXPECT_EQ(view.Events(), (std::vector<std::string>{"Progress: 0", "Status: Идёт чтение настроек прибора",
                                                           "Progress: 0", "Project: Проект изменён"}));
        EXPECT_TRUE(Requests().empty());
        EXPECT_EQ(Device().TpH, 777);
    }
}

TEST_F(ReadSettingsTest, OperationsAreRefusedWhileMeasuring) {
    StartLine();
    program().measuring = true;
    const std::string refusal = "Чтение параметров невозможно пока идёт обмен с прибором.";
    view.ClearEvents();

    ReadDeviceSettings(program());
    EXPECT_EQ(view.Events(), std::vector<std::string>{"ErrorLog: " + refusal});  // nothing else changes

    view.ClearEvents();
    ReadButtonsClick(program());
    program().runners.JoinAll();
    EXPECT_EQ(view.ErrorLog(), (std::vector<std::string>{refusal, refusal}));
    EXPECT_EQ(view.EventsOf("ConfigPage: ").size(), 1u);  // refilled from the record as it was
    EXPECT_EQ(view.EventsOf("ReadButtons: "), (std::vector<std::string>{"0", "1"}));

    view.ClearEvents();
    CheckLink(program());
    WriteButtonClick(program(), kNineSixHundred);
    program().runners.JoinAll();
    EXPECT_EQ(view.Events(), (std::vector<std::string>{"Notify: Проверка связи невозмжна, идёт обмен с прибором!",
                                                       "Notify: Запись параметров невозможна пока идёт обмен с прибором."}));
    EXPECT_TRUE(Requests().empty());
}

TEST_F(ReadSettingsTest, CheckLinkTellsWhetherATransmitterAnswers) {
    const std::string found = "Прибор на связи.";
    const std::string notFound =
        "Прибор с такими параметрами не найден.\nПроверьте подключение и выполните поиск прибора.";
    struct Case {
        const char *identification;
        const char *address;  // of the record
        std::string message;
    };
    for (const Case &c : {Case{"18", "1", found}, Case{"34", "1", found}, Case{"19", "1", notFound},
                          Case{"18", "2", notFound}}) {
        SCOPED_TRACE(std::string(c.identification) + " at " + c.address);
        StartLine({.address = 1, .identification = c.identification});
        Change([&](TDevice &d) { d.Address = c.address; });
        view.ClearEvents();

        CheckLink(program());

        EXPECT_EQ(view.EventsOf("Notify: "), std::vector<std::string>{c.message});
        EXPECT_EQ(Requests(1), std::vector<std::string>{vilosim::request(std::string(c.address) + ";0;", true)});
    }
}

// ---- The write cycle

// What the record holds for the write cycle.
void Edited(TDevice &d) {
    d.PH = 100;
    d.CountOfAU = "16";
    d.Phigh = 900.5;
    d.Plow = -2.25;
    d.TpH = 0.1;
    d.TpH1 = -35;
    d.TpB = 25;
    d.TpB1 = 1e300;  // beyond the single's range
    d.PressureSourceFlag = kPressureKeyed;
    d.Jcal = 3;
    d.Jcal1 = 1;
    d.LCDmode = 2;
    d.J1min = d.J1max = d.J2min = d.J2max = d.Gamma = 5;  // never written
}

enum class SpeedOnLine { Pair, PointerOnly, None };

// The 33 transactions of the write cycle for the record Edited gives, speed code 21.
std::vector<std::string> WritePlanRequests(SpeedOnLine speed = SpeedOnLine::Pair) {
    std::vector<std::string> requests;
    const auto floatCells = [&](const char *key, float value) {
        const auto bits = std::bit_cast<std::uint32_t>(value);
        for (int i = 0; i < 4; ++i)
            AddPair(requests, CellOf(key) + i,
                                "4;" + std::to_string((bits >> (8 * i)) & 0xFF) + ";");
    };
    const auto byteCell = [&](const char *key, int value) {
        AddPair(requests, CellOf(key), "4;" + std::to_string(value) + ";");
    };
    floatCells("Pgas", 100.0f);
    byteCell("NSum", 16);
    floatCells("PgasHigh", 900.5f);
    floatCells("PgasLow", -2.25f);
    floatCells("TpH1", 0.1f);
    floatCells("TpH2", -35.0f);
    floatCells("TpB1", 25.0f);
    floatCells("TpB2", std::numeric_limits<float>::infinity());
    if (speed != SpeedOnLine::None) byteCell("spd", 21);
    if (speed == SpeedOnLine::PointerOnly) requests.pop_back();
    byteCell("Jcal1", 3);
    byteCell("Jcal2", 1);
    byteCell("LCDmode", 2);
    return requests;
}

float SingleAt(const std::array<std::uint8_t, 256> &cells, int first) {
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) bits = bits << 8 | cells[static_cast<std::size_t>(first + i)];
    return std::bit_cast<float>(bits);
}

class WriteParametersTest : public DeviceLine {
protected:
    void SetUp() override {
        DeviceLine::SetUp();
        Change(Edited);
        view.ShowStatus("Найден прибор ВИЛО");
        view.ShowChangedNote(true);
    }

    void Write(int baudIndex = kNineSixHundred) {
        WriteButtonClick(program(), baudIndex);
        program().runners.JoinAll();
    }
};

TEST_F(WriteParametersTest, WritesTheTwelveSettingsInOrder) {
    StartLine();
    view.ClearEvents();

    Write();

    EXPECT_EQ(Requests(66), WritePlanRequests());
    ExpectPausesBetween(sim().log(0));

    const auto cells = sim().cells(0, 0);
    const int pgas = CellOf("Pgas");
    EXPECT_EQ((std::vector<int>{cells[pgas], cells[pgas + 1], cells[pgas + 2], cells[pgas + 3]}),
              (std::vector<int>{0, 0, 200, 66}));
    EXPECT_EQ(cells[CellOf("NSum")], 16);
    EXPECT_EQ(cells[CellOf("spd")], 21);  // 9600 with the pressure keyed in
    EXPECT_EQ(cells[CellOf("Jcal1")], 3);
    EXPECT_EQ(cells[CellOf("Jcal2")], 1);
    EXPECT_EQ(cells[CellOf("LCDmode")], 2);
    EXPECT_EQ(SingleAt(cells, CellOf("TpH1")), 0.1f);
    EXPECT_EQ(SingleAt(cells, CellOf("J1min")), -60.0f);  // the simulator's own, untouched

    const std::vector<std::string> expected = {
        "Ask: Вы действительно хотите записать коэффициенты в прибор(ы)? -> Yes",
        "WriteButton: 0",
        "ErrorLog cleared",
        "Status: Идёт запись параметров в прибор",
        "Progress: 10", "Progress: 20", "Progress: 30", "Progress: 40", "Progress: 50", "Progress: 60",
        "Progress: 70", "Progress: 80", "Progress: 90", "Progress: 100",
        "ChangedNote: 0",
        std::string("ErrorLog: ") + kSucceeded,
        "WriteButton: 1",
        "Progress: 0",
        "Status: Найден прибор ВИЛО",
    };
    EXPECT_EQ(view.Events(), expected);
}

TEST_F(WriteParametersTest, ARefusedThirdStepEndsTheCycleWithOneErrorLine) {
    StartLine();
    sim().add_fault(0, 0, {.kind = FaultKind::NoReply, .command = 4, .cell = CellOf("PgasHigh")});
    const auto before = sim().cells(0, 0);

    Write();

    std::vector<std::string> expected = WritePlanRequests();
    expected.resize(12);  // PH, CountOfAU, then the first byte of Phigh unanswered
    EXPECT_EQ(Requests(12), expected);

    const auto cells = sim().cells(0, 0);
    EXPECT_EQ(SingleAt(cells, CellOf("Pgas")), 100.0f);
    EXPECT_EQ(cells[CellOf("NSum")], 16);
    for (int cell = CellOf("PgasHigh"); cell < CellOf("PgasHigh") + 4; ++cell) EXPECT_EQ(cells[cell], before[cell]);
    EXPECT_EQ(cells[CellOf("LCDmode")], before[CellOf("LCDmode")]);

    EXPECT_EQ(view.ErrorLog(), std::vector<std::string>{"Ошибка!(-14) COM1 " + std::string(kNoReplyOnCom1)});
    EXPECT_EQ(view.EventsOf("Progress: "), (std::vector<std::string>{"10", "20", "0"}));
    EXPECT_TRUE(view.ChangedNoteShown());
    EXPECT_EQ(view.EventsOf("WriteButton: ").back(), "1");
    EXPECT_EQ(view.Status(), "Найден прибор ВИЛО");
}

TEST_F(WriteParametersTest, TheSpeedCellNeverStopsTheCycle) {
    struct Case {
        const char *name;
        bool deviceIgnoresIt;
        int baudIndex;
        SpeedOnLine speed;
        std::vector<std::string> log;
    };
    const std::vector<Case> cases = {
        {"device ignores it", true, kNineSixHundred, SpeedOnLine::PointerOnly, {kSucceeded}},
        // 115200 is in the list but no port of this program can run at it: the cell keeps
        // its rate and the log says why.
        {"rate the library refuses", false, kFastestListed, SpeedOnLine::None,
         {"Скорость 115200 бод не поддерживается: ячейка скорости не записана.", kSucceeded}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        StartLine();
        if (c.deviceIgnoresIt) sim().add_fault(0, 0, {.kind = FaultKind::NoReply, .cell = CellOf("spd")});
        const std::uint8_t speedCell = sim().cells(0, 0)[CellOf("spd")];
        view.ClearEvents();

        Write(c.baudIndex);

        const std::vector<std::string> expected = WritePlanRequests(c.speed);
        EXPECT_EQ(Requests(expected.size()), expected);
        EXPECT_EQ(view.ErrorLog(), c.log);
        const auto cells = sim().cells(0, 0);
        EXPECT_EQ(cells[CellOf("spd")], speedCell);
        EXPECT_EQ(cells[CellOf("LCDmode")], 2);  // the steps after it ran
        EXPECT_EQ(sim().baud(0, 0), 9600);
        EXPECT_EQ(view.EventsOf("Progress: ").size(), 11u);
        EXPECT_FALSE(view.ChangedNoteShown());
    }
}

TEST_F(WriteParametersTest, AMapTextThatIsNoCellNumberEndsTheCycleInOrder) {
    for (const char *text : {"x68", "300"}) {
        SCOPED_TRACE(text);
        StartLine();
        program().map.Map["PgasHigh"] = text;
        view.ClearEvents();

        Write();

        std::vector<std::string> expected = WritePlanRequests();
        expected.resize(10);  // PH and CountOfAU
        EXPECT_EQ(Requests(10), expected);
        EXPECT_EQ(view.ErrorLog(), std::vector<std::string>{"Ошибка! Ячейка PgasHigh карты памяти задана текстом \"" +
                                                            std::string(text) +
                                                            "\", а не номером от 0 до 255: цикл записи прерван."});
        EXPECT_EQ(view.EventsOf("WriteButton: "), (std::vector<std::string>{"0", "1"}));
        EXPECT_EQ(view.Progress(), 0);
        EXPECT_EQ(view.Status(), "Найден прибор ВИЛО");
    }
}

TEST_F(WriteParametersTest, NothingIsSentWhenTheUserSaysNoOrTheRateIsRefused) {
    StartLine();
    view.QueueAnswers({false});
    view.ClearEvents();
    Write();
    EXPECT_EQ(view.Events(), std::vector<std::string>{
                                 "Ask: Вы действительно хотите записать коэффициенты в прибор(ы)? -> No"});

    // A rate the library refuses: no line, and the status caption was never taken.
    Change([](TDevice &d) { d.Baudrate = 115200; });
    view.ClearEvents();
    Write();
    EXPECT_TRUE(view.ErrorLog().empty());
    EXPECT_EQ(view.EventsOf("WriteButton: "), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(view.Status(), "");
    EXPECT_TRUE(Requests().empty());
}

}  // namespace
