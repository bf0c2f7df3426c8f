#include "sources/linux/cpuinfo.h"

#include <cstdlib>

#include "values/text.h"

std::optional<int> cpu_number(const std::string& s) {
    if (s.empty() || s.size() > 7 || s.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return std::atoi(s.c_str());
}

bool has_word(const std::string& list, const std::string& word) {
    std::size_t pos = 0;
    while (pos < list.size()) {
        const std::size_t begin = list.find_first_not_of(" \t", pos);
        if (begin == std::string::npos) break;
        std::size_t end = list.find_first_of(" \t", begin);
        if (end == std::string::npos) end = list.size();
        if (list.compare(begin, end - begin, word) == 0) return true;
        pos = end;
    }
    return false;
}

CpuInfo parse_cpuinfo(const std::string& text) {
    CpuInfo info;
    std::map<std::string, std::string> block;
    auto close_block = [&] {
        std::optional<int> n;
        for (const char* key : {"processor", "cpu number"})
            if (auto it = block.find(key); it != block.end() && !n) n = cpu_number(it->second);
        if (n) {
            if (info.by_number_.try_emplace(*n, info.processors.size()).second)
                info.processors.push_back({*n, std::move(block)});
        } else {
            for (auto& [k, v] : block) info.shared.try_emplace(k, std::move(v));
        }
        block.clear();
    };
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (info.processors.size() >= kMaxCpus) {
            info.cut = true;
            block.clear();
            break;
        }
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (trim_blanks(line).empty()) {
            close_block();
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = trim_blanks(line.substr(0, colon));
        // A second "processor" line starts the next processor even without
        // a blank line between them.
        if ((key == "processor" || key == "cpu number") && block.count(key)) close_block();
        block.try_emplace(key, trim_blanks(line.substr(colon + 1)));
    }
    close_block();
    // Older arm64 kernels print a bare "processor : N" line for each
    // processor and then one block for all of them: what follows the last
    // bare line belongs to every processor.
    auto bare = [](const CpuInfo::Processor& p) {
        for (const auto& [k, v] : p.fields)
            if (k != "processor" && k != "Processor") return false;
        return true;
    };
    for (std::size_t i = 1; i < info.processors.size(); ++i) {
        if (!bare(info.processors[i - 1]) || bare(info.processors[i])) continue;
        for (const auto& [k, v] : info.processors[i].fields)
            if (k != "processor") info.shared.try_emplace(k, v);
        for (std::size_t j = 0; j < i; ++j)  // the name line stands in the first block
            if (auto it = info.processors[j].fields.find("Processor"); it != info.processors[j].fields.end())
                info.shared.try_emplace("Processor", it->second);
        break;  // such a kernel writes one shared block
    }
    return info;
}

std::optional<std::string> CpuInfo::field(std::optional<std::size_t> processor, const std::string& key) const {
    if (processor && *processor < processors.size()) {
        const auto& f = processors[*processor].fields;
        if (auto it = f.find(key); it != f.end()) return it->second;
    }
    if (auto it = shared.find(key); it != shared.end()) return it->second;
    return std::nullopt;
}

std::optional<std::size_t> CpuInfo::index_of(int number) const {
    const auto it = by_number_.find(number);
    if (it == by_number_.end()) return std::nullopt;
    return it->second;
}
