/*
 * A C caller of all 32 exports, compiled with devlink.h alone and linked against the import
 * library as a Windows program would be. Linking it proves that every name the header
 * declares, in the calling convention the header gives it, is in the import library; running
 * it proves that devlink.dll resolves them at load time and that the arguments arrive.
 * Nothing here touches a port: a port name that is refused before any opening is tried.
 */
#include <stdio.h>
#include <string.h>

#include "devlink.h"

static int failures;

static void expect(const char *what, long got, long want)
{
    if (got != want) {
        printf("%s: %ld, not %ld\n", what, got, want);
        ++failures;
    }
}

static void Ignore(void *owner) { (void)owner; }
static void CountLine(void *owner, const char *line)
{
    (void)line;
    ++*(int *)owner;
}
/* A CR ends a line; a last piece without one is a line too. */
static void CountLines(void *owner, const char *text)
{
    for (const char *start = text; *start != '\0';) {
        const char *end = strchr(start, '\r');
        ++*(int *)owner;
        if (end == NULL)
            break;
        start = end + 1;
    }
}

static void CallPortHandleExports(void)
{
    char text[256] = "";
    char *out = text;
    uint16_t word = 0;
    uint8_t block[4] = {0};
    double value = 0;

    EX_HANDLE handle = EX_CreateCOM();
    expect("EX_SetBaudRate", EX_SetBaudRate(handle, 19200), EX_OK);
    expect("EX_GetBaudRate", EX_GetBaudRate(handle, &word), EX_OK);
    expect("baud rate", word, 19200);
    expect("EX_SetTimeout", EX_SetTimeout(handle, 400), EX_OK);
    expect("EX_AutoConfigTimeout", EX_AutoConfigTimeout(handle, 1), EX_OK);
    expect("EX_GetTimeout", EX_GetTimeout(handle, &word), EX_OK);
    expect("EX_OpenCOM", EX_OpenCOM(handle, "COM0"), EX_ERR_BAD_ARGUMENT);
    expect("EX_CloseCOM", EX_CloseCOM(handle), EX_ERR_CLOSE);
    expect("EX_TransmitParcel", EX_TransmitParcel(handle, ""), EX_ERR_WRITE_INCOMPLETE);
    EX_ReciveParcel(handle, &out);
    word = sizeof block;
    EX_TransmitBlock(handle, block, 0);
    EX_ReceiveBlock(handle, block, &word);
    EX_GetDeviceData(handle, 1, 1, 0, &value);
    EX_Exchange(handle, 1, 1, 0, &out);
    expect("EX_StopSearchAvailableDevices", EX_StopSearchAvailableDevices(handle), EX_OK);
    expect("EX_SearchAvailableDevices", EX_SearchAvailableDevices(handle, 0, NULL, 1, 2, 1, &out),
           EX_ERR_BAD_ARGUMENT);
    expect("EX_FreeCOM", EX_FreeCOM(&handle), EX_OK);
    expect("EX_SearchAvailableCOMPorts", EX_SearchAvailableCOMPorts(NULL, 0, NULL, &out), EX_ERR_NULL_HANDLE);
}

static void CallParcelExports(void)
{
    char text[256] = "";
    char payload[256] = "";
    char *out = text;
    char *payloadOut = payload;
    uint8_t bytes[4] = {0x01, 0x03};  /* room for the CRC the word checksum appends */
    uint16_t count = 2;
    uint16_t crc = 0;
    uint8_t crcByte = 0;
    uint8_t address = 0;

    expect("EX_ASCIICRCWord", EX_ASCIICRCWord(":1;0;", &out), EX_OK);
    expect("EX_ArrayCRCByte", EX_ArrayCRCByte(bytes, &count, &crcByte), EX_OK);
    expect("byte checksum", crcByte, 255 - 4);
    expect("EX_ArrayCRCWord", EX_ArrayCRCWord(bytes, &count, &crc), EX_OK);
    expect("count with the CRC", count, 4);
    expect("CRC bytes", bytes[2] | bytes[3] << 8, crc);
    expect("EX_CreateRequestParcel", EX_CreateRequestParcel(1, 5, 0, "", &out), EX_OK);
    expect("EX_AnalysisAnswerParcel", EX_AnalysisAnswerParcel("!5;", &address, &payloadOut), EX_ERR_STRUCTURE);
    expect("EX_Split", EX_Split("a-b-c", "-", "+", &out), EX_OK);
    expect("EX_Split result", strcmp(text, "a+b+c"), 0);
}

static void CallTableExports(void)
{
    char name[256] = "";
    char indexes[600] = "";
    char names[600] = "";
    char *nameOut = name;
    char *indexesOut = indexes;
    char *namesOut = names;
    uint16_t type = 0, channels = 0, extra = 0;
    int lines = 0, addresses = 0;
    TStrings list = {&lines, Ignore, CountLines, CountLine};
    TStrings addressList = {&addresses, Ignore, CountLines, CountLine};

    expect("EX_GetDeviceInfoByType", EX_GetDeviceInfoByType(1, &nameOut, &channels, &extra, &indexesOut), EX_OK);
    expect("EX_GetDeviceInfoByName", EX_GetDeviceInfoByName(name, &type, &channels, &extra, &indexesOut), EX_OK);
    expect("type by name", type, 1);
    expect("EX_GetAllDevicesNames", EX_GetAllDevicesNames(&namesOut), EX_OK);
    expect("EX_ExtractAllDevicesNames", EX_ExtractAllDevicesNames(names, &list), EX_OK);
    expect("device names", lines, 15);
    lines = 0;
    expect("EX_ExtractAvailableCOMPorts", EX_ExtractAvailableCOMPorts("COM2;COM12;", &list), EX_OK);
    expect("port lines", lines, 2);
    lines = 0;
    expect("EX_ExtractAvailableDevices", EX_ExtractAvailableDevices("(1,34)(4,5)", &addressList, &list), EX_OK);
    expect("address lines", addresses, 2);
    expect("EX_ConvertDeviceError", EX_ConvertDeviceError("$3"), -1003);
    expect("EX_GetExtendedErrorInfo", EX_GetExtendedErrorInfo(1, EX_ERR_CHECKSUM, &nameOut), EX_OK);
}

int main(void)
{
    CallPortHandleExports();
    CallParcelExports();
    CallTableExports();
    if (failures != 0)
        return 1;
    puts("32 exports called through the header");
    return 0;
}
