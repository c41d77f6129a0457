// The device search and the address and speed change against simulated transmitters over
// pseudo-terminals: the requests on the lines byte for byte, the pauses between them, what
// lands in the record and in the transmitter, and what the user sees.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "project/Cp1251.h"
#include "search_line.h"

namespace {

using namespace vilo;
using vilosim::Fault;
using vilosim::FaultKind;

constexpr const char *kSearching = "Идёт поиск прибора";
constexpr const char *kEarlierStatus = "Проект загружен";
constexpr const char *kWriteRefused = "Запись параметров невозможна пока идёт обмен с прибором.";
constexpr const char *kWriteSucceeded = "Цикл записи успешно завершён.";
constexpr const char *kWriteFailed = "Во время записи произошли ошибки.";

// COM1 and COM2 (list positions 0 and 1) at 9600 baud.
SearchRange Ranges(int firstAddress, int lastAddress, int firstPort = 0, int lastPort = 1) {
    return {.firstPortIndex = firstPort, .lastPortIndex = lastPort, .firstAddress = firstAddress,
            .lastAddress = lastAddress, .baudRate = 9600};
}

// The read cycle's 16 transactions to the address.
void AddReadPlan(std::vector<Expected> &requests, int address) {
    const std::vector<std::pair<const char *, const char *>> plan = {
        {"J1min", "8;4;"}, {"J1max", "8;4;"}, {"LCDmode", "8;1;"}, {"J2min", "8;4;"},
        {"J2max", "8;4;"}, {"TpH1", "8;4;"},  {"TpH2", "8;4;"},    {"TpB1", "8;4;"},
        {"TpB2", "8;4;"},  {"Jcal1", "8;1;"}, {"Jcal2", "8;1;"},   {"spd", "3;1;"},
        {"Pgas", "8;4;"},  {"Gamma", "8;4;"}, {"PgasHigh", "8;4;"}, {"PgasLow", "8;4;"},
    };
    for (const auto &[cell, operation] : plan) AddTwoStep(requests, address, SimCell(cell), operation);
}

// The identity reads of a found transmitter, up to its version request and averaging count.
void AddIdentity(std::vector<Expected> &requests, int address) {
    AddTwoStep(requests, address, SimCell("ZNum"), "8;2;");
    AddTwoStep(requests, address, SimCell("NSensor"), "8;1;");
    requests.push_back({vilosim::request(std::to_string(address) + ";254;0;", true)});
    AddTwoStep(requests, address, SimCell("NSum"), "8;1;");
}

using DeviceSearchTest = SearchLine;

TEST_F(DeviceSearchTest, FindsTheTransmitterReadsItsIdentityAndThenItsSettings) {
    vilosim::DeviceConfig device = Transmitter(3);
    device.serial = 0x1234;
    device.sensor = 7;
    device.averaging = 12;
    device.version = Utf8ToCp1251("ВИЛО-10 вер.2.1");  // the wire carries Windows-1251
    device.settings.lcd_mode = 2;
    StartLines({{.name = "COM1", .devices = {device}}});
    view.ShowStatus(kEarlierStatus);
    view.AddErrorLine("an earlier line");
    view.ClearEvents();

    Search(Ranges(2, 3, 0, 0));

    std::vector<Expected> expected = {{Identification(2)}, {Identification(3)}};
    AddIdentity(expected, 3);
    AddReadPlan(expected, 3);
    ExpectRequests(0, expected);

    const TDevice d = Device();
    EXPECT_TRUE(d.Present);
    EXPECT_EQ(d.ParentPort, "COM1");
    EXPECT_EQ(d.Address, "3");
    EXPECT_EQ(d.Baudrate, 9600);
    EXPECT_EQ(d.ZNum, "4660");
    EXPECT_EQ(d.Nsensor, 7);
    EXPECT_EQ(d.Version, "ВИЛО-10 ве");  // the first 10 characters
    EXPECT_EQ(d.CountOfAU, "12");
    EXPECT_EQ(d.LCDmode, 2);  // from the read cycle of the closing steps
    EXPECT_EQ(view.DeviceLines(),
              (std::vector<std::string>{"Найден прибор ВИЛО", "Порт: COM1", "Адрес: 3", "Скорость: 9600",
                                        "Заводской номер: 4660", "Число аппаратных усреднений: 12",
                                        "Номер сенсора: 7", "Версия: ВИЛО-10 ве"}));
    EXPECT_FALSE(view.PanelsCovered());
    EXPECT_TRUE(view.DevicePagesEnabled());
    EXPECT_EQ(view.ConfigPage().DisplayMode, 2);
    EXPECT_TRUE(view.ErrorLog().empty());
    EXPECT_TRUE(view.ProjectChanged());
    EXPECT_EQ(view.Status(), kEarlierStatus);
    EXPECT_FALSE(SearchRunning(program()));

    const std::vector<std::string> events = view.Events();
    ExpectInOrder(events, {"Search running: 1", "ErrorLog cleared", std::string("Status: ") + kSearching,
                           "Progress: 50", "Progress: 100", "Project: Проект изменён",
                           "DeviceLines: Найден прибор ВИЛО | Порт: COM1 | Адрес: 3 | Скорость: 9600 | "
                           "Заводской номер: 4660 | Число аппаратных усреднений: 12 | Номер сенсора: 7 | "
                           "Версия: ВИЛО-10 ве",
                           "Status: Идёт чтение настроек прибора", "ChangedNote: 0",
                           std::string("Status: ") + kEarlierStatus, "Search running: 0", "Progress: 0"});
    EXPECT_EQ(events.back(), "Progress: 0");
    EXPECT_EQ(view.EventsOf("ErrorLog: "), std::vector<std::string>{});
}

TEST_F(DeviceSearchTest, ReversedRangesShrinkToTheirFirstPortAndAddress) {
    // COMmin COM4 after COMmax COM2, MinAddr 7 above MaxAddr 3. A transmitter of another
    // family at address 7 on every line answers at once.
    std::vector<vilosim::LineConfig> lines;
    for (const char *name : {"COM2", "COM3", "COM4"}) lines.push_back({.name = name, .devices = {Transmitter(7, "99")}});
    StartLines(lines);

    Search(Ranges(7, 3, 3, 1));

    EXPECT_EQ(Requests(0), std::vector<std::string>{});
    EXPECT_EQ(Requests(1), std::vector<std::string>{});
    EXPECT_EQ(Requests(2), std::vector<std::string>{Identification(7)});
    EXPECT_EQ(view.EventsOf("SearchRange: "), std::vector<std::string>{"3 7"});
    EXPECT_EQ(view.EventsOf("Progress: ").front(), "100");
    EXPECT_FALSE(Device().Present);
}

TEST_F(DeviceSearchTest, TheFirstTransmitterFoundWinsAndTheNextIsNeverAsked) {
    StartLines({{.name = "COM1", .devices = {Transmitter(2), Transmitter(4)}}});

    Search(Ranges(1, 5));

    for (const std::string &request : Requests(0)) EXPECT_EQ(request.find(":4;"), std::string::npos) << request;
    EXPECT_EQ(Requests(0).at(1), Identification(2));
    const TDevice d = Device();
    EXPECT_TRUE(d.Present);
    EXPECT_EQ(d.ParentPort, "COM1");
    EXPECT_EQ(d.Address, "2");
}

TEST_F(DeviceSearchTest, OnlyTheAnswers18And34MarkATransmitter) {
    struct Case {
        const char *identification;
        bool found;
    };
    for (const Case c : {Case{"34", true}, Case{"180", false}, Case{"3", false}}) {
        SCOPED_TRACE(c.identification);
        StartLines({{.name = "COM1", .devices = {Transmitter(1, c.identification)}}});
        view.ClearEvents();

        Search(Ranges(1, 1, 0, 0));

        EXPECT_EQ(Device().Present, c.found);
        const std::vector<std::string> requests = Requests(0);
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.size() > 1, c.found);  // the identity reads follow only when found
        EXPECT_EQ(view.DeviceLines().empty(), !c.found);
        EXPECT_TRUE(view.ErrorLog().empty());
    }
}

