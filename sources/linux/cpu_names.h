// Names for the ids processors give of themselves where the kernel prints
// no name: ARM's MIDR implementer and part numbers, IBM Z machine types,
// RISC-V vendor ids, and which PowerPC cores are 64-bit. The tables are
// data, in cpu_names.cpp, with where each comes from.
#pragma once

#include <optional>
#include <string>

std::optional<std::string> arm_implementer_name(unsigned implementer);
std::optional<std::string> arm_part_name(unsigned implementer, unsigned part);
std::optional<std::string> s390_machine_name(const std::string& type);
std::optional<std::string> riscv_vendor_name(unsigned long long mvendorid);
// "POWER7 (architected)", "PPC970FX": whether that PowerPC core is 64-bit.
bool ppc_core_is_64bit(const std::string& cpu);
