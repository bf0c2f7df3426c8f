#include <gtest/gtest.h>

#include "sections/display/edid.h"
#include "test_support.h"

namespace {

MonitorInfo decode(const Bytes& b, const Text& id = "DISPLAY\\DELA0A3\\5&1&UID4352") {
    return decode_edid_text(edid_text_of(b), id, b);
}

MonitorInfo decode_file(const std::string& name) { return decode(read_file_bytes(edid_path(name))); }

// A plain 128-byte block with the given manufacturer bytes and sizes, and
// four empty descriptors that tests fill in.
Bytes block(int m8 = 0x10, int m9 = 0xAC, int width = 53, int height = 30) {
    Bytes b(128, 0);
    const int header[] = {0, 255, 255, 255, 255, 255, 255, 0};
    for (int i = 0; i < 8; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(header[i]);
    b[8] = static_cast<std::uint8_t>(m8);
    b[9] = static_cast<std::uint8_t>(m9);
    b[16] = 12;
    b[17] = 29;
    b[18] = 1;
    b[19] = 3;
    b[21] = static_cast<std::uint8_t>(width);
    b[22] = static_cast<std::uint8_t>(height);
    for (int off : {54, 72, 90, 108}) b[static_cast<std::size_t>(off + 3)] = 0x10;  // dummy
    return b;
}

void put_descriptor(Bytes& b, int off, int tag, const std::string& data) {
    for (int k = 0; k < 18; ++k) b[static_cast<std::size_t>(off + k)] = 0;
    b[static_cast<std::size_t>(off + 3)] = static_cast<std::uint8_t>(tag);
    for (std::size_t k = 0; k < 13; ++k)
        b[static_cast<std::size_t>(off + 5) + k] =
            k < data.size() ? static_cast<std::uint8_t>(data[k]) : 0x20;
}

}  // namespace

// Expected values read off Debian's edid-decode for each file.
TEST(EdidRealMonitors, FieldsAsEdidDecodeReadsThem) {
    struct Case {
        const char* file;
        const char* brand;
        const char* date;
        const char* version;
        const char* width;
        const char* height;
        const char* inches;
        const char* model;
        const char* serial;
    } cases[] = {
        {"DEL-D12C-0d8aa809.bin", "DEL", "2023年第5周", "1.4", "80", "33", "34.1", "DELL S3422DWG", "5ZG4TH3"},
        {"GSM-5BD3-a7cdb3aa.bin", "GSM", "2024年第7周", "1.4", "60", "34", "27.2", "LG ULTRAGEAR", "407MXFV3U011"},
        {"LEN-65F3-284e9eb8.bin", "LEN", "2019年第33周", "1.3", "53", "30", "24", "Q24i-10", ""},
        {"SAM-04D5-0f0995af.bin", "SAM", "2009年第39周", "1.3", "16", "9", "7.2", "SyncMaster", ""},
        {"EQV-1081-6a358a9e.bin", "EQV", "2010年第1周", "1.3", "48", "27", "21.7", "", ""},
        {"IOD-1147-4831877e.bin", "IOD", "2004年第39周", "1.2", "34", "27", "17.1", "LCD-A173G", "U3G0016198B5"},
        {"BBY-0042-1b86ee49.bin", "BBY", "2011年第1周", "1.3", "102", "57", "46", "DX46L261A12", ""},
        {"ACR-0460-77235313.bin", "ACR", "2013年第255周", "1.4", "62", "34", "27.8", "Acer XB281HK", "#ASPV+v3eIlHd"},
        {"SPT-09AB-2bd40bdd.bin", "SPT", "2018年第47周", "1.3", "53", "30", "24", "Sceptre C24", "            "},
        // Laptop panels: no product name, the part number in alphanumeric data.
        {"CSO-1410-c1bef7b6.bin", "CSO", "2021年第0周", "1.4", "31", "20", "14.5", "MNE507ZA1-1", ""},
        {"SDC-417A-a4e3d57a.bin", "SDC", "2020年第35周", "1.4", "30", "19", "14", "ATNA40YK08-0", ""},
        {"AUO-21EC-eddf52e1.bin", "AUO", "2011年第0周", "1.4", "34", "19", "15.3", "", ""},
        // Alphanumeric string with a byte above 0x7E is no part number.
        {"SHP-14C2-8f61d357.bin", "SHP", "2019年第17周", "1.4", "26", "14", "11.6", "", ""},
        {"ADR-0217-ed5dbdf5.bin", "ADR", "2009年第50周", "1.3", "0", "0", "0", "KVM-via-IP", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const MonitorInfo m = decode_file(c.file);
        EXPECT_EQ(m.brand, c.brand);
        EXPECT_EQ(m.production_date, c.date);
        EXPECT_EQ(m.edid_version, c.version);
        EXPECT_EQ(m.width_cm, c.width);
        EXPECT_EQ(m.height_cm, c.height);
        EXPECT_EQ(m.size_inches, c.inches);
        EXPECT_EQ(m.model, c.model);
        EXPECT_EQ(m.serial_number, c.serial);
        EXPECT_EQ(m.monitor_id, "DELA0A3");
    }
}

TEST(EdidRealMonitors, InvalidManufacturerGivesTheMessage) {
    // edid-decode reads "TR_": the third letter code is 11111, not a letter.
    const MonitorInfo m = decode_file("inv525F-5511-ec0ab906.bin");
    EXPECT_EQ(m.brand, "数据格式不规范或未收录的品牌。");
    EXPECT_EQ(m.vendor_code_hex, "52 5F");
    EXPECT_EQ(m.model, "1920x1080");  // the last non-empty alphanumeric string
    EXPECT_EQ(m.production_date, "2013年第5周");
}

TEST(EdidConstructed, BrandAndVendorCode) {
    MonitorInfo m = decode(block(0x10, 0xAC));
    EXPECT_EQ(m.brand, "DEL");
    EXPECT_EQ(m.vendor_code_hex, "10 AC");
    EXPECT_EQ(m.production_date, "2019年第12周");
    EXPECT_EQ(m.edid_version, "1.3");
    EXPECT_EQ(decode(block(0, 0)).brand, kBrandMessage);
    EXPECT_EQ(decode(block(0, 0)).vendor_code_hex, "00 00");
    EXPECT_EQ(decode(block(0xFF, 0xFF)).brand, kBrandMessage);
    // The reserved top bit does not count: 0x90AC reads DEL as well.
    EXPECT_EQ(decode(block(0x90, 0xAC)).brand, "DEL");
    EXPECT_EQ(decode_file("synthetic-vendor-0000.bin").brand, kBrandMessage);
    EXPECT_EQ(decode_file("synthetic-vendor-10ac-del.bin").brand, "DEL");
}

TEST(EdidConstructed, Sizes) {
    EXPECT_EQ(decode(block(0x10, 0xAC, 53, 30)).size_inches, "24");
    EXPECT_EQ(decode(block(0x10, 0xAC, 60, 34)).size_inches, "27.2");
    EXPECT_EQ(decode(block(0x10, 0xAC, 48, 27)).size_inches, "21.7");
    const MonitorInfo zero = decode(block(0x10, 0xAC, 0, 0));
    EXPECT_EQ(zero.size_inches, "0");
    EXPECT_EQ(zero.width_cm, "0");
    EXPECT_EQ(zero.height_cm, "0");
    EXPECT_EQ(decode_file("synthetic-size-60x34.bin").size_inches, "27.2");
    EXPECT_EQ(decode_file("synthetic-size-0x0.bin").size_inches, "0");
    EXPECT_EQ(decode_file("synthetic-week0.bin").production_date, "1990年第0周");
}

TEST(EdidConstructed, NameAndSerialFoundByTag) {
    Bytes b = block();
    put_descriptor(b, 90, 0xFF, "SERIAL9\n");
    put_descriptor(b, 108, 0xFC, "NAME\n");
    MonitorInfo m = decode(b);
    EXPECT_EQ(m.model, "NAME");
    EXPECT_EQ(m.serial_number, "SERIAL9");
    const MonitorInfo swapped = decode_file("synthetic-desc-swapped.bin");
    EXPECT_EQ(swapped.model, "SWAPNAME");
    EXPECT_EQ(swapped.serial_number, "SWAPSERIAL");
    // The first name and the first serial win.
    put_descriptor(b, 54, 0xFC, "FIRST\n");
    put_descriptor(b, 72, 0xFF, "S1\n");
    m = decode(b);
    EXPECT_EQ(m.model, "FIRST");
    EXPECT_EQ(m.serial_number, "S1");
    // A block whose first two bytes are not zero is a timing, not a descriptor.
    Bytes t = block();
    put_descriptor(t, 90, 0xFC, "TIMING\n");
    t[90] = 1;
    EXPECT_EQ(decode(t).model, "");
}

TEST(EdidConstructed, AlphanumericOnlyPanel) {
    Bytes b = block();
    put_descriptor(b, 72, 0xFE, "AUO\n");
    put_descriptor(b, 90, 0xFE, "B140HAN01.3\n");
    put_descriptor(b, 108, 0xFE, "\n");  // empty: passed over
    EXPECT_EQ(decode(b).model, "B140HAN01.3");
    put_descriptor(b, 108, 0xFE, "\x01\x02\n");  // not printable
    EXPECT_EQ(decode(b).model, "B140HAN01.3");
    put_descriptor(b, 54, 0xFC, "REAL NAME\n");
    EXPECT_EQ(decode(b).model, "REAL NAME");
    EXPECT_EQ(decode(b).serial_number, "");
}

TEST(EdidConstructed, SpacesZeroBytesAndLineBreaks) {
    const MonitorInfo spaces = decode_file("synthetic-desc-spaces.bin");
    EXPECT_EQ(spaces.model, "MOD X");
    EXPECT_EQ(spaces.serial_number, "  SN 42      ");  // the serial is never tidied
    const MonitorInfo zeros = decode_file("synthetic-desc-zero-bytes.bin");
    EXPECT_EQ(zeros.model, "ABCDEF");
    EXPECT_EQ(zeros.serial_number, "S1N2");
    // B0 0D: a CR after a lead byte survives tidying, and stays on its line
    // as a substitute (no GBK pair ends in a control byte).
    const MonitorInfo gbk = decode_file("synthetic-desc-gbk-lead-crlf.bin");
    EXPECT_EQ(gbk.model, "AB\xB0\x1A");
    EXPECT_EQ(gbk.serial_number, "\xC4 X");
    Bytes b = block();
    // The string ends at its first line feed; CRs before it go.
    put_descriptor(b, 54, 0xFC, "  A\rB C\r  \nX");
    EXPECT_EQ(decode(b).model, "AB C");
}

TEST(EdidConstructed, ShortBlocksAndDeviceIds) {
    const Bytes b100 = read_file_bytes(edid_path("synthetic-len100.bin"));
    ASSERT_EQ(b100.size(), 100u);
    const MonitorInfo empty = decode(b100);
    EXPECT_EQ(empty.brand, "");
    EXPECT_EQ(empty.production_date, "");
    EXPECT_TRUE(empty.edid_bytes.empty());
    const Bytes full = block();
    Bytes b126(full.begin(), full.begin() + 126);
    EXPECT_EQ(decode(b126).brand, "DEL");
    Bytes b125(full.begin(), full.begin() + 125);
    EXPECT_EQ(decode(b125).brand, "");
    EXPECT_EQ(decode(block(), "DISPLAY\\X").monitor_id, "");
    EXPECT_EQ(decode(block(), "A\\B\\C\\D").monitor_id, "");
    EXPECT_EQ(decode(block(), "").monitor_id, "");
    EXPECT_EQ(decode(block()).edid_bytes, block());
}

TEST(EdidHelpers, HexAndBinaryConversions) {
    EXPECT_EQ(byte_to_hex("0"), "00");
    EXPECT_EQ(byte_to_hex("10"), "0A");
    EXPECT_EQ(byte_to_hex("172"), "AC");
    EXPECT_EQ(byte_to_hex("255"), "FF");
    EXPECT_EQ(byte_to_hex("4096"), "1000");
    EXPECT_EQ(hex_to_number("ff"), 255);
    EXPECT_EQ(hex_to_number("1A"), 26);
    EXPECT_EQ(hex_to_characters("414"), "A@");
    EXPECT_EQ(hex_to_characters("00"), "");
    EXPECT_EQ(hex_to_binary("AC"), "10101100");
    EXPECT_EQ(hex_to_binary("0f"), "0000f");  // lower case is not a digit here
    EXPECT_EQ(tidy_descriptor_text("  a b \n  "), "a b \n");
    EXPECT_EQ(edid_text_of(Bytes{0, 255, 7}), "0,255,7,");
    EXPECT_EQ(split_text(kBrandLetterTable, "\r\n").size(), 26u);
    EXPECT_EQ(text_length(kBrandLetterTable), 301);
}
