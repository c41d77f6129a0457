// Every row of the device table, its command rules and error texts, and the messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "ascii_u/device_table.h"
#include "ascii_u/error_texts.h"
#include "cp1251_expect.h"
#include "devlink.h"

using namespace devlink;

namespace {

struct ExpectedRow {
    std::uint16_t type;
    std::string name;
    std::uint16_t timeout, channels, extra;
    std::string indexes;
    std::string rules;   // "command:request,answer ..." ("*" for row 0's generated commands)
    std::string errors;  // which error group of the table
};

const std::string kBasic = "0:0,1 1:1,1";
const std::string kHl = "0:0,1 1:1,1 2:1,0 3:1,1 4:1,0 5:1,1 6:1,0 7:1,1 8:1,0 9:1,1 10:1,1 11:1,0";
const std::string kQv360 = "0:0,1 1:1,1 6:1,1";
const std::string kNx81 = "0:0,1 1:1,1 2:1,0 3:0,1 4:1,0 5:1,0 6:0,1 7:1,0 8:1,0 9:1,0 11:0,0 13:0,0 14:0,0 255:0,0";
const std::string kGk3 = "0:0,1 1:1,1 2:1,0 3:0,1 4:1,0 5:1,0 6:1,0 7:0,1 8:1,1 9:1,0 10:1,0 254:0,1 255:0,0";

std::string Groups(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "[" + std::to_string(i) + "]";
    return text;
}

const std::vector<ExpectedRow> kRows = {
    {0, "Unknown device", 1200, 0, 0, "", "*", "none"},
    {1, "QV 410", 400, 8, 8, "[0,8][1,9][2,10][3,11][4,12][5,13][6,14][7,15]", kBasic, "qv"},
    {2, "QV 420", 400, 4, 8, "[0,4,8][1,5,9][2,6,10][3,7,11]", kBasic, "qv"},
    {3, "NX 62B Early", 400, 1, 2, "[0,1,2]", kBasic, "nx62"},
    {4, "NX 62K", 400, 1, 2, "[0,1,2]", kBasic, "nx62"},
    {5, "NX 62B", 400, 1, 2, "[0,1,2]", kBasic, "nx62"},
    {6, "QV 400", 400, 8, 0, "[0][1][2][3][4][5][6][7][8]", kBasic, "qv"},
    {7, "HL 7F", 400, 3, 12, "[1,4,7,10,13][2,5,8,11,14][3,6,9,12,15]", kHl, "hl"},
    {8, "QV 360", 400, 6, 12, "[0,8,16][1,9,17][2,10,18][3,11,19][4,12,20][5,13,21]", kQv360, "qv360"},
    {9, "NX 81(2)", 150, 1, 3, "[0,1,2,3]", kNx81, "nx81"},
    {10, "NXV-806", 400, 128, 0, Groups(128), kQv360, "nxv806"},
    {11, "HL 6F", 400, 6, 24,
     "[1,7,13,19,25][2,8,14,20,26][3,9,15,21,27][4,10,16,22,28][5,11,17,23,29][6,12,18,24,30]", kHl, "hl"},
    {12, "ZS-7", 400, 1, 0, "[0]", kBasic, "zs7"},
    {13, "GK-3", 1200, 3, 0, "[0][1][2]", kGk3, "gk3"},
    {15, "WRC-900", 2000, 3, 0, "[1][2][3]", kHl, "hl"},
};

const std::map<std::string, std::map<int, std::string>> kErrorGroups = {
    {"none", {}},
    {"qv",
     {{0, "Прибор неисправен и требует ремонта"},
      {1, "Прибор неисправен и требует ремонта"},
      {2, "Входной сигнал превышает максимально допустимый уровень"},
      {3, "Не существующий номер канала"}}},
    {"nx62",
     {{0, "Прибор неисправен и требует ремонта"},
      {1, "Обрыв в цепи датчика"},
      {2, "Входной сигнал превышает максимально допустимый уровень(переполнение)"},
      {3, "Не существующий номер канала"},
      {6, "Измеряемые данные недоступны(например, сразу после включения прибора)"}}},
    {"hl",
     {{0, "Ошибок нет"},
      {1, "Прибор неисправен и требует ремонта"},
      {2, "Переполнение"},
      {3, "Неверная контрольная сумма при чтении чисел из eeprom"},
      {4, "Получена неверная команда"}}},
    {"qv360",
     {{0, "Прибор неисправен и требует ремонта"},
      {1, "Переполнение АЦП (вниз) или обрыв датчика"},
      {3, "Не существующий номер канала"},
      {6, "Измеряемые данные недоступны (например, сразу после включения прибора)"},
      {8, "Переполнение АЦП (вверх)"},
      {9, "Прибор неисправен и требует ремонта"}}},
    {"nxv806",
     {{0, "Прибор неисправен и требует ремонта"},
      {1, "Переполнение АЦП (вниз) или обрыв датчика"},
      {3, "Не существующий номер канала"},
      {6, "Измеряемые данные недоступны (например, сразу после включения прибора)"},
      {8, "Переполнение АЦП (вверх)"}}},
    {"nx81",
     {{0, "Ошибок нет"},
      {17, "Неопознанная команда"},
      {18, "Неверный тип данных команды"},
      {19, "Превышение максимального адреса EEPROM"},
      {20, "Ошибка EEPROM"},
      {21, "Ошибка контрольной суммы EEPROM"},
      {22, "Превышение максимального адреса знакоместа индикатора"},
      {23, "Доступ к EEPROM запрещен"},
      {49, "Обрыв датчика"},
      {50, "АЦП не готов. Прошло недостаточно времени от момента включения или изменения параметров АЦП"},
      {51, "Выход за границу диапазона"},
      {52, "Ошибка АЦП по таймауту"},
      {53, "АЦП сообщает об ошибке EEPROM"}}},
    {"zs7", {{0, "Ошибок нет"}}},
    {"gk3",
     {{0, "Ошибок нет"},
      {21, "Неопознанная команда"},
      {22, "Неверный тип данных команды"},
      {23, "Превышение максимального адреса"},
      {24, "Ошибка EEPROM прибора"}}},
};

std::map<int, TCommandKind> ParseRules(const std::string &rules) {
    std::map<int, TCommandKind> parsed;
    if (rules == "*") {
        parsed[0] = {NoData, DataChecked};
        parsed[1] = {DataRequired, DataChecked};
        for (int c = 2; c <= 255; ++c) parsed[c] = {DataAlways, DataUnchecked};
        return parsed;
    }
    std::size_t pos = 0;
    while (pos < rules.size()) {
        const int command = std::stoi(rules.substr(pos));
        pos = rules.find(':', pos) + 1;
        const int request = std::stoi(rules.substr(pos));
        pos = rules.find(',', pos) + 1;
        const int answer = std::stoi(rules.substr(pos));
        parsed[command] = {static_cast<std::uint8_t>(request), static_cast<std::uint8_t>(answer)};
        pos = rules.find(' ', pos);
        pos = pos == std::string::npos ? rules.size() : pos + 1;
    }
    return parsed;
}

int CountIndexes(const std::string &indexes) {
    int count = 0;
    bool inNumber = false;
    for (char c : indexes) {
        const bool digit = c >= '0' && c <= '9';
        if (digit && !inNumber) ++count;
        inNumber = digit;
    }
    return count;
}

class DeviceRowTest : public testing::TestWithParam<std::size_t> {};

TEST_P(DeviceRowTest, MatchesTheTable) {
    const ExpectedRow &want = kRows[GetParam()];
    const TDeviceInfo &row = DeviceTable().at(GetParam());
    EXPECT_EQ(row.DeviceType, want.type);
    EXPECT_EQ(row.Name, want.name);
    EXPECT_EQ(row.Timeout, want.timeout);
    EXPECT_EQ(row.ChannelCount, want.channels);
    EXPECT_EQ(row.ExtraCount, want.extra);
    EXPECT_EQ(row.ChannelIndexes, want.indexes);
    const auto groups = static_cast<int>(std::count(want.indexes.begin(), want.indexes.end(), '['));
    EXPECT_EQ(row.ExtraCount, CountIndexes(row.ChannelIndexes) - groups);

    const auto rules = ParseRules(want.rules);
    EXPECT_EQ(row.Commands.count(), rules.size());
    for (const auto &[command, kind] : rules) {
        ASSERT_TRUE(row.Commands.test(command)) << command;
        EXPECT_EQ(row.CommandKinds[command].RequestKind, kind.RequestKind) << command;
        EXPECT_EQ(row.CommandKinds[command].AnswerKind, kind.AnswerKind) << command;
    }

    const auto &errors = kErrorGroups.at(want.errors);
    EXPECT_EQ(row.DeviceErrors.count(), errors.size());
    for (int n = 0; n < 256; ++n) {
        const auto found = errors.find(n);
        EXPECT_EQ(row.DeviceErrors.test(n), found != errors.end()) << n;
        EXPECT_EQ(row.DeviceErrorTexts[n], found != errors.end() ? Cp1251(found->second) : "") << n;
    }
}

INSTANTIATE_TEST_SUITE_P(AllRows, DeviceRowTest, testing::Range<std::size_t>(0, kDeviceTableRows));

TEST(DeviceTable, HasFifteenRowsAndNoType14) {
    EXPECT_EQ(DeviceTable().size(), kDeviceTableRows);
    TDeviceInfo info;
    info.Name = "stale";
    EXPECT_EQ(LookupDeviceByType(14, info), EX_ERR_UNKNOWN_TYPE);
    EXPECT_EQ(info.Name, "");
    EXPECT_EQ(info.Commands.count(), 0u);
    ASSERT_EQ(LookupDeviceByType(15, info), EX_OK);
    EXPECT_EQ(info.Name, "WRC-900");
    EXPECT_EQ(info.Timeout, 2000);
}

TEST(DeviceTable, NameLookupIsExact) {
    TDeviceInfo info;
    ASSERT_EQ(LookupDeviceByName("Unknown device", info), EX_OK);
    EXPECT_EQ(info.DeviceType, 0);
    EXPECT_EQ(LookupDeviceByName("unknown device", info), EX_ERR_UNKNOWN_TYPE);
    EXPECT_EQ(LookupDeviceByName("GK-3 ", info), EX_ERR_UNKNOWN_TYPE);
    ASSERT_EQ(LookupDeviceByName("NX 81(2)", info), EX_OK);
    EXPECT_EQ(info.DeviceType, 9);
}

TEST(DeviceTable, AllNamesInRowOrder) {
    EXPECT_EQ(AllDeviceNames(),
              "Unknown device;QV 410;QV 420;NX 62B Early;NX 62K;NX 62B;QV 400;HL 7F;QV 360;NX 81(2);NXV-806;HL 6F;"
              "ZS-7;GK-3;WRC-900;");
    EXPECT_EQ(DeviceTable()[10].ChannelIndexes.size(), 530u);
}

struct MessageCase {
    std::uint16_t type;
    std::int32_t code;
    const char *text;
};

TEST(ExtendedErrorInfo, EveryResultCodeAndDeviceErrors) {
    const MessageCase cases[] = {
        {0, 0, "Ok"},
        {0, -1, "Error"},
        {0, -2, "Ошибка в параметрах вызываемой функции"},
        {0, -3, "COM-порт уже открыт"},
        {0, -4, "COM-порт отсутствует"},
        {0, -5, "COM-порт занят другой программой"},
        {0, -6, "COM-порт недоступен"},
        {0, -7, "Невозможно определить настройки COM-порта"},
        {0, -8, "Невозможно установить настройки COM-порта"},
        {0, -9, "COM-порт не был открыт"},
        {0, -10, "Невозможно закрыть COM-порт"},
        {0, -11, "Невозможно передать данные в COM-порт"},
        {0, -12, "Ошибка при передаче данных в COM-порт"},
        {0, -13, "Невозможно принять данные из COM-порта"},
        {0, -14, "Ошибка при приеме данных из COM-порта"},
        {0, -15, "Неверная длина посылки"},
        {0, -16, "Неверная структура посылки (остутствует признак начала посылки (символ \":\" или \"!\") или нет "
                 "данных после этих символов)"},
        {0, -17, "Неизвестный тип прибора"},
        {0, -18, "Неверная команда (прибор ее не воспринимает)"},
        {0, -19, "Ошибка контрольной суммы прибора"},
        {0, -20, "Неверный адрес прибора в ответе"},
        {0, -21, "Ошибочные полезные данные от прибора"},
        {0, -22, "Прибор сообщает об ошибке"},
        {0, -99, "Ошибка DLL - Handle неопределен"},
        {0, -23, "Неизвестная ошибка"},
        {0, 1, "Неизвестная ошибка"},
        {0, -100, "Неизвестная ошибка"},
        {7, -1000, "Ошибок нет"},
        {7, -1005, "Поступила неизвестная ошибка от прибора"},
        {14, -1000, "Неизвестный тип прибора"},
        {7, -1226, "Неизвестная ошибка"},
        {0, -1226, "Неизвестная ошибка"},
        {9, -1050, "АЦП не готов. Прошло недостаточно времени от момента включения или изменения параметров АЦП"},
        {10, -1009, "Поступила неизвестная ошибка от прибора"},
        {8, -1009, "Прибор неисправен и требует ремонта"},
        {0, -1000, "Поступила неизвестная ошибка от прибора"},
        {13, -1225, "Поступила неизвестная ошибка от прибора"},
        {13, -1024, "Ошибка EEPROM прибора"},
    };
    for (const auto &c : cases) EXPECT_EQ(ExtendedErrorInfo(c.type, c.code), Cp1251(c.text)) << c.code;
}

}  // namespace
