#include "project/Files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <clocale>
#include <csignal>
#include <filesystem>
#include <functional>

#include "TempDir.h"
#include "project/RecordingView.h"

namespace vilo {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

constexpr LocalDateTime kSavedAt{2026, 12, 11, 14, 5, 9};

// ---------------------------------------------------------------- memory map

TEST(MemoryMapFileTest, LoadsBothSectionsWithDefaultsAndCutValues) {
    const struct {
        const char *name;
        std::string file;
        std::vector<std::pair<std::string, std::string>> cmd1, cells;  // expected, beyond "all 0"
    } cases[] = {
        {"no Map section: every cell 0",
         "[Cmd1Parameters]\r\nRh=10\r\nTmpr=11\r\nU=12\r\nW=13\r\n",
         {{"Rh", "10"}, {"Tmpr", "11"}, {"U", "12"}, {"W", "13"}},
         {}},
        {"long values cut to 5 characters",
         "[Map]\r\nspd=123456\r\nZNum=\xE0\xE1\xE2\xE3\xE4\xE5\xE6\r\nadd=7\r\n",  // абвгдеж
         {{"Rh", "0"}, {"Tmpr", "1"}, {"U", "2"}, {"W", "3"}},
         {{"spd", "12345"}, {"ZNum", "абвгд"}, {"add", "7"}}},
        {"Cmd1Parameters without W",
         "[Cmd1Parameters]\nRh=4\nTmpr=5\nU=6\n",
         {{"Rh", "4"}, {"Tmpr", "5"}, {"U", "6"}, {"W", "3"}},
         {}},
        {"other letter case, blanks, odd lines and empty values",
         "garbage before\n[MAP]\n  tph1 = 40 \npgaslow=\n???\n[cmd1parameters]\nw=9\n",
         {{"Rh", "0"}, {"Tmpr", "1"}, {"U", "2"}, {"W", "9"}},
         {{"TpH1", "40"}, {"PgasLow", ""}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteBytes(dir / "Memory_Map/map.ini", c.file);
        MemoryMap map;
        ASSERT_TRUE(LoadMemoryMap(dir.Path(), kMemoryMapFile, map));
        ASSERT_EQ(map.Map.size(), kMapKeys.size());
        for (const auto key : kMapKeys) {
            std::string expected = "0";
            for (const auto &[name, value] : c.cells)
                if (name == key) expected = value;
            EXPECT_EQ(map.Map.at(std::string(key)), expected) << key;
        }
        ASSERT_EQ(map.Cmd1Parameters.size(), 4u);
        for (const auto &[name, value] : c.cmd1) EXPECT_EQ(map.Cmd1Parameters.at(name), value) << name;
    }
}

TEST(MemoryMapFileTest, MissingOrUnreadableFileLoadsNothing) {
    TempDir dir;
    MemoryMap map;
    map.Map["spd"] = "21";
    EXPECT_FALSE(LoadMemoryMap(dir.Path(), kMemoryMapFile, map));
    std::filesystem::create_directories(dir / "Memory_Map/map.ini");  // a directory at its place
    EXPECT_FALSE(LoadMemoryMap(dir.Path(), kMemoryMapFile, map));
    EXPECT_EQ(map.Map.size(), 1u);
    EXPECT_EQ(map.Map["spd"], "21");
}

// ---------------------------------------------------------------- projects

class ProjectFileTest : public ::testing::Test {
protected:
    // A device whose every saved field differs from its default, with fields that are not saved.
    static TDevice SampleDevice() {
        TDevice d;
        d.Present = true;
        d.ParentPort = "COM3";
        d.Address = "12";
        d.Baudrate = 19200;
        d.EnableDevice = true;
        d.CountOfAU = "16";
        d.LCDmode = 2;
        d.ZNum = "40123";
        d.Nsensor = 7;
        d.Inf = "Датчик №1";
        d.TpH = 0.1;
        d.TpH1 = -2.5;
        d.TpB = 100000;
        d.TpB1 = 1.5E20;
        d.PH = 1E-6;
        d.Phigh = 12.5;
        d.Jcal = 4;
        d.Jcal1 = 1;
        d.Version = "2.1";  // not saved
        d.J1min = 3;
        d.Gamma = 1.25;
        d.PressureSourceFlag = 16;
        return d;
    }
    static ProjectWindowValues SampleWindow() {
        return {.PressureSource = 1, .StatusText = "Прибор найден", .OutputSignal = 2, .GammaText = "1.61",
                .ActivePage = 2};
    }

    // The project of SampleDevice and SampleWindow, byte for byte.
    static constexpr std::string_view kSampleProject =
        "[Date_Time]\r\n"
        "DateTime=11.12.2026 14:05:09\r\n"
        "[Device1]\r\n"
        "ParentPort=COM3\r\n"
        "Address=12\r\n"
        "Baudrate=19200\r\n"
        "Present=-1\r\n"
        "ActiveDevice=0\r\n"
        "EnableDevice=-1\r\n"
        "CountOfAU=16\r\n"
        "LCDmode=2\r\n"
        "ZNum=40123\r\n"
        "Nsensor=7\r\n"
        "Inf=\xC4\xE0\xF2\xF7\xE8\xEA \xB9" "1\r\n"
        "TpH=0.1\r\n"
        "TpH1=-2.5\r\n"
        "TpB=100000\r\n"
        "TpB1=1.5E20\r\n"
        "PH=1E-6\r\n"
        "Phigh=12.5\r\n"
        "Plow=0\r\n"
        "Jcal=4\r\n"
        "Jcal1=1\r\n"
        "[Tab3]\r\n"
        "GetPressureIndex=1\r\n"
        "Msg=\xCF\xF0\xE8\xE1\xEE\xF0 \xED\xE0\xE9\xE4\xE5\xED\r\n"
        "JIndex=2\r\n"
        "Gamma=1.61\r\n"
        "[ActiveTab]\r\n"
        "At=0\r\n";

    std::string OverwriteQuestion(const std::string &path) const {
        return "Ask: Файл " + path + " уже существует!?\r         Переписать его? -> ";
    }

    ProjectLoad Load(const std::string &path) { return LoadProject(path, device, configTab, view, project); }

    TempDir dir;
    RecordingView view;
    DeviceRecord device;
    ProjectState project{view};
    ConfigTab configTab{device, project, view};
};

TEST_F(ProjectFileTest, SaveReplacesAFileWithExactlyTheFourSections) {
    const std::string path = dir / "pump.prj";
    WriteBytes(path, "[Other]\r\nkept=no\r\n[Device1]\r\nExtra=1\r\n");
    view.QueueAnswers({true});
    ASSERT_TRUE(SaveProject(path, SampleDevice(), SampleWindow(), view, kSavedAt));
    EXPECT_EQ(view.Events(), std::vector<std::string>{OverwriteQuestion(path) + "Yes"});
    EXPECT_EQ(ReadBytes(path), kSampleProject);

    const std::string fresh = dir / "new.prj";
    ASSERT_TRUE(SaveProject(fresh, SampleDevice(), SampleWindow(), view, kSavedAt));
    EXPECT_EQ(view.Events().size(), 1u);  // no question for a new file
    EXPECT_EQ(ReadBytes(fresh), kSampleProject);
}

TEST_F(ProjectFileTest, DeclinedOverwriteLeavesTheFileByteForByte) {
    const std::string path = dir / "pump.prj";
    const std::string old = "[Device1]\nParentPort=COM7\n\xFF\x98 odd bytes";
    WriteBytes(path, old);
    view.QueueAnswers({false});
    EXPECT_FALSE(SaveProject(path, SampleDevice(), SampleWindow(), view, kSavedAt));
    EXPECT_EQ(view.Events(), std::vector<std::string>{OverwriteQuestion(path) + "No"});
    EXPECT_EQ(ReadBytes(path), old);
}

TEST_F(ProjectFileTest, FailedSaveReportsAndLosesNothing) {
    WriteBytes(dir / "plain-file", "not a directory");
    std::filesystem::create_directory(dir / "folder.prj");
    const struct {
        std::string path, reason;
    } cases[] = {
        {dir / "plain-file/pump.prj", "нет такой папки"},
        {dir / "missing/pump.prj", "нет такой папки"},
        {dir / "folder.prj", "на этом месте папка"},
    };
    for (const auto &c : cases) {
        view.ClearEvents();
        EXPECT_FALSE(SaveProject(c.path, SampleDevice(), SampleWindow(), view, kSavedAt));
        EXPECT_EQ(view.EventsOf("Error: "), std::vector<std::string>{"Ошибка записи файла " + c.path + " (" + c.reason +
                                                                     ").\rПроект не сохранён."});
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.prj"));
    EXPECT_EQ(ReadBytes(dir / "plain-file"), "not a directory");
}

TEST_F(ProjectFileTest, WriteFailingHalfwayLeavesTheOldFileWhole) {
    const std::string path = dir / "pump.prj";
    const std::string old(40, 'x');
    WriteBytes(path, old);
    // The file size limit stands for a full disk: the new file cannot get past 64 bytes.
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit limited = previous;
    limited.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool saved = SaveProject(path, SampleDevice(), SampleWindow(), view, kSavedAt);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(view.EventsOf("Error: "),
              std::vector<std::string>{"Ошибка записи файла " + path + " (файл слишком велик).\rПроект не сохранён."});
    int entries = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 1);  // the half-written file is gone
}

TEST_F(ProjectFileTest, SavedProjectLoadsBackWithTheWindowValues) {
    const std::string path = dir / "pump.prj";
    ASSERT_TRUE(SaveProject(path, SampleDevice(), SampleWindow(), view, kSavedAt));
    device.Update([](TDevice &d) { d.Gamma = 1.25; });  // not in projects: the record keeps it
    project.MarkProjectChanged();
    view.ClearEvents();
    ASSERT_EQ(Load(path), ProjectLoad::Loaded);

    const TDevice saved = SampleDevice(), d = device.Get();
    EXPECT_EQ(d.Present, saved.Present);
    EXPECT_EQ(d.ParentPort, saved.ParentPort);
    EXPECT_EQ(d.Address, saved.Address);
    EXPECT_EQ(d.Baudrate, saved.Baudrate);
    EXPECT_EQ(d.ActiveDevice, saved.ActiveDevice);
    EXPECT_EQ(d.EnableDevice, saved.EnableDevice);
    EXPECT_EQ(d.CountOfAU, saved.CountOfAU);
    EXPECT_EQ(d.LCDmode, saved.LCDmode);
    EXPECT_EQ(d.ZNum, saved.ZNum);
    EXPECT_EQ(d.Nsensor, saved.Nsensor);
    EXPECT_EQ(d.Inf, saved.Inf);
    EXPECT_EQ(d.TpH, saved.TpH);
    EXPECT_EQ(d.TpH1, saved.TpH1);
    EXPECT_EQ(d.TpB, saved.TpB);
    EXPECT_EQ(d.TpB1, saved.TpB1);
    EXPECT_EQ(d.PH, saved.PH);
    EXPECT_EQ(d.Phigh, saved.Phigh);
    EXPECT_EQ(d.Plow, saved.Plow);
    EXPECT_EQ(d.Jcal, saved.Jcal);
    EXPECT_EQ(d.Jcal1, saved.Jcal1);
    EXPECT_EQ(d.PressureSourceFlag, 0);  // "Измерение" was saved

    const ProjectWindowValues shown = view.ProjectValues();
    EXPECT_EQ(shown.PressureSource, 1);
    EXPECT_EQ(shown.StatusText, "Прибор найден");
    EXPECT_EQ(view.Status(), "Прибор найден");
    EXPECT_EQ(shown.OutputSignal, 2);
    EXPECT_EQ(shown.GammaText, "1.61");
    EXPECT_EQ(shown.ActivePage, 0);
    EXPECT_TRUE(view.DevicePagesEnabled());
    EXPECT_FALSE(view.KeyboardPressureEdits());
    EXPECT_EQ(view.ConfigPage().Gamma, "1.25");  // the fill puts the record's gamma in
    EXPECT_EQ(view.ConfigPage().Channel1Quantity, 4);
    EXPECT_FALSE(view.ProjectChanged());
    EXPECT_FALSE(project.Changed());
}

TEST_F(ProjectFileTest, ReadsAProjectWrittenByAnotherProgram) {
    const std::string path = dir / "hand.prj";
    const std::string inf150(150, '\xE6');  // ж
    WriteBytes(path,
               "; edited by hand\n"
               "[other]\nParentPort=COM8\n"
               "\n"
               "[DEVICE1]\n"
               "parentport = COM5 \n"
               "address=12345\n"
               "BAUDRATE=  115200\n"
               "present=1\n"
               "ActiveDevice=True\n"
               "EnableDevice=false\n"
               "countofau=\n"
               "LCDMODE=65537\n"
               "ZNum=123456789012\n"
               "Nsensor=-1\n"
               "Inf=" + inf150 + "\n"
               "TpH=1E-6\n"
               "tph1=1.5e20\n"
               "TpB=-0.5\n"
               "TpB1=100000\n"
               "PH=100000.0\n"
               "Phigh=+7\n"
               "Plow=.25\n"
               "Jcal=-1\n"
               "Jcal1=257\n"
               "Unknown=ignored\n"
               "\n"
               "[tab3]\n"
               "msg=\xD1\xE2\xFF\xE7\xFC \xE5\xF1\xF2\xFC\n"  // Связь есть
               "JIndex=1\n"
               "gamma=2,5\n"
               "[activetab]\n"
               "AT=2\n");
    ASSERT_EQ(Load(path), ProjectLoad::Loaded);

    const TDevice d = device.Get();
    EXPECT_EQ(d.ParentPort, "COM5");
    EXPECT_EQ(d.Address, "123");
    EXPECT_EQ(d.Baudrate, 115200);
    EXPECT_TRUE(d.Present);
    EXPECT_TRUE(d.ActiveDevice);
    EXPECT_FALSE(d.EnableDevice);
    EXPECT_EQ(d.CountOfAU, "");
    EXPECT_EQ(d.LCDmode, 1);       // stored into 16 bits
    EXPECT_EQ(d.ZNum, "1234567890");
    EXPECT_EQ(d.Nsensor, 65535);
    std::string inf100;
    for (int i = 0; i < 100; ++i) inf100 += "ж";
    EXPECT_EQ(d.Inf, inf100);
    EXPECT_EQ(d.TpH, 1E-6);
    EXPECT_EQ(d.TpH1, 1.5E20);
    EXPECT_EQ(d.TpB, -0.5);
    EXPECT_EQ(d.TpB1, 100000);
    EXPECT_EQ(d.PH, 100000);
    EXPECT_EQ(d.Phigh, 7);
    EXPECT_EQ(d.Plow, 0.25);
    EXPECT_EQ(d.Jcal, 255);  // stored into 8 bits
    EXPECT_EQ(d.Jcal1, 1);

    const ProjectWindowValues shown = view.ProjectValues();
    EXPECT_EQ(shown.StatusText, "Связь есть");
    EXPECT_EQ(shown.OutputSignal, 1);
    EXPECT_EQ(shown.GammaText, "2,5");  // a text, as typed
    EXPECT_EQ(shown.ActivePage, 2);     // a found device keeps the page of the file
    EXPECT_TRUE(view.DevicePagesEnabled());
}

TEST_F(ProjectFileTest, ProjectWithOnlyAPortLoadsTheDefaults) {
    device.Update([](TDevice &d) {
        d.Present = true;
        d.Address = "7";
        d.Baudrate = 300;
        d.TpH = 5;
        d.Jcal = 3;
        d.Gamma = 1.5;  // not in projects: the fill shows it
        d.PressureSourceFlag = 0;
    });
    const std::string path = dir / "port.prj";
    WriteBytes(path, "[Device1]\r\nParentPort=COM3\r\n");
    ASSERT_EQ(Load(path), ProjectLoad::Loaded);

    const TDevice d = device.Get();
    EXPECT_EQ(d.ParentPort, "COM3");
    EXPECT_EQ(d.Address, "0");
    EXPECT_EQ(d.Baudrate, 9600);
    EXPECT_FALSE(d.Present || d.ActiveDevice || d.EnableDevice);
    EXPECT_EQ(d.TpH, 0);
    EXPECT_EQ(d.Jcal, 0);
    EXPECT_EQ(d.ZNum, "0");
    EXPECT_EQ(d.Inf, "");
    // "GetPressureIndex" 0 selects "Клавиатура" although the flag was 0: the flag follows.
    EXPECT_EQ(d.PressureSourceFlag, 16);
    EXPECT_TRUE(view.KeyboardPressureEdits());
    EXPECT_EQ(view.ConfigPage().PressureSource, 0);

    const ProjectWindowValues shown = view.ProjectValues();
    EXPECT_EQ(shown.StatusText, "");
    EXPECT_EQ(shown.GammaText, "1.61");
    EXPECT_EQ(shown.ActivePage, 0);
    EXPECT_EQ(view.ActivePage(), Page::Link);  // no device: the first page
    EXPECT_FALSE(view.DevicePagesEnabled());
    EXPECT_EQ(view.ConfigPage().Gamma, "1.5");
    EXPECT_FALSE(view.ProjectChanged());
}

TEST_F(ProjectFileTest, ValueThatDoesNotConvertStopsTheLoadAtItsKey) {
    const struct {
        const char *key, *value, *message;
        bool laterKeysLoaded;  // the Device1 keys after it (checked at "Jcal1")
        bool statusShown;      // "Msg" was read before the key
    } cases[] = {
        {"Baudrate", "", "'' is not a valid integer value", false, false},
        {"Present", "yes", "'yes' is not a valid boolean value", false, false},
        {"TpH", "0,5", "'0,5' is not a valid floating point value", false, false},
        {"Jcal", "1.0", "'1.0' is not a valid integer value", false, false},
        {"GetPressureIndex", "x", "'x' is not a valid integer value", true, false},
        {"JIndex", "1.5", "'1.5' is not a valid integer value", true, true},
        {"At", "first", "'first' is not a valid integer value", true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        device.Update([](TDevice &d) { d = TDevice{.Present = true, .Address = "9", .PlotX = {1, 2, 3, 4}, .Jcal1 = 3}; });
        project.MarkProjectChanged();
        view.ClearEvents();

        std::string text(kSampleProject);
        const std::string line = "\n" + std::string(c.key) + "=";
        const auto at = text.find(line) + line.size();
        text.replace(at, text.find('\r', at) - at, c.value);
        WriteBytes(dir / "bad.prj", text);
        EXPECT_EQ(Load(dir / "bad.prj"), ProjectLoad::Stopped);

        EXPECT_EQ(view.EventsOf("Error: "), std::vector<std::string>{c.message});
        EXPECT_EQ(device.Get().PlotX, (std::array<double, 4>{}));  // the record was reset first
        const bool presentRead = std::string_view(c.key) != "Baudrate" && std::string_view(c.key) != "Present";
        EXPECT_EQ(device.Get().Present, presentRead);  // false from the reset until it is read
        EXPECT_EQ(device.Get().Address, "12");  // read before the failing key
        EXPECT_EQ(device.Get().Jcal1, c.laterKeysLoaded ? 1 : 3);
        EXPECT_EQ(view.EventsOf("Status: ").size(), c.statusShown ? 1u : 0u);
        EXPECT_TRUE(view.EventsOf("ProjectValues: ").empty());
        EXPECT_TRUE(view.EventsOf("ConfigPage: ").empty());
        EXPECT_TRUE(project.Changed());  // the unchanged mark does not come
    }
}

TEST_F(ProjectFileTest, MissingOrUnreadableFileChangesNothing) {
    device.Update([](TDevice &d) { d.Present = true, d.ZNum = "555"; });
    const std::string missing = dir / "Default.prj";
    EXPECT_EQ(Load(missing), ProjectLoad::Missing);
    EXPECT_EQ(view.Events(), std::vector<std::string>{"Notify: Файла " + missing + " не существует!?"});

    view.ClearEvents();
    const std::string pipe = dir / "pipe.prj";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(Load(pipe), ProjectLoad::Stopped);
    EXPECT_EQ(view.Events(),
              std::vector<std::string>{"Error: Ошибка чтения файла " + pipe + " (это не обычный файл)."});
    EXPECT_TRUE(device.Get().Present);
    EXPECT_EQ(device.Get().ZNum, "555");
}

TEST_F(ProjectFileTest, NumbersKeepTheirPointUnderADecimalCommaLocale) {
    if (!std::setlocale(LC_ALL, "ru_RU.UTF-8")) GTEST_SKIP() << "ru_RU.UTF-8 is not available";
    TDevice sample = SampleDevice();
    sample.TpH = 12.5;
    const std::string path = dir / "comma.prj";
    const bool saved = SaveProject(path, sample, SampleWindow(), view, kSavedAt);
    const std::string bytes = ReadBytes(path);
    const ProjectLoad loaded = Load(path);
    std::setlocale(LC_ALL, "C");

    ASSERT_TRUE(saved);
    EXPECT_NE(bytes.find("\r\nTpH=12.5\r\n"), std::string::npos);
    ASSERT_EQ(loaded, ProjectLoad::Loaded);
    EXPECT_EQ(device.Get().TpH, 12.5);
}

// ---------------------------------------------------------------- property file

TEST(PropFileTest, RemembersTheProjectAndFallsBackToTheDefault) {
    TempDir dir;
    RecordingView view;
    const std::string defaultProject = dir / "Default.prj";
    EXPECT_EQ(ReadPropFile(dir.Path()), defaultProject);  // no property file

    const std::string project = dir / "pump.prj";
    ASSERT_TRUE(WritePropFile(dir.Path(), project, view, {2026, 2, 1, 9, 5, 3}));
    EXPECT_EQ(ReadBytes(dir / "VILO_prop.inf"),
              "[Date_Time]\r\nDateTime=01.02.2026 09:05:03\r\n[DefFile]\r\nName=" + project + "\r\n");
    EXPECT_EQ(ReadPropFile(dir.Path()), defaultProject);  // remembered, but never saved
    WriteBytes(project, "");
    EXPECT_EQ(ReadPropFile(dir.Path()), project);
    EXPECT_TRUE(view.Events().empty());
}

TEST(PropFileTest, UpdatesInPlaceKeepingOtherEntries) {
    TempDir dir;
    RecordingView view;
    WriteBytes(dir / "VILO_prop.inf",
               "; another program's notes\n"
               "[Window]\n"
               "Left=100\n"
               "\n"
               "[deffile]\n"
               "NAME=C:\\Vilo\\old.prj\n"
               "Recent=C:\\Vilo\\older.prj\n");
    ASSERT_TRUE(WritePropFile(dir.Path(), "/home/u/Проект.prj", view, kSavedAt));
    EXPECT_EQ(ReadBytes(dir / "VILO_prop.inf"),
              "; another program's notes\n"
              "[Window]\n"
              "Left=100\n"
              "\n"
              "[deffile]\n"
              "NAME=/home/u/\xCF\xF0\xEE\xE5\xEA\xF2.prj\n"
              "Recent=C:\\Vilo\\older.prj\n"
              "[Date_Time]\r\n"
              "DateTime=11.12.2026 14:05:09\r\n");
}

TEST(PropFileTest, ReadsTheRememberedPathOnlyWhenItsProjectExists) {
    const struct {
        const char *name;
        std::string file;      // the property file ("<dir>" stands for the program directory)
        bool projectInDir;     // "pump.prj" exists in the program directory
        std::string expected;  // "<dir>" as above
    } cases[] = {
        {"Windows path, same name in the program directory", "[DefFile]\r\nName=C:\\Vilo\\pump.prj\r\n", true,
         "C:\\Vilo\\pump.prj"},
        {"Windows path, no such name", "[DefFile]\r\nName=C:\\Vilo\\pump.prj\r\n", false, "<dir>/Default.prj"},
        {"this directory's project, other case", "[DEFFILE]\nname=<dir>/pump.prj\n", true, "<dir>/pump.prj"},
        {"deleted project", "[DefFile]\nName=<dir>/pump.prj\n", false, "<dir>/Default.prj"},
        {"empty name", "[DefFile]\nName=\n", true, "<dir>/Default.prj"},
        {"no DefFile section", "[Date_Time]\nDateTime=x\n", true, "<dir>/Default.prj"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto inDir = [&](std::string text) {
            if (const auto at = text.find("<dir>"); at != std::string::npos) text.replace(at, 5, dir.Path());
            return text;
        };
        WriteBytes(dir / "VILO_prop.inf", inDir(c.file));
        if (c.projectInDir) WriteBytes(dir / "pump.prj", "");
        const std::string read = ReadPropFile(dir.Path());
        EXPECT_EQ(read, inDir(c.expected));
        EXPECT_EQ(FileNamePart(read), c.projectInDir && read != dir / "Default.prj" ? "pump.prj" : "Default.prj");
    }
}

TEST(PropFileTest, FileThatCannotBeReadOrWrittenIsReportedAndKept) {
    TempDir dir;
    RecordingView view;
    WriteBytes(dir / "plain-file", "x");
    EXPECT_FALSE(WritePropFile(dir / "plain-file", "/p.prj", view, kSavedAt));

    ASSERT_EQ(::mkfifo((dir / "VILO_prop.inf").c_str(), 0600), 0);
    EXPECT_FALSE(WritePropFile(dir.Path(), "/p.prj", view, kSavedAt));
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "VILO_prop.inf"));  // not replaced: it may hold more
    EXPECT_EQ(ReadPropFile(dir.Path()), dir / "Default.prj");

    EXPECT_EQ(view.EventsOf("Error: "),
              (std::vector<std::string>{
                  "Ошибка записи файла " + dir / "plain-file/VILO_prop.inf" + " (нет такой папки).",
                  "Ошибка чтения файла " + dir / "VILO_prop.inf" + " (это не обычный файл).",
              }));
}

}  // namespace
}  // namespace vilo
