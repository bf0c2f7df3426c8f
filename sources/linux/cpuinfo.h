// /proc/cpuinfo: one block of "key : value" lines per logical processor
// ("processor : N", or "cpu number : N" on s390), and the lines that stand
// outside any processor's block, which old ARM and s390 kernels share among
// all processors.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// No kernel is built for more than 8192 logical processors; a file or list
// that names more is read that far.
constexpr std::size_t kMaxCpus = 8192;

struct CpuInfo {
    struct Processor {
        int number = 0;
        std::map<std::string, std::string> fields;
    };
    std::vector<Processor> processors;  // in the file's order
    std::map<std::string, std::string> shared;
    bool cut = false;  // more processors than the kernel can have; the rest not read

    // The processor's own value of `key`, else the shared one.
    std::optional<std::string> field(std::optional<std::size_t> processor, const std::string& key) const;
    // The processor with this logical number.
    std::optional<std::size_t> index_of(int number) const;

private:
    std::map<int, std::size_t> by_number_;
    friend CpuInfo parse_cpuinfo(const std::string& text);
};

CpuInfo parse_cpuinfo(const std::string& text);

// "0", "17": a logical processor's number, as cpuinfo and the kernel's CPU
// lists write it; nothing for anything else.
std::optional<int> cpu_number(const std::string& s);

// Whether a blank-separated list ("fpu vme lm") holds `word`.
bool has_word(const std::string& list, const std::string& word);
