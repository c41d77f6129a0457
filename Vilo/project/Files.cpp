#include "project/Files.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <ctime>
#include <system_error>
#include <type_traits>
#include <variant>

#include "project/Cp1251.h"
#include "project/IniFile.h"
#include "project/NumberText.h"

namespace vilo {
namespace {

constexpr std::string_view kDeviceSection = "Device1";
constexpr char kCR = '\r';

// One entry of section "Device1": its key, the text read when it is missing, the field of the
// record it keeps and, for texts, the field's width. The field's type gives the value's form:
// text, integer (stored into the field's width), boolean ("-1"/"0") or real.
struct DeviceKey {
    using Field = std::variant<std::string TDevice::*, std::int32_t TDevice::*, std::uint16_t TDevice::*,
                               std::uint8_t TDevice::*, bool TDevice::*, double TDevice::*>;
    std::string_view name;
    std::string_view fallback;
    Field field;
    std::size_t width = 0;  // 0: not cut
};

// The keys in the order they are written and read.
const std::array<DeviceKey, 20> &DeviceKeys() {
    static const std::array<DeviceKey, 20> keys = {{
        {"ParentPort", "COM1", &TDevice::ParentPort},
        {"Address", "0", &TDevice::Address, kAddressWidth},
        {"Baudrate", "9600", &TDevice::Baudrate},
        {"Present", "0", &TDevice::Present},
        {"ActiveDevice", "0", &TDevice::ActiveDevice},
        {"EnableDevice", "0", &TDevice::EnableDevice},
        {"CountOfAU", "0", &TDevice::CountOfAU, kCountOfAUWidth},
        {"LCDmode", "0", &TDevice::LCDmode},
        {"ZNum", "0", &TDevice::ZNum, kZNumWidth},
        {"Nsensor", "0", &TDevice::Nsensor},
        {"Inf", "", &TDevice::Inf, kInfWidth},
        {"TpH", "0", &TDevice::TpH},
        {"TpH1", "0", &TDevice::TpH1},
        {"TpB", "0", &TDevice::TpB},
        {"TpB1", "0", &TDevice::TpB1},
        {"PH", "0", &TDevice::PH},
        {"Phigh", "0", &TDevice::Phigh},
        {"Plow", "0", &TDevice::Plow},
        {"Jcal", "0", &TDevice::Jcal},
        {"Jcal1", "0", &TDevice::Jcal1},
    }};
    return keys;
}

template <typename Field>
using FieldType = std::remove_cvref_t<decltype(std::declval<TDevice &>().*std::declval<Field>())>;

std::string FieldText(const TDevice &device, const DeviceKey &key) {
    return std::visit(
        [&](auto field) -> std::string {
            using T = FieldType<decltype(field)>;
            const T &value = device.*field;
            if constexpr (std::is_same_v<T, std::string>)
                return value;
            else if constexpr (std::is_same_v<T, bool>)
                return value ? "-1" : "0";
            else
                return FormatReal(static_cast<double>(value));
        },
        key.field);
}

std::string NotValid(std::string_view text, std::string_view form) {
    return "'" + std::string(text) + "' is not a valid " + std::string(form) + " value";
}

// Converts the text of a key and stores it into its field. False with the conversion error
// when the text is not of the key's form; the field then keeps its value.
bool StoreField(DeviceRecord &device, const DeviceKey &key, const std::string &text, std::string &failure) {
    return std::visit(
        [&](auto field) {
            using T = FieldType<decltype(field)>;
            T value{};
            if constexpr (std::is_same_v<T, std::string>) {
                value = key.width == 0 ? text : Utf8Left(text, key.width);
            } else if constexpr (std::is_same_v<T, bool>) {
                if (!ParseBool(text, value)) return failure = NotValid(text, "boolean"), false;
            } else if constexpr (std::is_same_v<T, double>) {
                if (!ParseReal(text, value)) return failure = NotValid(text, "floating point"), false;
            } else {
                std::int32_t number = 0;
                if (!ParseInt(text, number)) return failure = NotValid(text, "integer"), false;
                value = static_cast<T>(number);  // kept in the field's width
            }
            device.Update([&](TDevice &d) { d.*field = std::move(value); });
            return true;
        },
        key.field);
}

// An item of a list of the given length; a hand-edited file may name one beyond its ends.
int Item(std::int32_t index, int count) { return std::clamp(index, 0, count - 1); }

std::string Reason(const std::error_code &error) {
    using std::errc;
    if (error == errc::no_space_on_device) return "на диске нет места";
    if (error == errc::permission_denied || error == errc::operation_not_permitted) return "нет доступа";
    if (error == errc::read_only_file_system) return "диск доступен только для чтения";
    if (error == errc::no_such_file_or_directory || error == errc::not_a_directory) return "нет такой папки";
    if (error == errc::is_a_directory) return "на этом месте папка";
    if (error == errc::file_too_large) return "файл слишком велик";
    if (error == errc::filename_too_long) return "слишком длинное имя";
    if (error == errc::invalid_argument) return "это не обычный файл";
    return "ошибка ввода-вывода, код " + FormatReal(error.value());
}

std::string ReadFailure(const std::string &path, const std::error_code &error) {
    return "Ошибка чтения файла " + path + " (" + Reason(error) + ").";
}

std::string WriteFailure(const std::string &path, const std::error_code &error) {
    return "Ошибка записи файла " + path + " (" + Reason(error) + ").";
}

std::string Padded(int number, std::size_t digits) {
    std::string text = FormatReal(number);
    if (text.size() < digits) text.insert(0, digits - text.size(), '0');
    return text;
}

}  // namespace

LocalDateTime LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

std::string DateTimeText(const LocalDateTime &m) {
    return Padded(m.Day, 2) + "." + Padded(m.Month, 2) + "." + Padded(m.Year, 4) + " " + Padded(m.Hour, 2) + ":" +
           Padded(m.Minute, 2) + ":" + Padded(m.Second, 2);
}

bool LoadMemoryMap(std::string_view programDir, std::string_view relativeName, MemoryMap &map) {
    std::string name(relativeName);
    std::replace(name.begin(), name.end(), '\\', '/');
    const std::string path = InProgramDir(programDir, name);
    IniFile file;
    std::error_code error;
    if (!FileExists(path) || !LoadIniFile(path, file, error)) return false;

    MemoryMap loaded;
    for (const auto &[key, fallback] : kCmd1Keys)
        loaded.Cmd1Parameters[std::string(key)] = Utf8Left(file.ReadString("Cmd1Parameters", key, fallback), kMapValueWidth);
    for (const auto key : kMapKeys)
        loaded.Map[std::string(key)] = Utf8Left(file.ReadString("Map", key, "0"), kMapValueWidth);
    map = std::move(loaded);
    return true;
}

bool SaveProject(const std::string &path, const TDevice &device, const ProjectWindowValues &window, UserView &view,
                 const LocalDateTime &savedAt) {
    if (FileExists(path) && !view.Ask("Файл " + path + " уже существует!?" + kCR + "         Переписать его?"))
        return false;

    IniFile file;
    file.WriteString("Date_Time", "DateTime", DateTimeText(savedAt));
    for (const DeviceKey &key : DeviceKeys()) file.WriteString(kDeviceSection, key.name, FieldText(device, key));
    file.WriteString("Tab3", "GetPressureIndex", FormatReal(window.PressureSource));
    file.WriteString("Tab3", "Msg", window.StatusText);
    file.WriteString("Tab3", "JIndex", FormatReal(window.OutputSignal));
    file.WriteString("Tab3", "Gamma", window.GammaText);
    file.WriteString("ActiveTab", "At", "0");

    std::error_code error;
    if (!SaveIniFile(path, file, error)) {
        view.ShowError(WriteFailure(path, error) + kCR + "Проект не сохранён.");
        return false;
    }
    return true;
}

ProjectLoad LoadProject(const std::string &path, DeviceRecord &device, ConfigTab &configTab, UserView &view,
                        ProjectState &project) {
    if (!FileExists(path)) {
        view.Notify("Файла " + path + " не существует!?");
        return ProjectLoad::Missing;
    }
    IniFile file;
    std::error_code error;
    if (!LoadIniFile(path, file, error)) {
        view.ShowError(ReadFailure(path, error));
        return ProjectLoad::Stopped;
    }

    ResetDevice(device, view);
    std::string failure;
    for (const DeviceKey &key : DeviceKeys()) {
        if (!StoreField(device, key, file.ReadString(kDeviceSection, key.name, key.fallback), failure)) {
            view.ShowError(failure);
            return ProjectLoad::Stopped;
        }
    }

    // The window's values, each taking effect as it is read. The window shows them all at
    // once; a value that does not convert stops the load with what came before it shown.
    ProjectWindowValues window;
    std::int32_t index = 0;
    const std::string pressureSource = file.ReadString("Tab3", "GetPressureIndex", "0");
    if (!ParseInt(pressureSource, index)) {
        view.ShowError(NotValid(pressureSource, "integer"));
        return ProjectLoad::Stopped;
    }
    window.PressureSource = Item(index, 2);
    configTab.PressureSourceSelected(window.PressureSource);  // also when it was selected already

    window.StatusText = file.ReadString("Tab3", "Msg", "");
    const auto stopAt = [&](const std::string &text) {
        view.ShowStatus(window.StatusText);
        view.ShowError(NotValid(text, "integer"));
        return ProjectLoad::Stopped;
    };
    const std::string outputSignal = file.ReadString("Tab3", "JIndex", "0");
    if (!ParseInt(outputSignal, index)) return stopAt(outputSignal);
    window.OutputSignal = Item(index, 3);
    window.GammaText = file.ReadString("Tab3", "Gamma", "1.61");
    const std::string activePage = file.ReadString("ActiveTab", "At", "0");
    if (!ParseInt(activePage, index)) return stopAt(activePage);
    window.ActivePage = Item(index, 3);
    view.ApplyProjectValues(window);

    // Without a device the first page comes forward again, and the fill puts the record's own
    // gamma and pressure source into the page.
    ShowFoundDevice(device.Get(), view);
    configTab.Fill();
    project.MarkProjectUnchanged();
    return ProjectLoad::Loaded;
}

bool WritePropFile(std::string_view programDir, const std::string &projectPath, UserView &view,
                   const LocalDateTime &writtenAt) {
    const std::string path = InProgramDir(programDir, kPropFile);
    IniFile file;
    std::error_code error;
    if (FileExists(path) && !LoadIniFile(path, file, error)) {
        view.ShowError(ReadFailure(path, error));  // rewriting it would lose what it holds
        return false;
    }
    file.WriteString("Date_Time", "DateTime", DateTimeText(writtenAt));
    file.WriteString("DefFile", "Name", projectPath);
    if (!SaveIniFile(path, file, error)) {
        view.ShowError(WriteFailure(path, error));
        return false;
    }
    return true;
}

std::string ReadPropFile(std::string_view programDir) {
    const std::string fallback = InProgramDir(programDir, kDefaultProject);
    const std::string path = InProgramDir(programDir, kPropFile);
    IniFile file;
    std::error_code error;
    if (!FileExists(path) || !LoadIniFile(path, file, error)) return fallback;
    const std::string remembered = file.ReadString("DefFile", "Name", fallback);
    const bool windowsPath = remembered.find('\\') != std::string::npos;
    const bool exists = FileExists(windowsPath ? InProgramDir(programDir, FileNamePart(remembered)) : remembered);
    return exists ? remembered : fallback;
}

}  // namespace vilo
