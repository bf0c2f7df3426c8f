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
//   Load = double 0.25                                 (a real64)
//   Names = texts a b\sc                               (an array of strings)
//   Product = null
//   EDID = file ../data/edid/DEL-D12C-0d8aa809.bin     (the monitor's EDID)
//   EDID@002 = hex 00ffffffffffff00                   (in one control set)
//   class Win32_Something                                (known, no instance)
//
// Text values may hold \r, \n, \t, \s (a space) and \\. The file is UTF-8;
// texts are held in GBK. The classes the report reads are always known.
// A file of more than 4 MiB, with a NUL byte or not UTF-8 is refused, as is
// an EDID file that is not a regular file of at most 32 KiB.
#pragma once

#include <functional>
#include <string>

#include "sources/instance_source.h"

class MachineFile : public InstanceSource {
public:
    static constexpr std::size_t kMaxFile = 4 << 20;
    static constexpr std::size_t kMaxEdid = 32 << 10;

    // Throws std::runtime_error naming the line when the file cannot be read.
    static MachineFile load(const std::string& path);
    // The same from the file's contents; `dir` is where EDID files are
    // found, `path` names the file in messages.
    static MachineFile parse(const std::string& content, const std::string& dir, const std::string& path);

    std::optional<std::vector<Instance>> instances(const Text& class_name) override;
    std::optional<Bytes> edid(const Text& device_id, int control_set) override;

private:
    std::map<Text, std::vector<Instance>, NoCaseLess> classes_;
    // device id -> control set (1..3) -> EDID
    std::map<Text, std::map<int, Bytes>, NoCaseLess> edids_;
};

// One "Name = type value" line (with its line end) that load reads back as `value`.
std::string machine_file_line(const Text& name, const PropertyValue& value);
// A machine file of the classes' instances as `source` gives them, with
// each monitor's EDID in the control sets `edid` finds it in.
std::string machine_file_text(InstanceSource& source, const std::vector<Text>& classes,
                              const std::function<std::optional<Bytes>(const Text& device_id, int control_set)>& edid);
