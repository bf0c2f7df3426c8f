// Win32_VideoController on Linux: the PCI display controllers, named as
// close to the card's own name as the machine's data allows.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <string>
#include <vector>

#include "sources/instance_source.h"

std::vector<Instance> video_controller_instances();

// libdrm's amdgpu.ids read once into a table by device and revision.
class AmdgpuIds {
public:
    explicit AmdgpuIds(const std::string& ids);
    std::optional<std::string> name(unsigned device, unsigned revision) const;

private:
    std::unordered_map<std::uint32_t, std::string> names_;
};

// AMD's marketing name for a device and revision, from the table libdrm
// installs (amdgpu.ids: "73BF,\tC1,\tAMD Radeon RX 6800 XT").
std::optional<std::string> amdgpu_ids_name(const std::string& ids, unsigned device, unsigned revision);
// The "Model:" line of the NVIDIA driver's /proc/driver/nvidia/gpus/*/information.
std::optional<std::string> nvidia_model(const std::string& information);
