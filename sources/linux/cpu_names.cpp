#include "sources/linux/cpu_names.h"

#include <cstring>

namespace {

// MIDR_EL1 / MIDR implementer codes, as Arm's Architecture Reference Manual
// assigns them (the same list stands in Linux's arch/arm64/include/asm/cputype.h).
struct Implementer {
    unsigned id;
    const char* name;
};
constexpr Implementer kImplementers[] = {
    {0x41, "ARM"},      {0x42, "Broadcom"}, {0x43, "Cavium"},   {0x44, "DEC"},       {0x46, "FUJITSU"},
    {0x48, "HiSilicon"}, {0x49, "Infineon"}, {0x4d, "Motorola/Freescale"}, {0x4e, "NVIDIA"},
    {0x50, "APM"},      {0x51, "Qualcomm"}, {0x53, "Samsung"},  {0x56, "Marvell"},   {0x61, "Apple"},
    {0x66, "Faraday"},  {0x69, "Intel"},    {0x6d, "Microsoft"}, {0x70, "Phytium"},  {0xc0, "Ampere"},
};

// Part numbers (MIDR PartNum) with the names their makers publish in each
// core's Technical Reference Manual; Linux's cputype.h and util-linux's
// lscpu carry the same numbers.
struct Part {
    unsigned implementer, part;
    const char* name;
};
constexpr Part kParts[] = {
    {0x41, 0x810, "ARM810"},        {0x41, 0x920, "ARM920"},        {0x41, 0x922, "ARM922"},
    {0x41, 0x926, "ARM926"},        {0x41, 0x940, "ARM940"},        {0x41, 0x946, "ARM946"},
    {0x41, 0x966, "ARM966"},        {0x41, 0xa20, "ARM1020"},       {0x41, 0xa22, "ARM1022"},
    {0x41, 0xa26, "ARM1026"},       {0x41, 0xb02, "ARM11 MPCore"},  {0x41, 0xb36, "ARM1136"},
    {0x41, 0xb56, "ARM1156"},       {0x41, 0xb76, "ARM1176"},       {0x41, 0xc05, "Cortex-A5"},
    {0x41, 0xc07, "Cortex-A7"},     {0x41, 0xc08, "Cortex-A8"},     {0x41, 0xc09, "Cortex-A9"},
    {0x41, 0xc0d, "Cortex-A17"},    {0x41, 0xc0f, "Cortex-A15"},    {0x41, 0xc0e, "Cortex-A17"},
    {0x41, 0xc14, "Cortex-R4"},     {0x41, 0xc15, "Cortex-R5"},     {0x41, 0xc17, "Cortex-R7"},
    {0x41, 0xc18, "Cortex-R8"},     {0x41, 0xc20, "Cortex-M0"},     {0x41, 0xc21, "Cortex-M1"},
    {0x41, 0xc23, "Cortex-M3"},     {0x41, 0xc24, "Cortex-M4"},     {0x41, 0xc27, "Cortex-M7"},
    {0x41, 0xc60, "Cortex-M0+"},    {0x41, 0xd01, "Cortex-A32"},    {0x41, 0xd02, "Cortex-A34"},
    {0x41, 0xd03, "Cortex-A53"},    {0x41, 0xd04, "Cortex-A35"},    {0x41, 0xd05, "Cortex-A55"},
    {0x41, 0xd06, "Cortex-A65"},    {0x41, 0xd07, "Cortex-A57"},    {0x41, 0xd08, "Cortex-A72"},
    {0x41, 0xd09, "Cortex-A73"},    {0x41, 0xd0a, "Cortex-A75"},    {0x41, 0xd0b, "Cortex-A76"},
    {0x41, 0xd0c, "Neoverse-N1"},   {0x41, 0xd0d, "Cortex-A77"},    {0x41, 0xd0e, "Cortex-A76AE"},
    {0x41, 0xd13, "Cortex-R52"},    {0x41, 0xd15, "Cortex-R82"},    {0x41, 0xd20, "Cortex-M23"},
    {0x41, 0xd21, "Cortex-M33"},    {0x41, 0xd40, "Neoverse-V1"},   {0x41, 0xd41, "Cortex-A78"},
    {0x41, 0xd42, "Cortex-A78AE"},  {0x41, 0xd43, "Cortex-A65AE"},  {0x41, 0xd44, "Cortex-X1"},
    {0x41, 0xd46, "Cortex-A510"},   {0x41, 0xd47, "Cortex-A710"},   {0x41, 0xd48, "Cortex-X2"},
    {0x41, 0xd49, "Neoverse-N2"},   {0x41, 0xd4a, "Neoverse-E1"},   {0x41, 0xd4b, "Cortex-A78C"},
    {0x41, 0xd4c, "Cortex-X1C"},    {0x41, 0xd4d, "Cortex-A715"},   {0x41, 0xd4e, "Cortex-X3"},
    {0x41, 0xd4f, "Neoverse-V2"},   {0x41, 0xd80, "Cortex-A520"},   {0x41, 0xd81, "Cortex-A720"},
    {0x41, 0xd82, "Cortex-X4"},     {0x41, 0xd84, "Neoverse-V3"},   {0x41, 0xd85, "Cortex-X925"},
    {0x41, 0xd87, "Cortex-A725"},   {0x41, 0xd8e, "Neoverse-N3"},
    {0x42, 0x00f, "Brahma-B15"},    {0x42, 0x100, "Brahma-B53"},    {0x42, 0x516, "ThunderX2"},
    {0x43, 0x0a0, "ThunderX"},      {0x43, 0x0a1, "ThunderX-88XX"}, {0x43, 0x0a2, "ThunderX-81XX"},
    {0x43, 0x0a3, "ThunderX-83XX"}, {0x43, 0x0af, "ThunderX2-99xx"},
    {0x46, 0x001, "A64FX"},
    {0x48, 0xd01, "Kunpeng-920"},
    {0x4e, 0x000, "Denver"},        {0x4e, 0x003, "Denver 2"},      {0x4e, 0x004, "Carmel"},
    {0x50, 0x000, "X-Gene"},
    {0x51, 0x00f, "Scorpion"},      {0x51, 0x02d, "Scorpion"},      {0x51, 0x04d, "Krait"},
    {0x51, 0x06f, "Krait"},         {0x51, 0x201, "Kryo"},          {0x51, 0x205, "Kryo"},
    {0x51, 0x211, "Kryo"},          {0x51, 0x800, "Kryo 2XX Gold"}, {0x51, 0x801, "Kryo 2XX Silver"},
    {0x51, 0x802, "Kryo 3XX Gold"}, {0x51, 0x803, "Kryo 3XX Silver"}, {0x51, 0x804, "Kryo 4XX Gold"},
    {0x51, 0x805, "Kryo 4XX Silver"}, {0x51, 0xc00, "Falkor"},      {0x51, 0xc01, "Saphira"},
    {0x53, 0x001, "Exynos-M1"},
    {0x56, 0x131, "Feroceon 88FR131"}, {0x56, 0x581, "PJ4/PJ4b"},   {0x56, 0x584, "PJ4B-MP"},
    {0x61, 0x022, "M1 Icestorm"},   {0x61, 0x023, "M1 Firestorm"},
    {0x70, 0x660, "FTC660"},        {0x70, 0x661, "FTC661"},        {0x70, 0x662, "FTC662"},
    {0x70, 0x663, "FTC663"},
    {0xc0, 0xac3, "Ampere-1"},      {0xc0, 0xac4, "Ampere-1a"},
};

// IBM Z machine types (the "Type:" of /proc/sysinfo) and the names IBM
// sells each machine under.
struct Machine {
    const char* type;
    const char* name;
};
constexpr Machine kMachines[] = {
    {"2064", "IBM z900"},  {"2066", "IBM z800"},   {"2084", "IBM z990"},  {"2086", "IBM z890"},
    {"2094", "IBM z9 EC"}, {"2096", "IBM z9 BC"},  {"2097", "IBM z10 EC"}, {"2098", "IBM z10 BC"},
    {"2817", "IBM z196"},  {"2818", "IBM z114"},   {"2827", "IBM zEC12"}, {"2828", "IBM zBC12"},
    {"2964", "IBM z13"},   {"2965", "IBM z13s"},   {"3906", "IBM z14"},   {"3907", "IBM z14 ZR1"},
    {"8561", "IBM z15"},   {"8562", "IBM z15"},    {"3931", "IBM z16"},   {"3932", "IBM z16"},
};

// RISC-V mvendorid values: JEDEC JEP106 codes, (bank - 1) << 7 | id.
struct Vendor {
    unsigned long long id;
    const char* name;
};
constexpr Vendor kRiscvVendors[] = {
    {0x489, "SiFive"}, {0x5b7, "T-Head"}, {0x31e, "Andes"}, {0x710, "SpacemiT"},
};

}  // namespace

std::optional<std::string> arm_implementer_name(unsigned implementer) {
    for (const auto& i : kImplementers)
        if (i.id == implementer) return std::string(i.name);
    return std::nullopt;
}

std::optional<std::string> arm_part_name(unsigned implementer, unsigned part) {
    for (const auto& p : kParts)
        if (p.implementer == implementer && p.part == part) return std::string(p.name);
    return std::nullopt;
}

std::optional<std::string> s390_machine_name(const std::string& type) {
    for (const auto& m : kMachines)
        if (type == m.type) return std::string(m.name);
    return std::nullopt;
}

std::optional<std::string> riscv_vendor_name(unsigned long long mvendorid) {
    for (const auto& v : kRiscvVendors)
        if (v.id == mvendorid) return std::string(v.name);
    return std::nullopt;
}

bool ppc_core_is_64bit(const std::string& cpu) {
    // The 64-bit PowerPC cores: IBM's POWER3 on and the 970 (G5), Cell,
    // PA Semi's PA6T, Freescale's e5500 and e6500, IBM's A2.
    for (const char* p : {"POWER", "PPC970", "Cell", "PA6T", "e5500", "e6500", "A2"})
        if (cpu.compare(0, std::strlen(p), p) == 0) return true;
    return false;
}
