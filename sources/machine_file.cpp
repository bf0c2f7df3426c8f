#include "sources/machine_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
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

// A regular file of at most `cap` bytes; a device, a FIFO or anything
// larger is refused before it is read.
std::string read_capped(const std::string& path, std::size_t cap, const char* what) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) throw std::runtime_error(path + ": cannot open");
    if (!std::filesystem::is_regular_file(status)) throw std::runtime_error(path + ": not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot open");
    std::string out(cap + 1, '\0');
    in.read(out.data(), static_cast<std::streamsize>(out.size()));
    if (in.bad()) throw std::runtime_error(path + ": cannot read");
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got > cap)
        throw std::runtime_error(path + ": larger than " + std::to_string(cap >> 10) + " KiB, too large for " + what);
    out.resize(got);
    return out;
}

Bytes read_bytes(const std::string& path) {
    const std::string s = read_capped(path, MachineFile::kMaxEdid, "an EDID");
    return Bytes(s.begin(), s.end());
}

Bytes parse_hex(const std::string& s) {
    Bytes out;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        throw std::invalid_argument("hex");
    };
    int high = -1;
    for (char c : s) {
        if (c == ' ') continue;
        const int d = digit(c);
        if (high < 0) {
            high = d;
        } else {
            out.push_back(static_cast<std::uint8_t>(high << 4 | d));
            high = -1;
        }
    }
    if (high >= 0) throw std::invalid_argument("odd number of hex digits");
    return out;
}

}  // namespace

MachineFile MachineFile::load(const std::string& path) {
    return parse(read_capped(path, kMaxFile, "a machine file"), std::filesystem::path(path).parent_path().string(),
                 path);
}

MachineFile MachineFile::parse(const std::string& content, const std::string& base_dir, const std::string& path) {
    if (content.size() > kMaxFile) throw std::runtime_error(path + ": larger than 4096 KiB, too large for a machine file");
    if (content.find('\0') != std::string::npos) throw std::runtime_error(path + ": binary data, not a machine file");
    if (!is_utf8(content)) throw std::runtime_error(path + ": not UTF-8, not a machine file");
    std::istringstream in(content);
    const std::filesystem::path dir(base_dir);
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
                if (name.size() == 8 && name[4] == '@' && name[5] == '0' && name[6] == '0' && name[7] >= '1' &&
                    name[7] <= '3')
                    set = name[7] - '0';
                else if (name != "EDID")
                    fail("EDID, EDID@001, EDID@002 or EDID@003 expected");
                Bytes b = type == "file" ? read_bytes((dir / value).string())
                          : type == "hex" ? parse_hex(value)
                                          : (fail("EDID takes file or hex"), Bytes());
                if (b.size() > kMaxEdid) fail("an EDID is at most 32 KiB");
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
            } else if (type == "double") {
                v = PropertyValue::of_double(std::stod(value));
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
            fail(type == "hex" ? "bad hex digits" : "bad number");
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

namespace {

std::string escaped(const Text& gbk) {
    const std::string s = gbk_to_utf8(gbk);
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\') out += "\\\\";
        else if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == ' ') out += "\\s";  // a space stays where it is, and apart from the next item
        else out += c;
    }
    return out;
}

std::string value_line(const PropertyValue& v) {
    using K = PropertyValue::Kind;
    char buf[64];
    switch (v.kind) {
        case K::Null: return "null";
        // Appended, not "a" + b: GCC 12 warns falsely on that form (-Wrestrict).
        case K::String: return std::string("text ").append(escaped(v.text));
        case K::Integer: return std::string("int ").append(std::to_string(v.integer));
        case K::Double: std::snprintf(buf, sizeof buf, "double %.17g", v.number); return buf;
        case K::Single: std::snprintf(buf, sizeof buf, "single %.9g", v.number); return buf;
        case K::Boolean: return v.boolean ? "bool true" : "bool false";
        case K::IntegerArray: {
            std::string out = "ints";
            for (auto i : v.integers) out.append(" ").append(std::to_string(i));
            return out;
        }
        case K::Array: {
            std::string out = "texts";
            for (const auto& item : v.items) out.append(" ").append(escaped(item.kind == K::String ? item.text : Text()));
            return out;
        }
    }
    return "null";
}

std::string hex_of(const Bytes& b) {
    static const char* const kDigits = "0123456789abcdef";
    std::string out;
    for (auto c : b) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

}  // namespace

std::string machine_file_line(const Text& name, const PropertyValue& value) {
    std::string out = name;
    return out.append(" = ").append(value_line(value)).append("\n");
}

std::string machine_file_text(InstanceSource& source, const std::vector<Text>& classes,
                              const std::function<std::optional<Bytes>(const Text&, int)>& edid) {
    std::string out;
    for (const Text& c : classes) {
        const auto list = source.instances(c);
        if (!list) continue;
        if (list->empty()) out += "class " + std::string(c) + "\n";
        for (const Instance& i : *list) {
            out += "\n[" + std::string(c) + "]\n";
            for (const auto& [name, value] : i.properties) {
                // A name is a word; anything else could not be read back.
                if (name.empty() || name.find_first_of(" =[]#\r\n") != Text::npos || name.rfind("EDID", 0) == 0) continue;
                out += machine_file_line(name, value);
            }
            const auto id = i.properties.find("PNPDeviceID");
            if (id == i.properties.end() || id->second.kind != PropertyValue::Kind::String || !edid) continue;
            for (int set = 1; set <= 3; ++set)
                if (const auto b = edid(id->second.text, set); b && !b->empty() && b->size() <= MachineFile::kMaxEdid)
                    out += "EDID@00" + std::to_string(set) + " = hex " + hex_of(*b) + "\n";
        }
    }
    return out;
}