TEST_F(DeviceSearchTest, AFailedVersionReadStillFindsTheTransmitter) {
    StartLines({{.name = "COM1", .devices = {Transmitter(1)}}});
    sim().add_fault(0, 0, {.kind = FaultKind::DeviceError, .command = 254, .error = 4});

    Search(Ranges(1, 1, 0, 0));

    EXPECT_TRUE(Device().Present);
    EXPECT_EQ(Device().Version, "ошибка");
    ASSERT_FALSE(view.DeviceLines().empty());
    EXPECT_EQ(view.DeviceLines().back(), "Версия: ошибка");
    EXPECT_TRUE(view.ErrorLog().empty());
}

TEST_F(DeviceSearchTest, AFailedIdentityReadLeavesTheTransmitterAndItsPort) {
    // The transmitter at address 1 answers the identification but spoils one identity read;
    // the one at address 2 on the same port is never asked.
    for (const char *cell : {"ZNum", "NSensor", "NSum"}) {
        SCOPED_TRACE(cell);
        StartLines({{.name = "COM1", .devices = {Transmitter(1), Transmitter(2)}}});
        sim().add_fault(0, 0, {.kind = FaultKind::BadChecksum, .command = 8, .cell = SimCell(cell)});
        program().device.Update([](TDevice &d) {
            d.Address = "9";
            d.Baudrate = 1200;
        });
        view.AddErrorLine("an earlier line");

        Search(Ranges(1, 2, 0, 0));

        const std::vector<std::string> requests = Requests(0);
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.front(), Identification(1));
        EXPECT_EQ(requests.back(), vilosim::request("1;8;" + std::string(cell == std::string("ZNum") ? "2;" : "1;")));
        for (const std::string &request : requests) EXPECT_EQ(request.find(":2;"), std::string::npos) << request;
        const TDevice d = Device();
        EXPECT_FALSE(d.Present);
        EXPECT_EQ(d.Address, "1");   // as the identification found it
        EXPECT_EQ(d.Baudrate, 9600);
        EXPECT_TRUE(view.ErrorLog().empty());
        EXPECT_TRUE(view.DeviceLines().empty());
    }
}

