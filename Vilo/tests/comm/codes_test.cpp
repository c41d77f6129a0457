// Hex fields of answers, texts of result codes and request texts.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "comm/devlink_layer.h"
#include "vilosim.h"

namespace {

using vilo::CodeMessage;

struct WordCase {
    std::string text;
    std::uint16_t word;
};

TEST(HexToWord, DecodesLeastSignificantPairFirst) {
    const WordCase cases[] = {
        {"3412", 0x1234},
        {"0000", 0},
        {"ffff", 0xFFFF},
        {"ff00", 255},
        {"00ff", 0xFF00},
        {"a0b1", 0xB1A0},
        {"3412zz", 0x1234},  // only the first four characters count
        {"FF00", 255},       // upper case is taken as well
        {"AbCd", 0xCDAB},
        {"3g12", 0x1230},    // a character that is no digit adds nothing
        // Shorter texts read as padded with "0"; nothing past the text is read.
        {"34", 0x34},
        {"3", 0x30},
        {"", 0},
    };
    for (const WordCase &c : cases) EXPECT_EQ(vilo::HexToWord(c.text), c.word) << '"' << c.text << '"';
}

TEST(HexToWord, ReadsNothingPastAShortText) {
    // A view into a longer buffer: the digits after its end must not be read.
    const std::string buffer = "12ffff";
    EXPECT_EQ(vilo::HexToWord(std::string_view(buffer).substr(0, 2)), 0x12);
    EXPECT_EQ(vilo::HexToSingle(std::string_view(buffer).substr(0, 2)), std::bit_cast<float>(0x12u));
}

TEST(HexToByteField, AppendsTwoZerosAndDecodesAWord) {
    const WordCase cases[] = {
        {"00", 0}, {"ff", 255}, {"10", 16}, {"08", 8}, {"7f", 127},
        {"", 0},       // nothing delivered
        {"0", 0},      // the payload buffer as the caller filled it
        {"$3", 3},     // a device report taken as digits: "$" adds nothing
        {"1234", 0x3412},
    };
    for (const WordCase &c : cases) EXPECT_EQ(vilo::HexToByteField(c.text), c.word) << '"' << c.text << '"';
}

TEST(HexToSingle, DecodesLittleEndianSingles) {
    struct Case {
        std::string text;
        float value;
    };
    const Case cases[] = {
        {"0000803f", 1.0f},
        {"0000c842", 100.0f},
        {"00000000", 0.0f},
        {"000080bf", -1.0f},
        {"cdcccc3d", 0.1f},
        {"0000C842", 100.0f},
        {"0000803f99", 1.0f},  // only the first eight characters count
        {"", 0.0f},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(vilo::HexToSingle(c.text)), std::bit_cast<std::uint32_t>(c.value))
            << '"' << c.text << '"';
    }
    EXPECT_TRUE(std::isnan(vilo::HexToSingle("0000c07f")));
    // Short: the missing byte is 0.
    EXPECT_EQ(std::bit_cast<std::uint32_t>(vilo::HexToSingle("0000c8")), 0x00c80000u);
}

TEST(ResultCodeText, EveryRowOfTheTable) {
    struct Case {
        std::int32_t code;
        CodeMessage message;
    };
    const auto m = [](std::string text) { return CodeMessage{true, std::move(text)}; };
    const Case cases[] = {
        {0, {}},
        {-1, m("Error (не описанная или неизвестная)")},
        {-2, m("Ошибка в параметрах вызываемой функции")},
        {-3, m("Порт COM3 уже открыт")},
        {-4, m("Порт COM3 отсутствует")},
        {-5, m("Порт COM3 занят другой программой. Выберите другой интерфейс.")},
        {-6, m("Порт COM3 недоступен")},
        {-7, m("Невозможно определить настройки порта COM3")},
        {-8, m("Невозможно установить настройки порта COM3")},
        {-9, m("Порт COM3 не был открыт")},
        {-10, m("Невозможно закрыть порт COM3")},
        {-11, m("Невозможно передать данные в порт COM3")},
        {-12, m("Ошибка при передаче данных в порт COM3")},
        {-13, m("Невозможно принять данные из порта COM3")},
        {-14, m("Прибор не подключён к порту (ошибка приёма данных из порта) COM3")},
        {-15, m("Неверная длина посылки")},
        {-16, m("Неверная структура посылки")},
        {-17, m("Неизвестный тип прибора")},
        {-18, m("Неверная команда (прибор ее не воспринимает)")},
        {-19, m("Ошибка контрольной суммы прибора")},
        {-20, m("Неверный адрес прибора в ответе")},
        {-21, m("Ошибочные полезные данные от прибора")},
        {-22, m("Прибор сообщает об ошибке")},
        {-99, m("Ошибка DLL - Указатель неопределен")},
        // The device's internal errors, both ends of the range.
        {-100, m("Внутренняя ошибка прибора")},
        {-150, m("Внутренняя ошибка прибора")},
        {-355, m("Внутренняя ошибка прибора")},
        // Everything else.
        {1, m("Ошибка")},
        {std::numeric_limits<std::int32_t>::max(), m("Ошибка")},
        {-23, m("Ошибка")},
        {-50, m("Ошибка")},
        {-98, m("Ошибка")},
        {-356, m("Ошибка")},
        {-1000, m("Ошибка")},
        {-1003, m("Ошибка")},
        {-1225, m("Ошибка")},
        {std::numeric_limits<std::int32_t>::min(), m("Ошибка")},
    };
    for (const Case &c : cases) EXPECT_EQ(vilo::ResultCodeText(c.code, "COM3"), c.message) << c.code;
}

TEST(ResultCodeText, NamesThePortItIsGiven) {
    EXPECT_EQ(vilo::ResultCodeText(-14, "COM12").Text,
              "Прибор не подключён к порту (ошибка приёма данных из порта) COM12");
    EXPECT_EQ(vilo::ResultCodeText(-4, "").Text, "Порт  отсутствует");
}

TEST(RequestText, BodiesAndParcels) {
    EXPECT_EQ(vilo::RequestBody("5", 2, 40), ":5;2;40;");
    EXPECT_EQ(vilo::RequestBody("5", 2, "40"), ":5;2;40;");
    EXPECT_EQ(vilo::RequestBody("1", 0), ":1;0;");
    EXPECT_EQ(vilo::RequestBody("255", 254, "0"), ":255;254;0;");
    // The checksum comes from the library; the simulator computes its own.
    EXPECT_EQ(vilo::RequestParcel(":1;0;"), ":1;0;50730\r");
    for (const char *body : {"5;2;40;", "1;8;4;", "17;4;255;", "1;3;1;"}) {
        EXPECT_EQ(vilo::RequestParcel(std::string(":") + body), vilosim::request(body)) << body;
    }
    // A body the library cannot checksum still goes out, without checksum digits.
    EXPECT_EQ(vilo::RequestParcel(":"), ":\r");
}

}  // namespace

namespace {

TEST(WriteTargetAddress, KeepsAtMostFiftyCharacters) {
    vilo::WriteTargetAddress.Set("12");
    EXPECT_EQ(vilo::WriteTargetAddress.Get(), "12");
    const std::string longText(60, '7');
    vilo::WriteTargetAddress.Set(longText);
    EXPECT_EQ(vilo::WriteTargetAddress.Get(), longText.substr(0, 50));
    vilo::WriteTargetAddress.Set("");
    EXPECT_EQ(vilo::WriteTargetAddress.Get(), "");
}

}  // namespace
