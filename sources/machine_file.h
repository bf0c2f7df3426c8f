// A machine described in a readable file, for tests and for reporting a
// machine that was described elsewhere. One block per instance:
//
//   [Win32_DiskDrive]
//   Caption = text Samsung SSD 860 EVO 500GB
//   Size = text 500105249280
//   Index = int 0
//   Removable = bool false
//   Speeds = ints 3 10
//   Ratio = single 0.1                                 (a real32)
//   Names = texts a b\sc                               (an array of strings)
//   Product = null
//   EDID = file ../data/edid/DEL-D12C-0d8aa809.bin     (the monitor's EDID)
//   EDID@002 = hex 00ffffffffffff00                   (in one control set)
//   class Win32_Something                                (known, no instance)
//
// Text values may hold \r, \n, \t, \s (a space) and \\. The file is UTF-8;
// texts are held in GBK. The nine classes the report reads are always known.
#pragma once

#include <string>

#include "sources/instance_source.h"

class MachineFile : public InstanceSource {
public:
    // Throws std::runtime_error naming the line when the file cannot be read.
    static MachineFile load(const std::string& path);

    std::optional<std::vector<Instance>> instances(const Text& class_name) override;
    std::optional<Bytes> edid(const Text& device_id, int control_set) override;

private:
    std::map<Text, std::vector<Instance>, NoCaseLess> classes_;
    // device id -> control set (1..3) -> EDID
    std::map<Text, std::map<int, Bytes>, NoCaseLess> edids_;
};
