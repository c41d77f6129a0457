// The export frame as a caller sees it: argument forms, null pointers, text delivery.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cp1251_expect.h"
#include "devlink.h"
#include "out_text.h"

namespace {

TEST(Exports, NullTextOutStillRunsAndReturnsTheCode) {
    EXPECT_EQ(EX_ASCIICRCWord(":1;18;", nullptr), EX_OK);
    char *none = nullptr;
    EXPECT_EQ(EX_ASCIICRCWord(":1;18;", &none), EX_OK);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(EX_ASCIICRCWord(":", nullptr), EX_ERR_LENGTH);
    EXPECT_EQ(EX_CreateRequestParcel(0, 1, 0, nullptr, nullptr), EX_OK);
    EXPECT_EQ(EX_GetExtendedErrorInfo(0, 0, nullptr), EX_OK);
}

TEST(Exports, NullTextInIsTheEmptyText) {
    OutText crc;
    EXPECT_EQ(EX_ASCIICRCWord(nullptr, crc.out()), EX_ERR_LENGTH);
    EXPECT_EQ(crc.text(), "");
    OutText parcel;
    EXPECT_EQ(EX_CreateRequestParcel(0, 1, 1, nullptr, parcel.out()), EX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(parcel.text(), "");
    EXPECT_EQ(EX_ConvertDeviceError(nullptr), EX_ERR_PAYLOAD);
    OutText split;
    EXPECT_EQ(EX_Split(nullptr, nullptr, nullptr, split.out()), EX_OK);
    EXPECT_EQ(split.text(), "");
}

TEST(Exports, OnlyTheLowBitsOfIntegerArgumentsCount) {
    OutText parcel;
    ASSERT_EQ(EX_CreateRequestParcel(0x10000, 0x101, 0x100, "", parcel.out()), EX_OK);
    EXPECT_EQ(parcel.text(), "\xFF:1;0;50730\r");
    OutText name;
    ASSERT_EQ(EX_GetDeviceInfoByType(0x1000F, name.out(), nullptr, nullptr, nullptr), EX_OK);
    EXPECT_EQ(name.text(), "WRC-900");
}

TEST(Exports, ChecksumsAndParcels) {
    OutText crc;
    ASSERT_EQ(EX_ASCIICRCWord(":1;18;", crc.out()), EX_OK);
    EXPECT_EQ(crc.text(), "15447");

    std::uint8_t address = 77;
    OutText payload;
    ASSERT_EQ(EX_AnalysisAnswerParcel("!3;1.5;2.5;20083\r", &address, payload.out()), EX_OK);
    EXPECT_EQ(address, 3);
    EXPECT_EQ(payload.text(), "1.5;2.5;");
    EXPECT_EQ(EX_AnalysisAnswerParcel("!3;1.5;2.5;20084\r", &address, payload.out()), EX_ERR_CHECKSUM);
    EXPECT_EQ(address, 0);
    EXPECT_EQ(payload.text(), "");
    EXPECT_EQ(EX_AnalysisAnswerParcel(nullptr, nullptr, nullptr), EX_ERR_STRUCTURE);

    std::uint8_t frame[8] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    std::uint16_t count = 6, word = 0;
    ASSERT_EQ(EX_ArrayCRCWord(frame, &count, &word), EX_OK);
    EXPECT_EQ(count, 8);
    EXPECT_EQ(word, 0x0A84);
    EXPECT_EQ(EX_ArrayCRCWord(frame, nullptr, &word), EX_ERR_LENGTH);
    EXPECT_EQ(EX_ArrayCRCWord(nullptr, &count, nullptr), EX_ERR_LENGTH);

    std::uint8_t sum = 0;
    const std::uint16_t three = 3;
    EXPECT_EQ(EX_ArrayCRCByte(reinterpret_cast<const std::uint8_t *>("abc"), &three, &sum), EX_OK);
    EXPECT_EQ(sum, 217);
}

TEST(Exports, DeviceInfo) {
    OutText name, indexes;
    std::uint16_t channels = 1, extra = 1, type = 1;
    ASSERT_EQ(EX_GetDeviceInfoByType(10, name.out(), &channels, &extra, indexes.out()), EX_OK);
    EXPECT_EQ(name.text(), "NXV-806");
    EXPECT_EQ(channels, 128);
    EXPECT_EQ(extra, 0);
    EXPECT_EQ(indexes.text().size(), 530u);

    OutText untouchedName, untouchedIndexes;
    channels = extra = 77;
    EXPECT_EQ(EX_GetDeviceInfoByType(14, untouchedName.out(), &channels, &extra, untouchedIndexes.out()),
              EX_ERR_UNKNOWN_TYPE);
    EXPECT_TRUE(untouchedName.untouched());
    EXPECT_TRUE(untouchedIndexes.untouched());
    EXPECT_EQ(channels, 77);

    ASSERT_EQ(EX_GetDeviceInfoByName("Unknown device", &type, &channels, &extra, indexes.out()), EX_OK);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(channels, 0);
    EXPECT_EQ(extra, 0);
    EXPECT_EQ(indexes.text(), "");
    type = 5;
    EXPECT_EQ(EX_GetDeviceInfoByName("unknown device", &type, nullptr, nullptr, nullptr), EX_ERR_UNKNOWN_TYPE);
    EXPECT_EQ(type, 5);

    OutText names;
    ASSERT_EQ(EX_GetAllDevicesNames(names.out()), EX_OK);
    EXPECT_EQ(names.text().rfind("Unknown device;QV 410;QV 420;", 0), 0u);
    EXPECT_TRUE(names.text().ends_with("GK-3;WRC-900;"));
}

TEST(Exports, ExtractsFillTheCallersLists) {
    std::vector<std::string> lines = {"old"}, addresses = {"old"}, payloads = {"old"};
    devlink::StringList list(lines), addressList(addresses), payloadList(payloads);

    ASSERT_EQ(EX_ExtractAllDevicesNames("a;b;", list.get()), EX_OK);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b"}));
    ASSERT_EQ(EX_ExtractAllDevicesNames("a;b", list.get()), EX_OK);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b"}));
    ASSERT_EQ(EX_ExtractAvailableCOMPorts("COM1;COM3;", list.get()), EX_OK);
    EXPECT_EQ(lines, (std::vector<std::string>{"COM1", "COM3"}));
    ASSERT_EQ(EX_ExtractAvailableCOMPorts(nullptr, list.get()), EX_OK);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(EX_ExtractAllDevicesNames("a;", nullptr), EX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(EX_ExtractAvailableCOMPorts("a;", nullptr), EX_ERR_BAD_ARGUMENT);

    ASSERT_EQ(EX_ExtractAvailableDevices("(1,18)(5,34)", addressList.get(), payloadList.get()), EX_OK);
    EXPECT_EQ(addresses, (std::vector<std::string>{"1", "5"}));
    EXPECT_EQ(payloads, (std::vector<std::string>{"18", "34"}));
    ASSERT_EQ(EX_ExtractAvailableDevices("(7,1.5;2.5;)", addressList.get(), payloadList.get()), EX_OK);
    EXPECT_EQ(payloads, (std::vector<std::string>{"1.5;2.5;"}));
    ASSERT_EQ(EX_ExtractAvailableDevices("", addressList.get(), payloadList.get()), EX_OK);
    EXPECT_TRUE(addresses.empty());
    EXPECT_TRUE(payloads.empty());

    addresses = {"kept"};
    EXPECT_EQ(EX_ExtractAvailableDevices("(1,18)", addressList.get(), nullptr), EX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(addresses, std::vector<std::string>{"kept"});
}

TEST(Exports, MessagesAreWindows1251Bytes) {
    OutText message;
    ASSERT_EQ(EX_GetExtendedErrorInfo(7, -1000, message.out()), EX_OK);
    EXPECT_EQ(message.text(), Cp1251("Ошибок нет"));
    ASSERT_EQ(EX_GetExtendedErrorInfo(0, -9, message.out()), EX_OK);
    EXPECT_EQ(message.text(), Cp1251("COM-порт не был открыт"));
    ASSERT_EQ(EX_GetExtendedErrorInfo(0, -1226, message.out()), EX_OK);
    EXPECT_EQ(message.text(), Cp1251("Неизвестная ошибка"));
}

TEST(Exports, SplitDeliversTheWholeResult) {
    OutText result(70000);
    ASSERT_EQ(EX_Split("a;b;c", ";", "\r", result.out()), EX_OK);
    EXPECT_EQ(result.text(), "a\rb\rc");
    const std::string many(20000, ';');
    ASSERT_EQ(EX_Split(many.c_str(), ";", "ab", result.out()), EX_OK);
    EXPECT_EQ(result.text().size(), 40000u);
}

TEST(Exports, NullHandleGivesMinus99AndTouchesNothing) {
    std::uint16_t word = 77;
    double value = 7.5;
    OutText text;
    std::uint8_t buffer[4] = {1, 2, 3, 4};
    const std::uint16_t count = 4;
    EXPECT_EQ(EX_SetBaudRate(nullptr, 9600), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_GetBaudRate(nullptr, &word), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_SetTimeout(nullptr, 100), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_GetTimeout(nullptr, &word), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_OpenCOM(nullptr, "COM1"), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_CloseCOM(nullptr), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_GetDeviceData(nullptr, 0, 1, 0, &value), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_Exchange(nullptr, 0, 1, 0, text.out()), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_AutoConfigTimeout(nullptr, 1), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_TransmitParcel(nullptr, "x"), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_ReciveParcel(nullptr, text.out()), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_TransmitBlock(nullptr, nullptr, 4), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_ReceiveBlock(nullptr, buffer, &count), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_SearchAvailableCOMPorts(nullptr, 1, nullptr, text.out()), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_SearchAvailableDevices(nullptr, 1, nullptr, 0, 1, 2, text.out()), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_StopSearchAvailableDevices(nullptr), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(word, 77);
    EXPECT_EQ(value, 7.5);
    EXPECT_TRUE(text.untouched());
    EXPECT_EQ(buffer[0], 1);
}

TEST(Exports, FreeNullsTheVariableOnce) {
    EX_HANDLE handle = EX_CreateCOM();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(EX_FreeCOM(&handle), EX_OK);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(EX_FreeCOM(&handle), EX_ERR_NULL_HANDLE);
    EXPECT_EQ(EX_FreeCOM(nullptr), EX_ERR_NULL_HANDLE);
}

}  // namespace