TEST_F(DeviceSearchTest, AFailedIdentityReadGoesOnWithTheNextPort) {
    StartLines({{.name = "COM1", .devices = {Transmitter(1), Transmitter(2)}},
                {.name = "COM2", .devices = {Transmitter(1)}}});
    sim().add_fault(0, 0, {.kind = FaultKind::BadChecksum, .command = 8, .cell = SimCell("ZNum")});

    Search(Ranges(1, 2));

    std::vector<Expected> com1 = {{Identification(1)}};
    AddTwoStep(com1, 1, SimCell("ZNum"), "8;2;");
    ExpectRequests(0, com1);
    EXPECT_EQ(Requests(1).at(0), Identification(1));
    const TDevice d = Device();
    EXPECT_TRUE(d.Present);
    EXPECT_EQ(d.ParentPort, "COM2");
    EXPECT_EQ(d.Address, "1");
}

TEST_F(DeviceSearchTest, StopDuringTheFirstPortEndsBeforeTheNextAddress) {
    // Nobody answers on COM1; the transmitter on COM2 would be found if the search went on.
    StartLines({{.name = "COM1", .devices = {}}, {.name = "COM2", .devices = {Transmitter(1)}}});

    SearchButtonClick(program(), Ranges(1, 5));
    ASSERT_TRUE(sim().wait_for_log(0, 1, 2s));  // address 1 is being asked
    EXPECT_TRUE(SearchRunning(program()));
    SearchButtonClick(program(), Ranges(1, 5));  // the button reads "Остановить поиск"
    program().runners.JoinAll();

    EXPECT_EQ(Requests(0), std::vector<std::string>{Identification(1)});
    EXPECT_EQ(Requests(1), std::vector<std::string>{});
    EXPECT_FALSE(Device().Present);
    EXPECT_FALSE(SearchRunning(program()));
    EXPECT_EQ(view.EventsOf("Search running: "), (std::vector<std::string>{"1", "0"}));
    const std::vector<std::string> progress = view.EventsOf("Progress: ");
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress[0], "10");
    EXPECT_EQ(progress[1], "20");  // shown for address 2, which is then not asked
    EXPECT_EQ(progress.back(), "0");
}

