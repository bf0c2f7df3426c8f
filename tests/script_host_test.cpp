// GCC 12 warns falsely about std::string concatenation here (its bug 105329).
#pragma GCC diagnostic ignored "-Wrestrict"

#include <gtest/gtest.h>

#include "automation/host/script_host.h"
#include "automation/script_query.h"
#include "sections/query_scripts.h"
#include "test_support.h"

namespace {

class OneClass : public InstanceSource {
public:
    std::vector<Instance> items;
    std::optional<std::vector<Instance>> instances(const Text& c) override {
        if (c == "Win32_Thing") return items;
        if (is_standard_class(c)) return std::vector<Instance>();
        return std::nullopt;
    }
    std::optional<Bytes> edid(const Text&, int) override { return std::nullopt; }
};

Text listing(const Text& value_lines, const Text& cls = "Win32_Thing") {
    return "Function GetA()\r\nDim R, wmi, obj, i\r\n"
           "    Set wmi = GetObject(\"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\cimv2\")\r\n"
           "    Set A = wmi.ExecQuery(\"Select * from " + cls + "\")\r\n"
           "    For Each obj In A\r\n        i=i+1\r\n" + value_lines +
           "    Next\r\n        R = R & \"数量=\" & Cstr(i) & vbCrLf\r\nGetA = R\r\nEnd Function";
}

ScriptOutcome run(OneClass& src, const Text& script) { return run_get_a(script, src); }

}  // namespace

TEST(ScriptHost, ListingRepliesAndVbScriptValueRules) {
    OneClass src;
    src.items.push_back(Instance()
                            .set("Name", PropertyValue::of_text("甲=1"))
                            .set("Size", PropertyValue::of_text("1000202273280"))
                            .set("Gone", PropertyValue::null())
                            .set("Flag", PropertyValue::of_boolean(true))
                            .set("Count", PropertyValue::of_integer(-7)));
    src.items.push_back(Instance()
                            .set("name", PropertyValue::of_text("乙"))
                            .set("Size", PropertyValue::of_text(""))
                            .set("Gone", PropertyValue::null())
                            .set("Flag", PropertyValue::of_boolean(false))
                            .set("Count", PropertyValue::of_integer(0)));
    const Text script = listing(
        "        R = R & \"键\" & Cstr(i) & \"=\" & obj.Name & \"|\" & obj.Size & \"|\" & obj.Gone"
        " & \"|\" & obj.Flag & \"|\" & obj.COUNT & vbCrLf\r\n");
    ScriptOutcome r = run(src, script);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(script_value_text(r.value),
              "键1=甲=1|1000202273280||True|-7\r\n键2=乙|||False|0\r\n数量=2\r\n");

    src.items.clear();
    r = run(src, script);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(script_value_text(r.value), "数量=\r\n");  // Cstr of a never-assigned i
}

TEST(ScriptHost, ArraysGoToTheNumberOnly) {
    OneClass src;
    src.items.push_back(Instance().set("Types", PropertyValue::of_integers({23, 1})));
    const Text script =
        "Function GetA()\r\nDim R, wmi, obj\r\nSet wmi = GetObject(\"winmgmts:\")\r\n"
        "Set A = wmi.ExecQuery(\"select * FROM Win32_Thing\")\r\nFor Each obj In A\r\n"
        "R = obj.Types\r\nNext\r\nGetA = R\r\nEnd Function";
    ScriptOutcome r = run(src, script);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(script_value_text(r.value), "");
    EXPECT_EQ(script_value_number(r.value), 23.0);
    src.items.clear();
    r = run(src, script);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(script_value_text(r.value), "");  // R stays Empty
    EXPECT_EQ(script_value_number(r.value), 0.0);
}

TEST(ScriptHost, EveryFailureEmptiesTheWholeReply) {
    OneClass src;
    src.items.push_back(Instance().set("Name", PropertyValue::of_text("x")));
    struct Case {
        const char* why;
        Text script;
    } cases[] = {
        {"property the instance lacks", listing("        R = R & obj.Name & obj.Missing & vbCrLf\r\n")},
        {"unknown class", listing("        R = R & obj.Name & vbCrLf\r\n", "Win32_NoSuchClass")},
        {"not a query we read", listing("        R = R & obj.Name\r\n", "Win32_Thing where x")},
        {"does not parse", "Function GetA()\r\nGetA = \"x\r\nEnd Function"},
        {"no End Function", "Function GetA()\r\nGetA = 1\r\n"},
        {"outside the subset", "Function GetA()\r\nIf 1 Then GetA = 1\r\nEnd Function"},
        {"no GetA at all", "Function GetB()\r\nGetB = 1\r\nEnd Function"},
        {"other moniker", "Function GetA()\r\nSet w = GetObject(\"excel:\")\r\nEnd Function"},
        {"Set of a text", "Function GetA()\r\nSet w = \"x\"\r\nEnd Function"},
        {"object as a value", "Function GetA()\r\nGetA = GetObject(\"winmgmts:\")\r\nEnd Function"},
        {"Cstr of Null", "Function GetA()\r\nGetA = Cstr(Null)\r\nEnd Function"},
        {"endless recursion", "Function GetA()\r\nGetA = F()\r\nEnd Function\r\nFunction F()\r\nF = F()\r\nEnd Function"},
        {"Null & Null is Null, Cstr refuses it", "Function GetA()\r\nGetA = Cstr(Null & Null)\r\nEnd Function"},
        {"a stray character", "Function GetA()\r\nGetA = 1 * 2\r\nEnd Function"},
    };
    for (const auto& c : cases) {
        ScriptOutcome r = run(src, c.script);
        EXPECT_FALSE(r.ok) << c.why;
        EXPECT_FALSE(r.error.empty()) << c.why;
    }
}

