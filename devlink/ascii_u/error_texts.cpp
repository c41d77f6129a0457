#include "error_texts.h"

#include <map>

#include "cp1251.h"
#include "device_table.h"
#include "devlink.h"

namespace devlink {
namespace {

constexpr std::int32_t kLastDeviceErrorCode = EX_DEVICE_ERROR_BASE - 225;

std::map<std::int32_t, std::string> BuildResultTexts() {
    const std::pair<std::int32_t, const char *> texts[] = {
        {EX_OK, "Ok"},
        {EX_ERR_GENERAL, "Error"},
        {EX_ERR_BAD_ARGUMENT, "Ошибка в параметрах вызываемой функции"},
        {EX_ERR_ALREADY_OPEN, "COM-порт уже открыт"},
        {EX_ERR_PORT_MISSING, "COM-порт отсутствует"},
        {EX_ERR_PORT_BUSY, "COM-порт занят другой программой"},
        {EX_ERR_PORT_UNAVAILABLE, "COM-порт недоступен"},
        {EX_ERR_GET_SETTINGS, "Невозможно определить настройки COM-порта"},
        {EX_ERR_SET_SETTINGS, "Невозможно установить настройки COM-порта"},
        {EX_ERR_NOT_OPEN, "COM-порт не был открыт"},
        {EX_ERR_CLOSE, "Невозможно закрыть COM-порт"},
        {EX_ERR_WRITE, "Невозможно передать данные в COM-порт"},
        {EX_ERR_WRITE_INCOMPLETE, "Ошибка при передаче данных в COM-порт"},
        {EX_ERR_READ, "Невозможно принять данные из COM-порта"},
        {EX_ERR_READ_TIMEOUT, "Ошибка при приеме данных из COM-порта"},
        {EX_ERR_LENGTH, "Неверная длина посылки"},
        {EX_ERR_STRUCTURE, "Неверная структура посылки (остутствует признак начала посылки (символ \":\" или "
                           "\"!\") или нет данных после этих символов)"},
        {EX_ERR_UNKNOWN_TYPE, "Неизвестный тип прибора"},
        {EX_ERR_BAD_COMMAND, "Неверная команда (прибор ее не воспринимает)"},
        {EX_ERR_CHECKSUM, "Ошибка контрольной суммы прибора"},
        {EX_ERR_ADDRESS, "Неверный адрес прибора в ответе"},
        {EX_ERR_PAYLOAD, "Ошибочные полезные данные от прибора"},
        {EX_ERR_DEVICE, "Прибор сообщает об ошибке"},
        {EX_ERR_NULL_HANDLE, "Ошибка DLL - Handle неопределен"},
    };
    std::map<std::int32_t, std::string> table;
    for (const auto &[code, text] : texts) table.emplace(code, ToCp1251(text));
    return table;
}

const std::map<std::int32_t, std::string> kResultTexts = BuildResultTexts();
const std::string kUnknownDeviceError = ToCp1251("Поступила неизвестная ошибка от прибора");
const std::string kUnknownType = ToCp1251("Неизвестный тип прибора");
const std::string kUnknownCode = ToCp1251("Неизвестная ошибка");

std::string DeviceErrorText(std::uint16_t type, int number) {
    TDeviceInfo row;
    if (LookupDeviceByType(type, row) != EX_OK) return kUnknownType;
    return row.DeviceErrors.test(number) ? row.DeviceErrorTexts[number] : kUnknownDeviceError;
}

}  // namespace

std::string ExtendedErrorInfo(std::uint16_t type, std::int32_t code) {
    if (auto found = kResultTexts.find(code); found != kResultTexts.end()) return found->second;
    if (code <= EX_DEVICE_ERROR_BASE && code >= kLastDeviceErrorCode)
        return DeviceErrorText(type, EX_DEVICE_ERROR_BASE - code);
    return kUnknownCode;
}

}  // namespace devlink