TEST_F(DeviceSearchTest, ProgressReachesExactlyHundredAtTheLastAddressOfTheLastPort) {
    // Addresses 5 to 10 on two ports, every one answered at once by a device of another family.
    std::vector<vilosim::DeviceConfig> others;
    for (int address = 5; address <= 10; ++address) others.push_back(Transmitter(address, "180"));
    StartLines({{.name = "COM1", .devices = others}, {.name = "COM2", .devices = others}});

    Search(Ranges(5, 10));

    std::vector<std::string> asked;
    for (int address = 5; address <= 10; ++address) asked.push_back(Identification(address));
    EXPECT_EQ(Requests(0), asked);
    EXPECT_EQ(Requests(1), asked);
    std::vector<std::string> progress = view.EventsOf("Progress: ");
    ASSERT_GE(progress.size(), 12u);
    progress.resize(12);
    EXPECT_EQ(progress, (std::vector<std::string>{"8", "16", "25", "33", "41", "50", "58", "66", "75", "83", "91",
                                                  "100"}));
    EXPECT_EQ(view.Progress(), 0);
    EXPECT_TRUE(view.ErrorLog().empty());
}

TEST_F(DeviceSearchTest, SearchAndAddressChangeAreRefusedWhileMeasuring) {
    StartLines({{.name = "COM1", .devices = {Transmitter(1)}}});
    program().device.Update([](TDevice &d) {
        d.Present = true;
        d.ParentPort = "COM1";
        d.Address = "1";
        d.Baudrate = 9600;
    });
    program().measuring = true;

    SearchButtonClick(program(), Ranges(1, 1, 0, 0));
    AddressButtonClick(program(), {.newAddress = "2", .newSpeedIndex = 5});
    WriteAddressAndSpeed(program(), {.newAddress = "2", .newSpeedIndex = 5});
    program().runners.JoinAll();

    EXPECT_EQ(view.Events(), (std::vector<std::string>{"Notify: Поиск приборов невозможен пока идёт обмен",
                                                       std::string("Notify: ") + kWriteRefused,
                                                       std::string("Notify: ") + kWriteRefused,
                                                       "AddressButton: 1"}));
    EXPECT_FALSE(SearchRunning(program()));
    EXPECT_TRUE(program().searchDone);
    EXPECT_EQ(Requests(0), std::vector<std::string>{});
}

TEST_F(DeviceSearchTest, ARateTheLibraryRefusesEndsTheSearchAtOnceWithoutReset) {
    StartLines({{.name = "COM1", .devices = {Transmitter(1)}}});
    program().device.Update([](TDevice &d) {
        d.ParentPort = "COM1";
        d.Address = "4";
        d.ZNum = "4321";
        d.CountOfAU = "7";
    });
    view.ShowStatus(kEarlierStatus);
    view.ClearEvents();

    Search({.firstPortIndex = 0, .lastPortIndex = 0, .firstAddress = 1, .lastAddress = 1, .baudRate = 115200});

    EXPECT_EQ(Requests(0), std::vector<std::string>{});
    const TDevice d = Device();
    EXPECT_EQ(d.ZNum, "4321");  // ResetDevice would have made it "0"
    EXPECT_EQ(d.CountOfAU, "7");
    EXPECT_EQ(d.ParentPort, "COM1");
    ExpectInOrder(view.Events(), {"ErrorLog cleared", std::string("Status: ") + kSearching, "Project: Проект изменён",
                                  "DeviceLines: ", "ChangedNote: 0", std::string("Status: ") + kEarlierStatus,
                                  "Search running: 0", "Progress: 0"});
    EXPECT_EQ(view.EventsOf("Panels covered: ").size(), 1u);  // by ShowFoundDevice only
    EXPECT_TRUE(view.ErrorLog().empty());
    EXPECT_FALSE(SearchRunning(program()));
}

