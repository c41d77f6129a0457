#include "device_table.h"

#include <initializer_list>
#include <utility>

#include "cp1251.h"
#include "devlink.h"

namespace devlink {
namespace {

struct CommandRule {
    std::uint8_t command;
    std::uint8_t request;
    std::uint8_t answer;
};

struct ErrorText {
    std::uint8_t number;
    const char *utf8;
};

using Rules = std::initializer_list<CommandRule>;
using Errors = std::initializer_list<ErrorText>;

const Rules kBasicRules = {{0, NoData, DataChecked}, {1, DataRequired, DataChecked}};

const Rules kHlRules = {
    {0, 0, 1}, {1, 1, 1}, {2, 1, 0}, {3, 1, 1}, {4, 1, 0},  {5, 1, 1},
    {6, 1, 0}, {7, 1, 1}, {8, 1, 0}, {9, 1, 1}, {10, 1, 1}, {11, 1, 0},
};

const Rules kQv360Rules = {{0, 0, 1}, {1, 1, 1}, {6, 1, 1}};

const Rules kNx81Rules = {
    {0, 0, 1}, {1, 1, 1}, {2, 1, 0}, {3, 0, 1},  {4, 1, 0},  {5, 1, 0},  {6, 0, 1},
    {7, 1, 0}, {8, 1, 0}, {9, 1, 0}, {11, 0, 0}, {13, 0, 0}, {14, 0, 0}, {255, 0, 0},
};

const Rules kGk3Rules = {
    {0, 0, 1}, {1, 1, 1}, {2, 1, 0}, {3, 0, 1}, {4, 1, 0},  {5, 1, 0},   {6, 1, 0},
    {7, 0, 1}, {8, 1, 1}, {9, 1, 0}, {10, 1, 0}, {254, 0, 1}, {255, 0, 0},
};

const Errors kQvErrors = {
    {0, "Прибор неисправен и требует ремонта"},
    {1, "Прибор неисправен и требует ремонта"},
    {2, "Входной сигнал превышает максимально допустимый уровень"},
    {3, "Не существующий номер канала"},
};

const Errors kNx62Errors = {
    {0, "Прибор неисправен и требует ремонта"},
    {1, "Обрыв в цепи датчика"},
    {2, "Входной сигнал превышает максимально допустимый уровень(переполнение)"},
    {3, "Не существующий номер канала"},
    {6, "Измеряемые данные недоступны(например, сразу после включения прибора)"},
};

const Errors kHlErrors = {
    {0, "Ошибок нет"},
    {1, "Прибор неисправен и требует ремонта"},
    {2, "Переполнение"},
    {3, "Неверная контрольная сумма при чтении чисел из eeprom"},
    {4, "Получена неверная команда"},
};

const Errors kNxv806Errors = {
    {0, "Прибор неисправен и требует ремонта"},
    {1, "Переполнение АЦП (вниз) или обрыв датчика"},
    {3, "Не существующий номер канала"},
    {6, "Измеряемые данные недоступны (например, сразу после включения прибора)"},
    {8, "Переполнение АЦП (вверх)"},
};

const Errors kNx81Errors = {
    {0, "Ошибок нет"},
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
    {53, "АЦП сообщает об ошибке EEPROM"},
};

const Errors kNoErrorOnly = {{0, "Ошибок нет"}};

const Errors kGk3Errors = {
    {0, "Ошибок нет"},
    {21, "Неопознанная команда"},
    {22, "Неверный тип данных команды"},
    {23, "Превышение максимального адреса"},
    {24, "Ошибка EEPROM прибора"},
};

void SetRules(TDeviceInfo &row, Rules rules) {
    for (const auto &rule : rules) {
        row.Commands.set(rule.command);
        row.CommandKinds[rule.command] = {rule.request, rule.answer};
    }
}

void SetErrors(TDeviceInfo &row, Errors errors) {
    for (const auto &error : errors) {
        row.DeviceErrors.set(error.number);
        row.DeviceErrorTexts[error.number] = ToCp1251(error.utf8);
    }
}

TDeviceInfo Row(std::uint16_t type, const char *name, std::uint16_t timeout, std::uint16_t channels,
                std::uint16_t extra, std::string indexes, Rules rules, Errors errors) {
    TDeviceInfo row;
    row.DeviceType = type;
    row.Name = ToCp1251(name);
    row.Timeout = timeout;
    row.ChannelCount = channels;
    row.ExtraCount = extra;
    row.ChannelIndexes = std::move(indexes);
    SetRules(row, rules);
    SetErrors(row, errors);
    return row;
}

// Row 0 accepts every command: 0 and 1 as usual, 2 .. 255 with data always sent and
// the answer's address not compared.
TDeviceInfo UnknownDeviceRow() {
    TDeviceInfo row = Row(0, "Unknown device", 1200, 0, 0, "", kBasicRules, {});
    for (int command = 2; command <= 255; ++command) {
        row.Commands.set(command);
        row.CommandKinds[command] = {DataAlways, DataUnchecked};
    }
    return row;
}

std::string OneGroupPerIndex(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "[" + std::to_string(i) + "]";
    return text;
}

std::vector<TDeviceInfo> BuildTable() {
    std::vector<TDeviceInfo> rows;
    rows.reserve(kDeviceTableRows);
    rows.push_back(UnknownDeviceRow());
    rows.push_back(Row(1, "QV 410", 400, 8, 8, "[0,8][1,9][2,10][3,11][4,12][5,13][6,14][7,15]", kBasicRules,
                       kQvErrors));
    rows.push_back(Row(2, "QV 420", 400, 4, 8, "[0,4,8][1,5,9][2,6,10][3,7,11]", kBasicRules, kQvErrors));
    rows.push_back(Row(3, "NX 62B Early", 400, 1, 2, "[0,1,2]", kBasicRules, kNx62Errors));
    rows.push_back(Row(4, "NX 62K", 400, 1, 2, "[0,1,2]", kBasicRules, kNx62Errors));
    rows.push_back(Row(5, "NX 62B", 400, 1, 2, "[0,1,2]", kBasicRules, kNx62Errors));
    rows.push_back(Row(6, "QV 400", 400, 8, 0, "[0][1][2][3][4][5][6][7][8]", kBasicRules, kQvErrors));
    rows.push_back(Row(7, "HL 7F", 400, 3, 12, "[1,4,7,10,13][2,5,8,11,14][3,6,9,12,15]", kHlRules, kHlErrors));
    TDeviceInfo qv360 = Row(8, "QV 360", 400, 6, 12, "[0,8,16][1,9,17][2,10,18][3,11,19][4,12,20][5,13,21]",
                            kQv360Rules, kNxv806Errors);
    SetErrors(qv360, {{9, "Прибор неисправен и требует ремонта"}});
    rows.push_back(std::move(qv360));
    rows.push_back(Row(9, "NX 81(2)", 150, 1, 3, "[0,1,2,3]", kNx81Rules, kNx81Errors));
    rows.push_back(Row(10, "NXV-806", 400, 128, 0, OneGroupPerIndex(128), kQv360Rules, kNxv806Errors));
    rows.push_back(Row(11, "HL 6F", 400, 6, 24,
                       "[1,7,13,19,25][2,8,14,20,26][3,9,15,21,27][4,10,16,22,28][5,11,17,23,29][6,12,18,24,30]",
                       kHlRules, kHlErrors));
    rows.push_back(Row(12, "ZS-7", 400, 1, 0, "[0]", kBasicRules, kNoErrorOnly));
    rows.push_back(Row(13, "GK-3", 1200, 3, 0, "[0][1][2]", kGk3Rules, kGk3Errors));
    rows.push_back(Row(15, "WRC-900", 2000, 3, 0, "[1][2][3]", kHlRules, kHlErrors));
    return rows;
}

// Built when the library is loaded, before any export can run.
const std::vector<TDeviceInfo> kTable = BuildTable();

const TDeviceInfo *FindByType(std::uint16_t type) {
    for (const auto &row : kTable)
        if (row.DeviceType == type) return &row;
    return nullptr;
}

}  // namespace

const std::vector<TDeviceInfo> &DeviceTable() { return kTable; }

int LookupDeviceByType(std::uint16_t type, TDeviceInfo &info) {
    const TDeviceInfo *row = FindByType(type);
    info = row ? *row : TDeviceInfo{};
    return row ? EX_OK : EX_ERR_UNKNOWN_TYPE;
}

int LookupDeviceByName(std::string_view name, TDeviceInfo &info) {
    for (const auto &row : kTable) {
        if (row.Name == name) {
            info = row;
            return EX_OK;
        }
    }
    info = TDeviceInfo{};
    return EX_ERR_UNKNOWN_TYPE;
}

int LookupCommand(std::uint16_t type, std::uint8_t command, TCommandKind &kind) {
    const TDeviceInfo *row = FindByType(type);
    if (row == nullptr) return EX_ERR_UNKNOWN_TYPE;
    if (!row->Commands.test(command)) return EX_ERR_BAD_COMMAND;
    kind = row->CommandKinds[command];
    return EX_OK;
}

std::string AllDeviceNames() {
    std::string names;
    for (const auto &row : kTable) names += row.Name + ";";
    return names;
}

}  // namespace devlink