TEST(ScriptHost, SubsetDetails) {
    OneClass src;
    auto value = [&](const Text& body) {
        ScriptOutcome r = run(src, "Function GetA()\r\n" + body + "\r\nEnd Function");
        EXPECT_TRUE(r.ok) << r.error << " in " << body;
        return script_value_text(r.value);
    };
    EXPECT_EQ(value("GetA = \"a\"\"b\""), "a\"b");
    EXPECT_EQ(value("i = i + 1 : i = i + 1\r\nGetA = Cstr(i)"), "2");
    EXPECT_EQ(value("GetA = 10 - 3 - 2"), "5");
    EXPECT_EQ(value("GetA = -4 + \"6\""), "2");
    EXPECT_EQ(value("GetA = \"a\" & 1 + 2"), "a3");  // + binds tighter than &
    EXPECT_EQ(value("' a comment\r\nGetA = \"x\" & _\r\n  \"y\""), "xy");
    EXPECT_EQ(value("GetA = \"x\"\r\nGetA = GetA & \"y\""), "xy");
    EXPECT_EQ(value("GetA = Null & \"z\""), "z");
    EXPECT_EQ(value("GetA = Null"), "");
    EXPECT_EQ(value("GetA = True"), "True");
    EXPECT_EQ(value("GETA = vbCrLf"), "\r\n");
    EXPECT_EQ(value("Set w = GetObject(\"WinMgmts:{x}\")\r\nGetA = w.ExecQuery(\"Select * from Win32_Thing\").Count"), "0");
    // Top-level code runs before GetA, as AddCode runs it.
    ScriptOutcome r = run(src, "x = \"top\"\r\nFunction GetA()\r\nGetA = x\r\nEnd Function");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(script_value_text(r.value), "top");
}

// Found by fuzzing: a long run of signs overflowed the stack.
TEST(ScriptHost, DeepNestingIsRefusedNotFollowed) {
    OneClass src;
    auto deep = [](const Text& open, const Text& middle, const Text& close, int n) {
        Text e;
        for (int i = 0; i < n; ++i) e += open;
        e += middle;
        for (int i = 0; i < n; ++i) e += close;
        return e;
    };
    for (const Text& expr : {deep("-", "1", "", 50000), deep("(", "1", ")", 50000),
                             deep("", "1", " & 1", 50000), deep("", "x", ".y", 50000)}) {
        ScriptOutcome r = run(src, "Function GetA()\r\nGetA = " + expr + "\r\nEnd Function");
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("nested too deeply"), std::string::npos) << r.error;
    }
    // Functions calling functions, each with a deep expression.
    Text chain = "Function GetA()\r\nGetA = F1()\r\nEnd Function\r\n";
    for (int i = 1; i <= 60; ++i)
        chain += "Function F" + std::to_string(i) + "()\r\nF" + std::to_string(i) + " = " +
                 deep("-(", "F" + std::to_string(i + 1) + "()", ")", 90) + "\r\nEnd Function\r\n";
    chain += "Function F61()\r\nF61 = 1\r\nEnd Function";
    ScriptOutcome c = run(src, chain);
    EXPECT_FALSE(c.ok);
    EXPECT_NE(c.error.find("out of stack space"), std::string::npos) << c.error;
    const Text loops = deep("For Each o In A\r\n", "", "Next\r\n", 5000);
    ScriptOutcome r = run(src, "Function GetA()\r\n" + loops + "End Function");
    EXPECT_FALSE(r.ok);
    // What real scripts nest stays well inside the limit.
    r = run(src, "Function GetA()\r\nGetA = " + deep("(", "-1", ")", 50) + " & " +
                     deep("", "\"a\"", " & \"b\"", 100) + "\r\nEnd Function");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(script_value_text(r.value).substr(0, 4), "-1ab");
}

