#include "comm/devlink_layer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <thread>

namespace vilo {

constinit TargetAddress WriteTargetAddress;

namespace {

// The value a hex digit adds to its byte; other characters add nothing.
std::uint8_t DigitValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    return 0;
}

// Walks the first 2 * N characters pair by pair into N bytes, byte 0 first. Characters past
// the end of the text count as "0".
template <std::size_t N>
std::array<std::uint8_t, N> HexBytes(std::string_view text) {
    std::array<std::uint8_t, N> bytes{};
    std::uint8_t accumulator = 0;
    for (std::size_t i = 0; i < 2 * N; ++i) {
        const char c = i < text.size() ? text[i] : '0';
        accumulator = static_cast<std::uint8_t>(accumulator + DigitValue(c));
        if (i % 2 == 0) {
            accumulator = static_cast<std::uint8_t>(accumulator * 16);
        } else {
            bytes[i / 2] = accumulator;
            accumulator = 0;
        }
    }
    return bytes;
}

std::string DecimalText(int value) {
    std::array<char, 16> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return std::string(digits.data(), result.ptr);
}

// A text-out buffer for the library.
struct OutBuffer {
    std::array<char, kPayloadSize> storage{};
    char *pointer = storage.data();

    explicit OutBuffer(std::string_view initial = {}) {
        const std::size_t n = std::min(initial.size(), storage.size() - 1);
        std::copy_n(initial.data(), n, storage.begin());
    }
    char **out() {
        pointer = storage.data();
        return &pointer;
    }
    std::string text() {
        storage.back() = '\0';
        return std::string(storage.data());
    }
};

}  // namespace

std::uint16_t HexToWord(std::string_view text) {
    const auto bytes = HexBytes<2>(text);
    return static_cast<std::uint16_t>(bytes[0] + 256 * bytes[1]);
}

float HexToSingle(std::string_view text) {
    const auto bytes = HexBytes<4>(text);
    const std::uint32_t bits = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                               std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
    return std::bit_cast<float>(bits);
}

std::uint16_t HexToByteField(std::string_view payload) {
    std::string field(payload);
    field += "00";
    return HexToWord(field);
}

CodeMessage ResultCodeText(std::int32_t code, std::string_view port) {
    const std::string p(port);
    auto message = [](std::string text) { return CodeMessage{true, std::move(text)}; };
    switch (code) {
    case 0: return {};
    case -1: return message("Error (не описанная или неизвестная)");
    case -2: return message("Ошибка в параметрах вызываемой функции");
    case -3: return message("Порт " + p + " уже открыт");
    case -4: return message("Порт " + p + " отсутствует");
    case -5: return message("Порт " + p + " занят другой программой. Выберите другой интерфейс.");
    case -6: return message("Порт " + p + " недоступен");
    case -7: return message("Невозможно определить настройки порта " + p);
    case -8: return message("Невозможно установить настройки порта " + p);
    case -9: return message("Порт " + p + " не был открыт");
    case -10: return message("Невозможно закрыть порт " + p);
    case -11: return message("Невозможно передать данные в порт " + p);
    case -12: return message("Ошибка при передаче данных в порт " + p);
    case -13: return message("Невозможно принять данные из порта " + p);
    case -14: return message("Прибор не подключён к порту (ошибка приёма данных из порта) " + p);
    case -15: return message("Неверная длина посылки");
    case -16: return message("Неверная структура посылки");
    case -17: return message("Неизвестный тип прибора");
    case -18: return message("Неверная команда (прибор ее не воспринимает)");
    case -19: return message("Ошибка контрольной суммы прибора");
    case -20: return message("Неверный адрес прибора в ответе");
    case -21: return message("Ошибочные полезные данные от прибора");
    case -22: return message("Прибор сообщает об ошибке");
    case -99: return message("Ошибка DLL - Указатель неопределен");
    default: break;
    }
    if (code >= -355 && code <= -100) return message("Внутренняя ошибка прибора");
    return message("Ошибка");
}

std::string RequestBody(std::string_view address, int command) {
    std::string body = ":";
    body += address;
    body += ';';
    body += DecimalText(command);
    body += ';';
    return body;
}

std::string RequestBody(std::string_view address, int command, std::string_view argument) {
    std::string body = RequestBody(address, command);
    body += argument;
    body += ';';
    return body;
}

std::string RequestBody(std::string_view address, int command, int argument) {
    return RequestBody(address, command, DecimalText(argument));
}

