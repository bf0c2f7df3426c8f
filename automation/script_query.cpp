#include "automation/script_query.h"

namespace {
InstanceSource* g_source = nullptr;
}  // namespace

InstanceSource& instance_source() { return g_source ? *g_source : machine_instance_source(); }

bool reading_own_machine() { return g_source == nullptr; }

void set_instance_source(InstanceSource* source) { g_source = source; }

// A string's C0 controls and DEL become SUB (26), as our own host's
// sources write them; any other value (a number, Null, an array) passes as
// it is. Replace and Chr are what every VBScript engine has (Wine's lacks
// AscW and ChrW); the C1 controls and the Unicode line separators have no
// GBK form, so the reply's way into GBK turns them into "?" anyway.
const char* const kScriptCleaner =
    "Function QvClean(v)\r\n"
    "Dim s, i\r\n"
    "    If VarType(v) <> 8 Then\r\n"
    "        QvClean = v\r\n"
    "        Exit Function\r\n"
    "    End If\r\n"
    "    s = v\r\n"
    "    For i = 0 To 31\r\n"
    "        s = Replace(s, Chr(i), Chr(26))\r\n"
    "    Next\r\n"
    "    QvClean = Replace(s, Chr(127), Chr(26))\r\n"
    "End Function\r\n";

namespace {

bool identifier_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

Text with_cleaned_values(const Text& script) {
    Text out;
    out.reserve(script.size() + 64);
    bool in_string = false;
    for (std::size_t i = 0; i < script.size();) {
        const char c = script[i];
        // A double-byte character's trail byte is no quote or letter.
        if (static_cast<unsigned char>(c) >= 0x81 && i + 1 < script.size()) {
            out.append(script, i, 2);
            i += 2;
            continue;
        }
        if (c == '"') in_string = !in_string;
        const bool at_obj = !in_string && script.compare(i, 4, "obj.") == 0 && (i == 0 || !identifier_char(script[i - 1]));
        if (!at_obj) {
            out += c;
            ++i;
            continue;
        }
        std::size_t end = i + 4;
        while (end < script.size() && identifier_char(script[end])) ++end;
        out += "QvClean(" + script.substr(i, end - i) + ")";
        i = end;
    }
    return out;
}
