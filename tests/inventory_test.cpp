// Inventory depth: the firmware, from nine real SMBIOS tables against
// Debian's dmidecode, and the boot mode and date forms.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "process_support.h"
#include "sections/system/firmware.h"
#include "sections/system/system.h"
#include "sources/linux/sysfs_text.h"

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

const std::string kRealDmi = std::string(QV_FIXTURES) + "/../../shared/realdata/dmi";

std::string first_line(const std::string& s) {
    std::string l = s.substr(0, s.find('\n'));
    while (!l.empty() && l.back() == ' ') l.pop_back();
    return l;
}

// The value after "Key: " in dmidecode's listing, or "".
std::string listed(const std::string& listing, const std::string& key) {
    const auto at = listing.find(key + ": ");
    return at == std::string::npos ? "" : first_line(listing.substr(at + key.size() + 2));
}

}  // namespace

TEST(Inventory, FirmwareOfRealSmbiosTablesAsDmidecodeReadsThem) {
    if (!fs::is_directory(kRealDmi)) GTEST_SKIP() << kRealDmi << " is not here";
    if (std::system("command -v dmidecode >/dev/null") != 0) GTEST_SKIP() << "Debian's dmidecode is not installed";
    char dir[] = "/tmp/qv-dmiXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    ASSERT_EQ(std::system(("python3 " + kRealDmi + "/make_dmi_trees.py " + dir + " >/dev/null 2>&1").c_str()), 0);
    int machines = 0;
    for (const auto& e : fs::directory_iterator(kRealDmi)) {
        if (e.path().extension() != ".bin") continue;
        const std::string name = e.path().stem();
        SCOPED_TRACE(name);
        const std::string dump = sh("dmidecode --from-dump '" + e.path().string() + "' -t 0 2>/dev/null");
        const ProcessResult r = run_report(std::string("--json --root ") + dir + "/" + name);
        ASSERT_EQ(r.status, 0) << r.err;
        const Json fw = Json::parse(r.out)["firmware"];
        EXPECT_EQ(fw["vendor"], listed(dump, "Vendor"));
        EXPECT_EQ(fw["version"], listed(dump, "Version"));
        const std::string date = listed(dump, "Release Date");  // MM/DD/YYYY
        ASSERT_EQ(date.size(), 10u);
        EXPECT_EQ(fw["release_date"], date.substr(6, 4) + "-" + date.substr(0, 2) + "-" + date.substr(3, 2));
        const std::string revision = listed(dump, "BIOS Revision");
        EXPECT_EQ(fw["release"], revision.empty() ? Json(nullptr) : Json(revision));
        const auto present = dump.find("SMBIOS ");
        ASSERT_NE(present, std::string::npos);
        const std::string smbios = dump.substr(present + 7, dump.find(" present", present) - present - 7);
        // dmidecode names the entry point's version with its docrev ("3.1.1"); the JSON has major.minor.
        EXPECT_EQ(fw["smbios_version"], smbios.substr(0, smbios.find('.', smbios.find('.') + 1)));
        ++machines;
    }
    EXPECT_EQ(machines, 9);
    fs::remove_all(dir);
}

TEST(Inventory, FirmwareDatesAndBootMode) {
    // SMBIOS dates as firmware writes them; WMI's CIM datetimes.
    EXPECT_EQ(cim_date_of_firmware_date("01/16/2019"), "20190116000000.000000+000");
    EXPECT_EQ(cim_date_of_firmware_date("12/31/99"), "19991231000000.000000+000");
    EXPECT_EQ(cim_date_of_firmware_date("03/05/07 "), "20070305000000.000000+000");
    for (const char* bad : {"", "2019-01-16", "13/01/2019", "00/10/2019", "1/16/2019", "01/16/19xx"})
        EXPECT_FALSE(cim_date_of_firmware_date(bad)) << bad;
    EXPECT_EQ(iso_date_of_cim("20190116000000.000000+000"), "2019-01-16");
    EXPECT_EQ(iso_date_of_cim("20081104"), "2008-11-04");
    for (const char* bad : {"", "2019011", "abcd0116000000.000000+000", "20191316000000.000000+000"})
        EXPECT_FALSE(iso_date_of_cim(bad)) << bad;

    // The boot mode a tree's /sys/firmware tells: efi there is UEFI.
    char dir[] = "/tmp/qv-efiXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    fs::copy(tree("laptop"), std::string(dir) + "/t", fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    auto boot_mode = [&] { return Json::parse(run_report(std::string("--json --root ") + dir + "/t").out)["firmware"]["boot_mode"]; };
    EXPECT_EQ(boot_mode(), "legacy");  // the laptop's tree has its DMI table, and no efi beside it
    fs::create_directories(std::string(dir) + "/t/sys/firmware/efi/efivars");
    EXPECT_EQ(boot_mode(), "uefi");
    fs::remove_all(std::string(dir) + "/t/sys/firmware");
    EXPECT_TRUE(boot_mode().is_null());
    fs::remove_all(dir);
}

TEST(Inventory, TheOperatingSystemsOwnTimes) {
    // WMI's times carry their offset from UTC in minutes.
    EXPECT_EQ(rfc3339_of_cim("20190116083000.000000+480"), "2019-01-16T00:30:00Z");
    EXPECT_EQ(rfc3339_of_cim("20231231220000.500000-120"), "2024-01-01T00:00:00Z");
    EXPECT_EQ(rfc3339_of_cim("20240229235959.000000+000"), "2024-02-29T23:59:59Z");
    for (const char* bad : {"", "20190116083000.000000", "2019011608300a.000000+480", "20191316083000.000000+000",
                            "19700101000000.000000+000"})
        EXPECT_FALSE(rfc3339_of_cim(bad)) << bad;
    EXPECT_EQ(cim_time_of_epoch(1700000000), "20231114221320.000000+000");
    EXPECT_FALSE(cim_time_of_epoch(std::nullopt));
    EXPECT_FALSE(cim_time_of_epoch(-1));

    // A tree's own boot time; Linux keeps no install date.
    char dir[] = "/tmp/qv-osXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    fs::copy(tree("laptop"), std::string(dir) + "/t", fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    std::ofstream(std::string(dir) + "/t/proc/stat") << "cpu  1 2 3 4\nintr 0\nctxt 5\nbtime 1700000000\nprocesses 9\n";
    const Json os = Json::parse(run_report(std::string("--json --root ") + dir + "/t").out)["os"];
    EXPECT_EQ(os["kernel"], "6.5.0-35-generic");
    EXPECT_EQ(os["boot_time"], "2023-11-14T22:13:20Z");
    EXPECT_TRUE(os["build"].is_null());
    EXPECT_TRUE(os["install_date"].is_null());
    fs::remove_all(dir);
}