std::string RequestParcel(std::string_view body) {
    const std::string text(body);
    OutBuffer crc;
    EX_ASCIICRCWord(text.c_str(), crc.out());  // on failure the checksum text is empty
    return text + crc.text() + '\r';
}

namespace {

// Steps 1 to 5 of the transaction; the caller pauses afterwards on every path.
std::int32_t TwoStepSteps(EX_HANDLE handle, std::string_view bodyA, std::string_view bodyB,
                          std::uint8_t &answerAddress, std::string &payload) {
    const std::string parcelA = RequestParcel(bodyA);
    if (const std::int32_t rc = EX_TransmitParcel(handle, parcelA.c_str()); rc != EX_OK) return rc;
    OutBuffer answerA;
    if (const std::int32_t rc = EX_ReciveParcel(handle, answerA.out()); rc != EX_OK) return rc;

    std::this_thread::sleep_for(kExchangePause);

    const std::string parcelB = RequestParcel(bodyB);
    if (const std::int32_t rc = EX_TransmitParcel(handle, parcelB.c_str()); rc != EX_OK) return rc;
    OutBuffer answerB;
    if (const std::int32_t rc = EX_ReciveParcel(handle, answerB.out()); rc != EX_OK) return rc;

    const std::string answer = answerB.text();
    OutBuffer delivered(payload);
    std::uint8_t address = answerAddress;
    const std::int32_t rc = EX_AnalysisAnswerParcel(answer.c_str(), &address, delivered.out());
    answerAddress = address;
    payload = delivered.text();
    return rc;
}

}  // namespace

std::int32_t TwoStepExchange(EX_HANDLE handle, std::string_view bodyA, std::string_view bodyB,
                             std::uint8_t &answerAddress, std::string &payload) {
    const std::int32_t rc = TwoStepSteps(handle, bodyA, bodyB, answerAddress, payload);
    std::this_thread::sleep_for(kExchangePause);
    return rc;
}

void TargetAddress::Set(std::string_view address) {
    const std::string_view kept = address.substr(0, kTargetAddressWidth);
    std::lock_guard lock(mutex_);
    std::copy(kept.begin(), kept.end(), text_.begin());
    size_ = kept.size();
}

std::string TargetAddress::Get() const {
    std::lock_guard lock(mutex_);
    return std::string(text_.data(), size_);
}

std::int32_t WriteFourBytes(EX_HANDLE handle, std::uint8_t firstCell, std::uint32_t bits) {
    const std::string address = WriteTargetAddress.Get();
    for (int i = 0; i < 4; ++i) {
        const int cell = static_cast<std::uint8_t>(firstCell + i);
        const int byte = static_cast<int>((bits >> (8 * i)) & 0xFFu);
        std::uint8_t answerAddress = 0;
        std::string payload = "0";
        const std::int32_t rc = TwoStepExchange(handle, RequestBody(address, kCmdSetPointer, cell),
                                                RequestBody(address, kCmdWriteByte, byte), answerAddress, payload);
        if (rc != EX_OK) return rc;
    }
    return EX_OK;
}

PortCycle::PortCycle(std::int32_t baudRate, int timeoutMs) : handle_(EX_CreateCOM()) {
    if (const std::int32_t rc = EX_SetBaudRate(handle_, static_cast<std::uint32_t>(baudRate)); rc != EX_OK) {
        setupCode_ = failedCode_ = rc;
        failedStep_ = PortStep::BaudRate;
    } else if (const std::int32_t rc2 = EX_SetTimeout(handle_, static_cast<std::uint32_t>(timeoutMs)); rc2 != EX_OK) {
        setupCode_ = failedCode_ = rc2;
        failedStep_ = PortStep::Timeout;
    }
}

PortCycle::~PortCycle() {
    if (open_) EX_CloseCOM(handle_);
    EX_FreeCOM(&handle_);
}

std::int32_t PortCycle::Open(const std::string &port) {
    if (!Ready()) return setupCode_;
    if (open_) Close();
    const std::int32_t rc = EX_OpenCOM(handle_, port.c_str());
    if (rc == EX_OK) {
        open_ = true;
        failedStep_ = PortStep::None;
        failedCode_ = EX_OK;
    } else {
        failedStep_ = PortStep::Open;
        failedCode_ = rc;
    }
    return rc;
}

void PortCycle::Close() {
    EX_CloseCOM(handle_);
    open_ = false;
}

bool LinkBaudAccepted(int baudRate) {
    const PortCycle probe(baudRate, kWriteAddressTimeout);
    return probe.Ready();
}

}  // namespace vilo
