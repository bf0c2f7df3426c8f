#include "sources/machine_file.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "values/encoding.h"

namespace {


std::string unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            out += s[i];
            continue;
        }
        switch (s[++i]) {
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 's': out += ' '; break;
            case '\\': out += '\\'; break;
            default: out += '\\', out += s[i]; break;
        }
    }
    return out;
}

Bytes read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes parse_hex(const std::string& s) {
    Bytes out;
    std::string digits;
    for (char c : s)
        if (c != ' ') digits += c;
    if (digits.size() % 2) throw std::runtime_error("odd number of hex digits");
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return out;
}

}  // namespace

MachineFile MachineFile::load(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error(path + ": cannot open");
    const auto dir = std::filesystem::path(path).parent_path();
    MachineFile m;
    Text current_class;
    Instance* current = nullptr;
    std::string raw;
    int line_no = 0;
    auto fail = [&](const std::string& why) {
        throw std::runtime_error(path + ":" + std::to_string(line_no) + ": " + why);
    };
    while (std::getline(in, raw)) {
        ++line_no;
        const std::string line = trim_blanks(raw);
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']') fail("expected [ClassName]");
            current_class = line.substr(1, line.size() - 2);
            auto& list = m.classes_[current_class];
            list.emplace_back();
            current = &list.back();
            continue;
        }
        if (line.rfind("class ", 0) == 0) {
            m.classes_[trim_blanks(line.substr(6))];
            current = nullptr;
            continue;
        }
        const auto eq = raw.find(" = ");
        if (eq == std::string::npos || !current) fail("expected 'Name = type value' inside a [Class]");
        const std::string name = trim_blanks(raw.substr(0, eq));
        std::string rest = raw.substr(eq + 3);
        if (!rest.empty() && rest.back() == '\r') rest.pop_back();
        const auto sp = rest.find(' ');
        const std::string type = rest.substr(0, sp);
        const std::string value = sp == std::string::npos ? std::string() : rest.substr(sp + 1);
        try {
            if (name.rfind("EDID", 0) == 0) {
                int set = 1;  // EDID alone is the value in control set 001
                if (name.size() == 8 && name[4] == '@') set = std::stoi(name.substr(5));
                else if (name != "EDID") fail("EDID or EDID@00N expected");
                Bytes b = type == "file" ? read_bytes((dir / value).string())
                          : type == "hex" ? parse_hex(value)
                                          : (fail("EDID takes file or hex"), Bytes());
                auto it = current->properties.find("PNPDeviceID");
                if (it == current->properties.end()) fail("PNPDeviceID must come before EDID");
                m.edids_[it->second.text][set] = b;
                continue;
            }
            PropertyValue v;
            if (type == "text") {
                v = PropertyValue::of_text(utf8_to_gbk(unescape(value)));
            } else if (type == "int") {
                v = PropertyValue::of_integer(std::stoll(value));
            } else if (type == "bool") {
                v = PropertyValue::of_boolean(value == "true");
            } else if (type == "ints") {
                std::vector<std::int64_t> a;
                for (const Text& x : split_text(value, " "))
                    if (!x.empty()) a.push_back(std::stoll(x));
                v = PropertyValue::of_integers(a);
            } else if (type == "single") {
                v = PropertyValue::of_single(std::stof(value));
            } else if (type == "texts") {
                std::vector<PropertyValue> a;
                for (const Text& x : split_text(value, " "))
                    if (!x.empty()) a.push_back(PropertyValue::of_text(utf8_to_gbk(unescape(x))));
                v = PropertyValue::of_array(std::move(a));
            } else if (type == "null") {
                v = PropertyValue::null();
            } else {
                fail("unknown type '" + type + "'");
            }
            current->set(name, v);
        } catch (const std::invalid_argument&) {
            fail("bad number");
        } catch (const std::out_of_range&) {
            fail("number out of range");
        }
    }
    return m;
}

std::optional<std::vector<Instance>> MachineFile::instances(const Text& class_name) {
    auto it = classes_.find(class_name);
    if (it != classes_.end()) return it->second;
    if (is_standard_class(class_name)) return std::vector<Instance>();
    return std::nullopt;
}

std::optional<Bytes> MachineFile::edid(const Text& device_id, int control_set) {
    auto it = edids_.find(device_id);
    if (it == edids_.end()) return std::nullopt;
    auto s = it->second.find(control_set);
    if (s == it->second.end()) return std::nullopt;
    return s->second;
}
