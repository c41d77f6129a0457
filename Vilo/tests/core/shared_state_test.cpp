// The program directory, titles, the changed state, the device record's reset and display.
#include <gtest/gtest.h>

#include "comm/Devices.h"
#include "project/RecordingView.h"
#include "project/Shared.h"

namespace {

using namespace vilo;

TEST(SharedState, PathsAndTitles) {
    EXPECT_EQ(ProgramDirOf("/opt/vilo/bin/Vilo"), "/opt/vilo/bin");
    EXPECT_EQ(ProgramDirOf("C:\\Tools\\Cfg\\prog.exe"), "C:\\Tools\\Cfg");
    EXPECT_EQ(InProgramDir("/opt/vilo", "Default.prj"), "/opt/vilo/Default.prj");
    EXPECT_EQ(FileNamePart("C:\\Data\\pump.prj"), "pump.prj");
    EXPECT_EQ(FileNamePart("/home/u/x.prj"), "x.prj");
    EXPECT_EQ(FileNamePart("plain.prj"), "plain.prj");

    const std::string first = ProjectTitle("ВИЛО настройка", "C:\\Data\\pump.prj");
    EXPECT_EQ(first, "ВИЛО настройка - [pump.prj]");
    EXPECT_EQ(ProjectTitle(first, "D:\\x\\y.prj"), "ВИЛО настройка - [y.prj]");
    EXPECT_FALSE(ProgramDirFromExecutable().empty());
}

TEST(SharedState, ChangedStateShowsInTheProjectPane) {
    RecordingView view;
    ProjectState project(view);
    EXPECT_FALSE(project.Changed());
    project.MarkProjectChanged();
    project.MarkProjectChanged();
    project.MarkProjectUnchanged();
    EXPECT_FALSE(project.Changed());
    EXPECT_FALSE(view.ProjectChanged());
    EXPECT_EQ(view.EventsOf("Project: "),
              (std::vector<std::string>{"Проект изменён", "Проект изменён", "Нет изменений"}));
}

TEST(DeviceRecord, ResetKeepsAddressAndSettings) {
    RecordingView view;
    DeviceRecord device;
    device.Update([](TDevice &d) {
        d = TDevice{.Present = true, .ParentPort = "COM2", .Address = "7", .Baudrate = 9600, .ActiveDevice = true,
                    .CountOfAU = "8", .ZNum = "1234", .Inf = "note", .TpH = -60, .PH = 250};
        d.PlotX.fill(5);
    });
    ResetDevice(device, view);
    const TDevice d = device.Get();
    EXPECT_FALSE(d.Present);
    EXPECT_EQ(d.ParentPort, "");
    EXPECT_FALSE(d.ActiveDevice);
    EXPECT_EQ(d.ZNum, "0");
    EXPECT_EQ(d.CountOfAU, "0");
    EXPECT_EQ(d.Inf, "");
    EXPECT_EQ(d.PlotX[3], 0);
    EXPECT_EQ(d.Address, "7");
    EXPECT_EQ(d.Baudrate, 9600);
    EXPECT_EQ(d.TpH, -60);
    EXPECT_EQ(d.PH, 250);
    EXPECT_TRUE(view.DeviceLines().empty());
    EXPECT_TRUE(view.PanelsCovered());
}

TEST(DeviceRecord, SpeedCode) {
    EXPECT_EQ(SpeedCode(5, kPressureKeyed), 21);  // 9600 with the pressure keyed in
    EXPECT_EQ(SpeedCode(BaudListIndex(19200), 0), 6);
    EXPECT_EQ(BaudListIndex(115200), 7);
    EXPECT_EQ(BaudListIndex(9650), -1);
}

TEST(DeviceRecord, ShowsTheFoundDeviceOrNone) {
    RecordingView view;
    TDevice d{.Present = true, .ParentPort = "COM1", .Address = "3", .Baudrate = 9600, .CountOfAU = "8",
              .ZNum = "4321", .Version = "ошибка", .Nsensor = 12};
    ShowFoundDevice(d, view);
    EXPECT_EQ(view.DeviceLines(),
              (std::vector<std::string>{"Найден прибор ВИЛО", "Порт: COM1", "Адрес: 3", "Скорость: 9600",
                                        "Заводской номер: 4321", "Число аппаратных усреднений: 8",
                                        "Номер сенсора: 12", "Версия: ошибка"}));
    EXPECT_FALSE(view.PanelsCovered());
    EXPECT_TRUE(view.DevicePagesEnabled());
    EXPECT_EQ(view.EventsOf("LinkFields: "), std::vector<std::string>{"3 9600 8"});

    d.Present = false;
    ShowFoundDevice(d, view);
    EXPECT_TRUE(view.DeviceLines().empty());
    EXPECT_TRUE(view.PanelsCovered());
    EXPECT_FALSE(view.DevicePagesEnabled());
    EXPECT_EQ(view.ActivePage(), Page::Link);
}

}  // namespace
