// The parcel codec: checksums, request building, answer analysis, payload acceptance.
#include <gtest/gtest.h>

#include <string>

#include "ascii_u/checksum.h"
#include "ascii_u/parcel.h"
#include "devlink.h"

using namespace devlink;

namespace {

std::string WithCrc(const std::string &text) {
    std::string digits;
    EXPECT_EQ(TextChecksum(text, digits), EX_OK) << text;
    return text + digits;
}

TEST(Crc16Modbus, StandardCheckValue) { EXPECT_EQ(Crc16Modbus(std::string_view("123456789")), 19255); }

struct ChecksumCase {
    std::string text;
    int rc;
    std::string digits;
};

class TextChecksumTest : public testing::TestWithParam<ChecksumCase> {};

TEST_P(TextChecksumTest, GivesDigitsOrCode) {
    std::string digits = "stale";
    EXPECT_EQ(TextChecksum(GetParam().text, digits), GetParam().rc);
    EXPECT_EQ(digits, GetParam().digits);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextChecksumTest,
    testing::Values(ChecksumCase{":1;18;", 0, "15447"}, ChecksumCase{"\xFF:1;0;", 0, "50730"},
                    ChecksumCase{"!1;18;", 0, "15447"},                  // "!" when there is no ":"
                    ChecksumCase{"x!a:1;18;", 0, "15447"},                // the first ":" wins over "!"
                    ChecksumCase{":", EX_ERR_LENGTH, ""}, ChecksumCase{"", EX_ERR_LENGTH, ""},
                    ChecksumCase{"12", EX_ERR_STRUCTURE, ""}, ChecksumCase{"ab:", EX_ERR_STRUCTURE, ""},
                    ChecksumCase{":" + std::string(248, 'x'), 0, std::to_string(Crc16Modbus(std::string(248, 'x')))},
                    ChecksumCase{":" + std::string(249, 'x'), EX_ERR_LENGTH, ""}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(TextChecksum, LongestTextCountsItsLeadBytes) {
    std::string digits;
    EXPECT_EQ(TextChecksum(std::string(200, '\xFF') + ":" + std::string(48, 'x'), digits), EX_OK);
    EXPECT_EQ(digits, std::to_string(Crc16Modbus(std::string(48, 'x'))));
}

struct RequestCase {
    std::uint16_t type;
    std::uint8_t address, command;
    std::string data;
    int rc;
    std::string body;  // the parcel without its checksum digits and CR; "" on failure
};

class BuildRequestTest : public testing::TestWithParam<RequestCase> {};

TEST_P(BuildRequestTest, BuildsParcel) {
    const auto &c = GetParam();
    std::string parcel = "stale";
    EXPECT_EQ(BuildRequest(c.type, c.address, c.command, c.data, parcel), c.rc);
    EXPECT_EQ(parcel, c.body.empty() ? "" : WithCrc(c.body) + "\r");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BuildRequestTest,
    testing::Values(RequestCase{0, 1, 0, "", 0, "\xFF:1;0;"},         // kind 0: no data field
                    RequestCase{0, 1, 0, "ignored", 0, "\xFF:1;0;"},  // kind 0 ignores data
                    RequestCase{0, 1, 1, "5", 0, "\xFF:1;1;5;"},
                    RequestCase{0, 1, 1, "", EX_ERR_BAD_ARGUMENT, ""},  // kind 1 needs data
                    RequestCase{0, 1, 7, "", 0, "\xFF:1;7;;"},          // kind 2 sends it empty
                    RequestCase{0, 255, 254, "0", 0, "\xFF:255;254;0;"},
                    RequestCase{1, 1, 2, "", EX_ERR_BAD_COMMAND, ""}, RequestCase{14, 1, 0, "", EX_ERR_UNKNOWN_TYPE, ""},
                    RequestCase{0, 1, 1, std::string(242, '7'), 0, "\xFF:1;1;" + std::string(242, '7') + ";"},
                    RequestCase{0, 1, 1, std::string(243, '7'), EX_ERR_LENGTH, ""},
                    RequestCase{0, 1, 1, std::string(100000, '7'), EX_ERR_LENGTH, ""}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(BuildRequest, KnownParcelsToTheByte) {
    std::string parcel;
    ASSERT_EQ(BuildRequest(0, 1, 0, "", parcel), EX_OK);
    EXPECT_EQ(parcel, "\xFF:1;0;50730\r");
    ASSERT_EQ(BuildRequest(0, 1, 1, "5", parcel), EX_OK);
    EXPECT_EQ(parcel, "\xFF:1;1;5;19912\r");
    ASSERT_EQ(BuildRequest(0, 1, 1, std::string(242, '7'), parcel), EX_OK);
    EXPECT_EQ(parcel.size(), 255u);  // the longest parcel: 249 characters, five digits, CR
}

struct AnswerCase {
    std::string answer;
    int rc;
    std::uint8_t address;
    std::string payload;
};

class AnalyseAnswerTest : public testing::TestWithParam<AnswerCase> {};

TEST_P(AnalyseAnswerTest, SplitsOrRefuses) {
    const auto &c = GetParam();
    std::uint8_t address = 99;
    std::string payload = "stale";
    EXPECT_EQ(AnalyseAnswer(c.answer, address, payload), c.rc);
    EXPECT_EQ(address, c.address);
    EXPECT_EQ(payload, c.payload);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnalyseAnswerTest,
    testing::Values(
        AnswerCase{"!1;18;15447\r", 0, 1, "18"}, AnswerCase{"!1;18;15448\r", EX_ERR_CHECKSUM, 0, ""},
        AnswerCase{"!1;18;015447\r", 0, 1, "18"},           // leading zeros do not matter
        AnswerCase{"!1;18;+15447\r", 0, 1, "18"},           // a sign is part of a decimal integer
        AnswerCase{"!3;1.5;2.5;20083\r", 0, 3, "1.5;2.5;"}, AnswerCase{"xx!1;18;15447\r", 0, 1, "18"},
        AnswerCase{"!1;18;15447\rtrailing", 0, 1, "18"},   // everything from the CR on is dropped
        AnswerCase{"!zz:1;18;15447\r", 0, 1, "18"},         // split at the first ":"
        AnswerCase{WithCrc("!7;") + "\r", 0, 7, ""},        // address and checksum only
        AnswerCase{WithCrc("!-1;x;") + "\r", 0, 255, "x"},  // low 8 bits of the address
        AnswerCase{WithCrc("!257;x;") + "\r", 0, 1, "x"}, AnswerCase{WithCrc("!;x;") + "\r", EX_ERR_STRUCTURE, 0, ""},
        AnswerCase{WithCrc("!a1;x;") + "\r", EX_ERR_STRUCTURE, 0, ""},
        AnswerCase{WithCrc("!99999999999;x;") + "\r", EX_ERR_STRUCTURE, 0, ""},  // overflow: not a number
        AnswerCase{"!1;18;abc\r", EX_ERR_CHECKSUM, 0, ""},                         // checksum field no number
        AnswerCase{"!1;18;\r", EX_ERR_CHECKSUM, 0, ""}, AnswerCase{"!1;18;99999999999\r", EX_ERR_CHECKSUM, 0, ""},
        AnswerCase{"!1;18;15447", EX_ERR_STRUCTURE, 0, ""},  // no CR
        AnswerCase{"1;18;15447\r", EX_ERR_STRUCTURE, 0, ""},  // no start character
        AnswerCase{"!\r", EX_ERR_LENGTH, 0, ""}, AnswerCase{"!1\r", EX_ERR_LENGTH, 0, ""},
        AnswerCase{"!12345\r", EX_ERR_LENGTH, 0, ""},  // a single field
        AnswerCase{"!1;" + std::string(250, 'x') + ";1\r", EX_ERR_LENGTH, 0, ""}, AnswerCase{"", EX_ERR_STRUCTURE, 0, ""}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

struct AcceptCase {
    std::uint16_t type;
    std::uint8_t command, sent, found;
    std::string payload;
    int rc;
};

class AcceptPayloadTest : public testing::TestWithParam<AcceptCase> {};

TEST_P(AcceptPayloadTest, Judges) {
    const auto &c = GetParam();
    EXPECT_EQ(AcceptPayload(c.type, c.command, c.sent, c.found, c.payload), c.rc);
}

// Type 7 command 2 is an acknowledgement, type 7 command 1 checked data, type 0 command 5
// unchecked data.
INSTANTIATE_TEST_SUITE_P(
    Cases, AcceptPayloadTest,
    testing::Values(AcceptCase{7, 2, 1, 1, "$0", 0}, AcceptCase{7, 2, 1, 1, "$05", 0}, AcceptCase{7, 2, 1, 1, "x$0y", 0},
                    AcceptCase{7, 2, 1, 1, "$3", -1003}, AcceptCase{7, 2, 1, 1, "ok", EX_ERR_PAYLOAD},
                    AcceptCase{7, 2, 1, 1, "", EX_ERR_PAYLOAD}, AcceptCase{7, 2, 1, 2, "$0", EX_ERR_ADDRESS},
                    AcceptCase{7, 1, 1, 1, "$0", -1000}, AcceptCase{7, 1, 1, 1, "25.4", 0},
                    AcceptCase{7, 1, 1, 1, "", EX_ERR_PAYLOAD}, AcceptCase{7, 1, 1, 2, "25.4", EX_ERR_ADDRESS},
                    AcceptCase{7, 1, 1, 2, "", EX_ERR_ADDRESS},  // the address is judged first
                    AcceptCase{7, 1, 1, 1, "$x", EX_ERR_PAYLOAD}, AcceptCase{0, 5, 1, 9, "x", 0},
                    AcceptCase{0, 5, 1, 9, "$6", -1006}, AcceptCase{0, 5, 1, 9, "", EX_ERR_PAYLOAD},
                    AcceptCase{14, 0, 1, 1, "18", EX_ERR_UNKNOWN_TYPE}, AcceptCase{1, 2, 1, 1, "$0", EX_ERR_BAD_COMMAND}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(ConvertDeviceError, ReadsTheNumberAfterTheFirstDollar) {
    const std::pair<const char *, int> cases[] = {
        {"$0", -1000},           {"$5", -1005},          {"$225", -1225},        {"x$12", -1012},
        {"$1$2", EX_ERR_PAYLOAD}, {"$", EX_ERR_PAYLOAD},  {"$ 1", EX_ERR_PAYLOAD}, {"25.4", EX_ERR_PAYLOAD},
        {"$1.5", EX_ERR_PAYLOAD}, {"$-5", -995},          {"$-2147483648", 2147482648},
        {"$2147483647", EX_ERR_PAYLOAD},  // -1000 - N would leave the 32-bit range
        {"$99999999999", EX_ERR_PAYLOAD},
    };
    for (const auto &[payload, code] : cases) EXPECT_EQ(ConvertDeviceError(payload), code) << payload;
}

TEST(ParseDecimalInt, SignAndDigitsWithinRange) {
    const std::pair<const char *, bool> cases[] = {
        {"0", true},   {"-12", true}, {"+12", true}, {"2147483647", true}, {"-2147483648", true},
        {"2147483648", false}, {"", false}, {"+", false}, {"-", false}, {"+-1", false}, {" 1", false},
        {"1 ", false}, {"0x10", false}, {"$10", false}, {"1e3", false},
    };
    for (const auto &[text, ok] : cases) {
        std::int32_t value = 0;
        EXPECT_EQ(ParseDecimalInt(text, value), ok) << text;
    }
}

TEST(BufferChecksums, KnownValuesAndCountLimits) {
    std::uint8_t frame[8] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    std::uint16_t count = 6, crc = 1;
    ASSERT_EQ(AppendBufferCrc(frame, count, crc), EX_OK);
    EXPECT_EQ(count, 8);
    EXPECT_EQ(frame[6], 0x84);
    EXPECT_EQ(frame[7], 0x0A);

    std::uint8_t sum = 1;
    const std::uint8_t abc[] = {'a', 'b', 'c'};
    ASSERT_EQ(BufferByteSum(abc, 3, sum), EX_OK);
    EXPECT_EQ(sum, 217);

    std::vector<std::uint8_t> big(4096);
    for (std::uint16_t bad : {0, 4094}) {
        count = bad;
        EXPECT_EQ(AppendBufferCrc(big.data(), count, crc), EX_ERR_LENGTH);
        EXPECT_EQ(count, bad);
        EXPECT_EQ(crc, 0);
        EXPECT_EQ(BufferByteSum(big.data(), bad, sum), EX_ERR_LENGTH);
        EXPECT_EQ(sum, 0);
    }
    count = 4093;
    EXPECT_EQ(AppendBufferCrc(big.data(), count, crc), EX_OK);
    EXPECT_EQ(count, 4095);
}

}  // namespace
