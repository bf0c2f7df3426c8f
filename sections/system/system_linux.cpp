#include "sections/system/processor.h"
#include "sections/system/system.h"
#include "sources/linux/host_state.h"
#include "sources/linux/kernel_arch.h"
#include "values/encoding.h"

// Linux has no Windows family; the report says 未知.
int read_os_family() { return 0; }

bool is_64bit_windows() { return read_64bit_answer().value_or(false); }

std::optional<bool> read_64bit_answer() {
    const auto machine = kernel_machine_name();
    if (!machine || machine->empty()) return std::nullopt;
    return kernel_arch_bits(*machine) == 64;
}

Text read_user_name() { return gbk_of_utf8_value(effective_user_name().value_or("")); }

Text read_processor_signature() { return cpuid_signature().value_or(""); }

// Linux has no update build revision.
std::optional<std::int64_t> read_update_revision() { return std::nullopt; }
