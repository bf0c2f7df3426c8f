#include "sections/system/firmware.h"

#include "automation/script_query.h"
#include "reply/reply.h"
#include "sections/numbered_script.h"

const char* const kFirmwareScript =
    QV_NUMBERED_HEAD("Win32_BIOS") QV_NUMBERED("Manufacturer") QV_NUMBERED("SMBIOSBIOSVersion")
    QV_NUMBERED("ReleaseDate") QV_NUMBERED("SMBIOSMajorVersion") QV_NUMBERED("SMBIOSMinorVersion") QV_NUMBERED_TAIL;
const char* const kFirmwareReleaseScript =
    QV_NUMBERED_HEAD("Win32_BIOS") QV_NUMBERED("SystemBiosMajorVersion") QV_NUMBERED("SystemBiosMinorVersion")
    QV_NUMBERED_TAIL;

std::optional<std::string> iso_date_of_cim(const Text& cim) {
    // yyyymmddHHMMSS.mmmmmm+UUU; only the date is kept.
    if (cim.size() < 8 || cim.find_first_not_of("0123456789") < 8) return std::nullopt;
    const int year = std::stoi(cim.substr(0, 4)), month = std::stoi(cim.substr(4, 2)), day = std::stoi(cim.substr(6, 2));
    if (year < 1980 || month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    return cim.substr(0, 4) + "-" + cim.substr(4, 2) + "-" + cim.substr(6, 2);
}

namespace {

// A byte-sized version number; 255 is the firmware's "not supported".
std::optional<std::int64_t> version_number(const Text& t) {
    const auto n = quantity_of(t);
    if (!n || *n > 254) return std::nullopt;
    return n;
}

}  // namespace

FirmwareFacts read_firmware() {
    FirmwareFacts f;
    const auto bios = numbered_instances(run_script_query(kFirmwareScript));
    if (!bios.empty()) {
        const auto& b = bios.front();
        f.vendor = instance_value(b, "Manufacturer");
        f.version = instance_value(b, "SMBIOSBIOSVersion");
        f.release_date = iso_date_of_cim(instance_value(b, "ReleaseDate"));
        f.smbios_major = version_number(instance_value(b, "SMBIOSMajorVersion"));
        f.smbios_minor = version_number(instance_value(b, "SMBIOSMinorVersion"));
        if (!f.smbios_major || !f.smbios_minor) f.smbios_major.reset(), f.smbios_minor.reset();
    }
    const auto release = numbered_instances(run_script_query(kFirmwareReleaseScript));
    if (!release.empty()) {
        f.release_major = version_number(instance_value(release.front(), "SystemBiosMajorVersion"));
        f.release_minor = version_number(instance_value(release.front(), "SystemBiosMinorVersion"));
        if (!f.release_major || !f.release_minor) f.release_major.reset(), f.release_minor.reset();
    } else {
        f.release_unsupported = !bios.empty();
    }
    f.uefi = read_uefi_boot();
    return f;
}