// "R = R & ..." appends where R stands; the reply must be what VBScript's
// plain left-to-right "&" makes of every kind of value.
TEST(ScriptHost, AppendingGivesWhatConcatenationGives) {
    OneClass src;
    auto value = [&](const Text& body) {
        ScriptOutcome r = run(src, "Function GetA()\r\n" + body + "\r\nGetA = R\r\nEnd Function\r\n"
                                   "Function F()\r\nR = \"changed\"\r\nF = \"f\"\r\nEnd Function");
        EXPECT_TRUE(r.ok) << r.error << " in " << body;
        return r.value;
    };
    EXPECT_EQ(script_value_text(value("R = R & \"a\" & 1 & True & Null & -2")), "a1True-2");
    EXPECT_EQ(script_value_text(value("R = 5\r\nR = R & 6")), "56");
    EXPECT_EQ(value("R = Null\r\nR = R & Null").kind, ScriptValue::Kind::Null);
    EXPECT_EQ(script_value_text(value("R = Null\r\nR = R & Null & \"x\"")), "x");
    // A function that assigns R while the line runs: R's old value counts.
    // R must be the script's own, which F can reach; a function's R is its own.
    EXPECT_EQ(script_value_text(value("R = \"old\"\r\nR = R & F()")), "oldf");
    ScriptOutcome global = run(src, "Dim R\r\nFunction GetA()\r\nR = \"old\"\r\nR = R & F()\r\nGetA = R\r\n"
                                    "End Function\r\nFunction F()\r\nR = \"changed\"\r\nF = \"f\"\r\nEnd Function");
    ASSERT_TRUE(global.ok) << global.error;
    EXPECT_EQ(script_value_text(global.value), "oldf");
    EXPECT_FALSE(run(src, "Function GetA()\r\nSet R = GetObject(\"winmgmts:\")\r\nR = R & \"x\"\r\nEnd Function").ok);
}

TEST(ScriptHost, NoScriptRunsWithoutBound) {
    OneClass src;
    src.items.push_back(Instance().set("Types", PropertyValue::of_integers({23, 1})));
    for (const char* index : {"100000000000000000000", "-100000000000000000000", "2", "-1"}) {
        ScriptOutcome r = run(src, listing(Text("        a = obj.Types\r\n        R = a(") + index + ")\r\n"));
        EXPECT_FALSE(r.ok) << index;
        EXPECT_NE(r.error.find("subscript out of range"), std::string::npos) << r.error;
    }
    ScriptOutcome r = run(src, listing("        a = obj.Types\r\n        R = R & a(1) & a(0.5)\r\n"));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(script_value_text(r.value), "123数量=1\r\n");

    // Loops nested over 200 instances would take 200^4 turns.
    src.items.assign(200, Instance().set("Name", PropertyValue::of_text("x")));
    r = run(src, "Function GetA()\r\nSet w = GetObject(\"winmgmts:\")\r\nSet A = w.ExecQuery(\"Select * from Win32_Thing\")\r\n"
                 "For Each o1 In A\r\nFor Each o2 In A\r\nFor Each o3 In A\r\nFor Each o4 In A\r\nGetA = 1\r\n"
                 "Next\r\nNext\r\nNext\r\nNext\r\nEnd Function");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("runs too long"), std::string::npos) << r.error;
}

// What WMI sends beyond the current queries: a real32 is written with a
// single's digits, an array of strings iterates as strings.
TEST(ScriptHost, SinglesAndArraysOfStrings) {
    OneClass src;
    src.items.push_back(Instance()
                            .set("Ratio", PropertyValue::of_single(0.1f))
                            .set("Names", PropertyValue::of_array({PropertyValue::of_text("a"), PropertyValue::of_text("b c")})));
    ScriptOutcome r = run(src, listing("        R = R & obj.Ratio & \"|\" & (obj.Ratio + obj.Ratio)\r\n"
                                       "        For Each n In obj.Names\r\n        R = R & \"|\" & n\r\n        Next\r\n"));
    ASSERT_TRUE(r.ok) << r.error;
    // Single + Single is a single (a double would be 0.200000002980232).
    EXPECT_EQ(script_value_text(r.value), "0.1|0.2|a|b c数量=1\r\n");
}

TEST(ScriptHost, TheScriptControlReadsEveryPropertyThroughTheCleaner) {
    // Every property of the ten query scripts, and nothing in a string literal.
    for (const auto& s : query_scripts()) {
        const Text cleaned = with_cleaned_values(s.text);
        std::size_t bare = 0, wrapped = 0;
        for (std::size_t at = 0; (at = cleaned.find("obj.", at)) != Text::npos; ++at) {
            ++bare;
            if (at >= 8 && cleaned.compare(at - 8, 8, "QvClean(") == 0) ++wrapped;
        }
        EXPECT_GT(bare, 0u) << s.name;
        EXPECT_EQ(wrapped, bare) << s.name << ": " << cleaned;
        EXPECT_EQ(replace_subtext(replace_subtext(cleaned, "QvClean(", "", 1, -1, true), ")", "", 1, -1, true),
                  replace_subtext(Text(s.text), ")", "", 1, -1, true))
            << s.name;
    }
    EXPECT_EQ(with_cleaned_values("R = \"obj.Caption\" & myobj.Name & obj.Size\r\n"),
              "R = \"obj.Caption\" & myobj.Name & QvClean(obj.Size)\r\n");
}