class AddressChangeTest : public SearchLine {
protected:
    // The transmitter at address 3 on COM1, known to the record as found, its pressure keyed in.
    void StartFound() {
        StartLines({{.name = "COM1", .devices = {Transmitter(3)}}});
        program().device.Update([](TDevice &d) {
            d.Present = true;
            d.ParentPort = "COM1";
            d.Address = "3";
            d.Baudrate = 9600;
            d.ZNum = "1";
            d.CountOfAU = "8";
            d.Version = "1.0";
            d.PressureSourceFlag = kPressureKeyed;
        });
    }

    void Change(LinkChange change) {
        AddressButtonClick(program(), change);
        program().runners.JoinAll();
    }
};

TEST_F(AddressChangeTest, TheSpeedGoesToTheNewAddress) {
    StartFound();

    Change({.newAddress = "7", .newSpeedIndex = 6});  // 19200

    std::vector<Expected> expected;
    AddTwoStep(expected, 3, SimCell("add"), "4;7;");
    AddTwoStep(expected, 7, SimCell("spd"), "4;22;");  // index 6 with the flag 16
    ExpectRequests(0, expected);
    EXPECT_EQ(sim().address(0, 0), 7);
    EXPECT_EQ(sim().baud(0, 0), 19200);

    const TDevice d = Device();
    EXPECT_EQ(d.Address, "7");
    EXPECT_EQ(d.Baudrate, 19200);
    ASSERT_EQ(view.DeviceLines().size(), 8u);
    EXPECT_EQ(view.DeviceLines()[2], "Адрес: 7");
    EXPECT_EQ(view.DeviceLines()[3], "Скорость: 19200");
    EXPECT_EQ(view.Status(), kWriteSucceeded);
    EXPECT_TRUE(view.ErrorLog().empty());
    EXPECT_EQ(view.EventsOf("Progress: "), (std::vector<std::string>{"30", "60", "90", "0"}));
    EXPECT_EQ(view.EventsOf("SearchBaud: "), std::vector<std::string>{"6"});
    EXPECT_EQ(view.EventsOf("AddressButton: "), (std::vector<std::string>{"0", "1"}));
}

TEST_F(AddressChangeTest, AFailedStepIsLoggedAndTheStatusSaysSo) {
    struct Case {
        const char *name;
        const char *cell;          // whose write answers with a spoilt checksum
        std::size_t requests;      // that reach the transmitter
        const char *address;       // in the record afterwards
        int baudRate;
    };
    for (const Case c : {Case{"address", "add", 2, "3", 9600}, Case{"speed", "spd", 4, "7", 19200}}) {
        SCOPED_TRACE(c.name);
        StartFound();
        sim().add_fault(0, 0, {.kind = FaultKind::BadChecksum, .command = 4, .cell = SimCell(c.cell)});
        view.ClearErrorLog();  // the address change adds to the log without clearing it
        view.ClearEvents();

        Change({.newAddress = "7", .newSpeedIndex = 6});

        EXPECT_EQ(Requests(0).size(), c.requests);
        EXPECT_EQ(Device().Address, c.address);
        EXPECT_EQ(Device().Baudrate, c.baudRate);  // the speed step takes the rate whatever its result
        EXPECT_EQ(view.ErrorLog(), std::vector<std::string>{"Ошибка!(-19)  Ошибка контрольной суммы прибора"});
        EXPECT_EQ(view.Status(), kWriteFailed);
        EXPECT_EQ(view.EventsOf("AddressButton: ").back(), "1");
    }
}

TEST_F(AddressChangeTest, ARateTheLibraryRefusesIsNeverWritten) {
    StartFound();

    Change({.newAddress = "7", .newSpeedIndex = 7});  // 115200

    EXPECT_EQ(Requests(0), std::vector<std::string>{});
    EXPECT_EQ(sim().address(0, 0), 3);
    EXPECT_EQ(Device().Address, "3");
    EXPECT_EQ(Device().Baudrate, 9600);
    EXPECT_EQ(view.Events(),
              (std::vector<std::string>{"AddressButton: 0",
                                        "Notify: Скорость 115200 бод не поддерживается программой: прибор на ней был "
                                        "бы недоступен. Адрес и скорость не записаны.",
                                        "AddressButton: 1"}));
}

}  // namespace
