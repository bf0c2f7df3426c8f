#include "automation/host/script_host.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <stdexcept>

#include "automation/host/script_locale.h"

namespace {

constexpr std::size_t kMaxText = 64u << 20;  // VBScript runs out of memory long before
constexpr int kMaxDepth = 64;
// Deeper expressions or blocks than this are refused as they are read, so
// that neither reading nor running them can exhaust the stack.
constexpr int kMaxNesting = 200;
constexpr int kMaxEvalDepth = 1000;
// Statements and loop turns one script may run: far beyond a query over
// tens of thousands of instances, and a bound for loops nested over them.
constexpr std::uint64_t kMaxSteps = 5'000'000;

struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct CompileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

unsigned char lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

Text lowered(const Text& t) {
    Text out = t;
    for (auto& c : out) c = static_cast<char>(lower(static_cast<unsigned char>(c)));
    return out;
}

// ---------------------------------------------------------------- tokens

struct Token {
    enum class Kind { Name, String, Integer, Double, Op, Newline, End } kind = Kind::End;
    Text text;  // name (as written), string contents, operator
    std::int64_t integer = 0;
    double number = 0;
    int line = 0;
    Text lower;  // a name in lower case, made once
};

bool is_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::vector<Token> tokenize(const Text& s) {
    std::vector<Token> out;
    out.reserve(s.size() / 4 + 4);  // query scripts hold a token for every few bytes
    int line = 1;
    std::size_t i = 0;
    auto push = [&](Token t) {
        t.line = line;
        out.push_back(std::move(t));
    };
    while (i < s.size()) {
        const char c = s[i];
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == '\r' || c == '\n' || c == ':') {
            if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
            if (c != ':') ++line;
            ++i;
            if (out.empty() || out.back().kind != Token::Kind::Newline)
                push({Token::Kind::Newline, "", 0, 0, 0, Text()});
        } else if (c == '\'') {
            while (i < s.size() && s[i] != '\r' && s[i] != '\n') ++i;
        } else if (c == '_' && (i + 1 >= s.size() || s[i + 1] == '\r' || s[i + 1] == '\n' ||
                                s[i + 1] == ' ')) {
            // Line continuation: the statement goes on on the next line.
            std::size_t j = i + 1;
            while (j < s.size() && s[j] == ' ') ++j;
            if (j < s.size() && s[j] == '\r') ++j;
            if (j < s.size() && s[j] == '\n') ++j;
            if (j == i + 1) throw CompileError("stray '_'");
            ++line;
            i = j;
        } else if (c == '"') {
            Text str;
            ++i;
            for (;;) {
                if (i >= s.size() || s[i] == '\r' || s[i] == '\n')
                    throw CompileError("unterminated string");
                if (s[i] == '"') {
                    if (i + 1 < s.size() && s[i + 1] == '"') {
                        str += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                str += s[i++];
            }
            push({Token::Kind::String, str, 0, 0, 0, Text()});
        } else if (is_digit(c)) {
            std::size_t j = i;
            while (j < s.size() && is_digit(s[j])) ++j;
            bool fraction = j < s.size() && s[j] == '.';
            if (fraction) {
                ++j;
                while (j < s.size() && is_digit(s[j])) ++j;
            }
            const Text digits = s.substr(i, j - i);
            Token t;
            if (fraction) {
                t.kind = Token::Kind::Double;
                t.number = to_number(digits);
            } else {
                t.kind = Token::Kind::Integer;
                t.integer = to_long_integer(digits);
                if (digits.size() > 15) {
                    t.kind = Token::Kind::Double;
                    t.number = to_number(digits);
                }
            }
            i = j;
            push(t);
        } else if (is_alpha(c)) {
            std::size_t j = i;
            while (j < s.size() && (is_alpha(s[j]) || is_digit(s[j]) || s[j] == '_')) ++j;
            Token t{Token::Kind::Name, s.substr(i, j - i), 0, 0, 0, Text()};
            t.lower = lowered(t.text);
            push(std::move(t));
            i = j;
        } else if (c == '&' || c == '+' || c == '-' || c == '(' || c == ')' || c == ',' ||
                   c == '.' || c == '=') {
            push({Token::Kind::Op, Text(1, c), 0, 0, 0, Text()});
            ++i;
        } else {
            throw CompileError("unexpected character");
        }
    }
    push({Token::Kind::Newline, "", 0, 0, 0, Text()});
    push({Token::Kind::End, "", 0, 0, 0, Text()});
    return out;
}

// ---------------------------------------------------------------- syntax tree

struct Expr {
    enum class Kind { Literal, Name, Member, Call, Concat, Add, Subtract, Negate } kind;
    ScriptValue literal;
    Text name;  // for Name and Member, lower case
    std::vector<std::unique_ptr<Expr>> args;  // Call: callee is args[0]
    int depth = 1;
};

using ExprPtr = std::unique_ptr<Expr>;

struct Stmt {
    enum class Kind { Dim, Assign, Set, ForEach, Call } kind;
    Text target;          // lower case variable name
    ExprPtr value;        // assigned value, iterated collection or the call
    std::vector<Stmt> body;
};

struct Function {
    std::vector<Text> params;
    std::vector<Stmt> body;
};

struct Program {
    std::map<Text, Function> functions;  // lower-case names
    std::vector<Stmt> top;
};

// Sets a node's depth from its children and refuses one nested too deep.
std::unique_ptr<Expr> finished(std::unique_ptr<Expr> e) {
    for (const auto& a : e->args) e->depth = std::max(e->depth, a->depth + 1);
    if (e->depth > kMaxNesting) throw CompileError("expression nested too deeply");
    return e;
}

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

    Program program() {
        Program p;
        skip_newlines();
        while (!at(Token::Kind::End)) {
            if (keyword("function")) {
                ++pos_;
                const Text name = lowered(expect_name());
                Function f;
                expect_op("(");
                if (!op(")")) {
                    for (;;) {
                        f.params.push_back(lowered(expect_name()));
                        if (!op(",")) break;
                        ++pos_;
                    }
                }
                expect_op(")");
                expect_newline();
                f.body = block({"end"});
                ++pos_;  // end
                if (!keyword("function")) throw CompileError("expected 'Function' after 'End'");
                ++pos_;
                expect_newline();
                if (p.functions.count(name)) throw CompileError("name redefined");
                p.functions[name] = std::move(f);
            } else {
                p.top.push_back(statement());
            }
            skip_newlines();
        }
        return p;
    }

private:
    std::vector<Token> t_;
    std::size_t pos_ = 0;
    int nesting_ = 0;

    const Token& cur() const { return t_[pos_]; }
    bool at(Token::Kind k) const { return cur().kind == k; }
    bool keyword(const char* k) const {
        return at(Token::Kind::Name) && cur().lower == k;
    }
    bool op(const char* o) const { return at(Token::Kind::Op) && cur().text == o; }
    void expect_op(const char* o) {
        if (!op(o)) throw CompileError(std::string("expected '") + o + "'");
        ++pos_;
    }
    Text expect_name() {
        if (!at(Token::Kind::Name)) throw CompileError("expected a name");
        return t_[pos_++].text;
    }
    void expect_newline() {
        if (!at(Token::Kind::Newline)) throw CompileError("expected the end of the statement");
        skip_newlines();
    }
    void skip_newlines() {
        while (at(Token::Kind::Newline)) ++pos_;
    }
    static bool reserved(const Text& lower_name) {
        // Sorted, for a binary search: every name of a script is looked up.
        static const char* const kReserved[] = {
            "and", "byref", "byval", "call", "case", "class", "const", "dim", "do", "each", "else",
            "elseif", "empty", "end", "eqv", "erase", "error", "execute", "executeglobal", "exit",
            "explicit", "false", "for", "function", "get", "goto", "if", "imp", "in", "is", "let",
            "loop", "me", "mod", "new", "next", "not", "nothing", "null", "on", "option", "or",
            "preserve", "private", "property", "public", "randomize", "redim", "resume", "select",
            "set", "step", "stop", "sub", "then", "to", "true", "until", "wend", "while", "with", "xor"};
        return std::binary_search(std::begin(kReserved), std::end(kReserved), lower_name.c_str(),
                                  [](const char* a, const char* b) { return std::strcmp(a, b) < 0; });
    }

    std::vector<Stmt> block(std::initializer_list<const char*> ends) {
        Nest nest(nesting_);
        std::vector<Stmt> body;
        skip_newlines();
        for (;;) {
            if (at(Token::Kind::End)) throw CompileError("missing end of block");
            for (const char* e : ends)
                if (keyword(e)) return body;
            body.push_back(statement());
            skip_newlines();
        }
    }

    Stmt statement() {
        Stmt s;
        if (keyword("dim")) {
            ++pos_;
            s.kind = Stmt::Kind::Dim;
            for (;;) {
                const Text n = lowered(expect_name());
                if (reserved(n)) throw CompileError("reserved word used as a name");
                s.body.push_back(Stmt{Stmt::Kind::Dim, n, nullptr, {}});
                if (!op(",")) break;
                ++pos_;
            }
            expect_newline();
            return s;
        }
        if (keyword("set")) {
            ++pos_;
            s.kind = Stmt::Kind::Set;
            s.target = lowered(expect_name());
            if (reserved(s.target)) throw CompileError("reserved word used as a name");
            expect_op("=");
            s.value = expression();
            expect_newline();
            return s;
        }
        if (keyword("for")) {
            ++pos_;
            if (!keyword("each")) throw CompileError("only For Each loops are read");
            ++pos_;
            s.kind = Stmt::Kind::ForEach;
            s.target = lowered(expect_name());
            if (!keyword("in")) throw CompileError("expected 'In'");
            ++pos_;
            s.value = expression();
            expect_newline();
            s.body = block({"next"});
            ++pos_;
            if (at(Token::Kind::Name)) {
                if (cur().lower != s.target) throw CompileError("Next of another loop");
                ++pos_;
            }
            expect_newline();
            return s;
        }
        if (at(Token::Kind::Name)) {
            const Text& n = cur().lower;
            if (reserved(n)) throw CompileError("statement outside what this host reads");
            if (t_[pos_ + 1].kind == Token::Kind::Op && t_[pos_ + 1].text == "=") {
                pos_ += 2;
                s.kind = Stmt::Kind::Assign;
                s.target = n;
                s.value = expression();
                expect_newline();
                return s;
            }
            s.kind = Stmt::Kind::Call;
            s.value = postfix();
            expect_newline();
            return s;
        }
        throw CompileError("expected a statement");
    }

    ExprPtr expression() {  // & binds loosest
        ExprPtr left = additive();
        while (op("&")) {
            ++pos_;
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Concat;
            e->args.push_back(std::move(left));
            e->args.push_back(additive());
            left = finished(std::move(e));
        }
        return left;
    }

    ExprPtr additive() {
        ExprPtr left = unary();
        while (op("+") || op("-")) {
            const bool plus = op("+");
            ++pos_;
            auto e = std::make_unique<Expr>();
            e->kind = plus ? Expr::Kind::Add : Expr::Kind::Subtract;
            e->args.push_back(std::move(left));
            e->args.push_back(unary());
            left = finished(std::move(e));
        }
        return left;
    }

    // Counts how deep the reading has gone, through signs and parentheses.
    struct Nest {
        explicit Nest(int& n) : n_(n) {
            if (++n_ > kMaxNesting) throw CompileError("nested too deeply");
        }
        ~Nest() { --n_; }
        int& n_;
    };

    ExprPtr unary() {
        Nest nest(nesting_);
        if (op("-")) {
            ++pos_;
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Negate;
            e->args.push_back(unary());
            return finished(std::move(e));
        }
        if (op("+")) {
            ++pos_;
            return unary();
        }
        return postfix();
    }

    std::vector<ExprPtr> call_args() {
        std::vector<ExprPtr> args;
        expect_op("(");
        if (!op(")")) {
            for (;;) {
                args.push_back(expression());
                if (!op(",")) break;
                ++pos_;
            }
        }
        expect_op(")");
        return args;
    }

    ExprPtr postfix() {
        ExprPtr e = primary();
        for (;;) {
            if (op(".")) {
                ++pos_;
                auto m = std::make_unique<Expr>();
                m->kind = Expr::Kind::Member;
                m->name = lowered(expect_name());
                m->args.push_back(std::move(e));
                e = finished(std::move(m));
            } else if (op("(") && (e->kind == Expr::Kind::Name || e->kind == Expr::Kind::Member)) {
                auto c = std::make_unique<Expr>();
                c->kind = Expr::Kind::Call;
                c->args.push_back(std::move(e));
                for (auto& a : call_args()) c->args.push_back(std::move(a));
                e = finished(std::move(c));
            } else {
                return e;
            }
        }
    }

    ExprPtr primary() {
        auto e = std::make_unique<Expr>();
        const Token& t = cur();
        switch (t.kind) {
            case Token::Kind::String:
                e->kind = Expr::Kind::Literal;
                e->literal.kind = ScriptValue::Kind::String;
                e->literal.text = t.text;
                ++pos_;
                return e;
            case Token::Kind::Integer:
                e->kind = Expr::Kind::Literal;
                e->literal.kind = ScriptValue::Kind::Integer;
                e->literal.integer = t.integer;
                ++pos_;
                return e;
            case Token::Kind::Double:
                e->kind = Expr::Kind::Literal;
                e->literal.kind = ScriptValue::Kind::Double;
                e->literal.number = t.number;
                ++pos_;
                return e;
            case Token::Kind::Name: {
                const Text& n = t.lower;
                ++pos_;
                e->kind = Expr::Kind::Literal;
                if (n == "true" || n == "false") {
                    e->literal.kind = ScriptValue::Kind::Boolean;
                    e->literal.boolean = n == "true";
                } else if (n == "null") {
                    e->literal.kind = ScriptValue::Kind::Null;
                } else if (n == "empty") {
                    e->literal.kind = ScriptValue::Kind::Empty;
                } else if (n == "vbcrlf") {
                    e->literal.kind = ScriptValue::Kind::String;
                    e->literal.text = "\r\n";
                } else if (n == "vbcr" || n == "vblf" || n == "vbtab") {
                    e->literal.kind = ScriptValue::Kind::String;
                    // One character, assigned as such (GCC 12 warns falsely on a
                    // string assigned from a chain of literals, -Wrestrict).
                    e->literal.text.assign(1, n == "vbcr" ? '\r' : n == "vblf" ? '\n' : '\t');
                } else if (reserved(n)) {
                    throw CompileError("expression outside what this host reads");
                } else {
                    e->kind = Expr::Kind::Name;
                    e->name = n;
                }
                return e;
            }
            case Token::Kind::Op:
                if (t.text == "(") {
                    ++pos_;
                    ExprPtr inner = expression();
                    expect_op(")");
                    return inner;
                }
                [[fallthrough]];
            default:
                throw CompileError("expected an expression");
        }
    }
};

// ---------------------------------------------------------------- objects

}  // namespace

struct ScriptObject {
    enum class Kind { Service, Collection, Instance } kind;
    std::optional<std::vector<Instance>> instances;
    Instance instance;
};

namespace {

ScriptValue make_text(Text t) {
    if (t.size() > kMaxText) throw ScriptError("out of memory");
    ScriptValue v;
    v.kind = ScriptValue::Kind::String;
    v.text = std::move(t);
    return v;
}

ScriptValue make_integer(std::int64_t i) {
    ScriptValue v;
    v.kind = ScriptValue::Kind::Integer;
    v.integer = i;
    return v;
}

ScriptValue make_object(std::shared_ptr<ScriptObject> o) {
    ScriptValue v;
    v.kind = ScriptValue::Kind::Object;
    v.object = std::move(o);
    return v;
}

ScriptValue from_property(const PropertyValue& p) {
    ScriptValue v;
    switch (p.kind) {
        case PropertyValue::Kind::Null: v.kind = ScriptValue::Kind::Null; break;
        case PropertyValue::Kind::String: v = make_text(p.text); break;
        case PropertyValue::Kind::Integer: v = make_integer(p.integer); break;
        case PropertyValue::Kind::Double:
            v.kind = ScriptValue::Kind::Double;
            v.number = p.number;
            break;
        case PropertyValue::Kind::Single:
            v.kind = ScriptValue::Kind::Single;
            v.number = static_cast<float>(p.number);
            break;
        case PropertyValue::Kind::Boolean:
            v.kind = ScriptValue::Kind::Boolean;
            v.boolean = p.boolean;
            break;
        case PropertyValue::Kind::IntegerArray:
            v.kind = ScriptValue::Kind::Array;
            for (auto i : p.integers) v.items.push_back(make_integer(i));
            break;
        case PropertyValue::Kind::Array:
            v.kind = ScriptValue::Kind::Array;
            for (const auto& item : p.items)
                if (item.kind != PropertyValue::Kind::Array && item.kind != PropertyValue::Kind::IntegerArray)
                    v.items.push_back(from_property(item));
            break;
    }
    return v;
}

// The string VBScript makes of a value for "&" and Cstr; Null gives nothing.
Text string_of(const ScriptValue& v) {
    switch (v.kind) {
        case ScriptValue::Kind::Empty:
        case ScriptValue::Kind::Null: return Text();
        case ScriptValue::Kind::String: return v.text;
        case ScriptValue::Kind::Integer: return to_text(v.integer);
        case ScriptValue::Kind::Double: return script_double_text(v.number);
        case ScriptValue::Kind::Single: return script_single_text(static_cast<float>(v.number));
        case ScriptValue::Kind::Boolean: return script_boolean_text(v.boolean);
        case ScriptValue::Kind::Array: throw ScriptError("type mismatch");
        case ScriptValue::Kind::Object: throw ScriptError("object doesn't support this property or method");
    }
    return Text();
}

bool numeric(const ScriptValue& v, double& out, bool& integral, std::int64_t& iout) {
    switch (v.kind) {
        case ScriptValue::Kind::Empty: out = 0, iout = 0, integral = true; return true;
        case ScriptValue::Kind::Integer: out = static_cast<double>(v.integer), iout = v.integer, integral = true; return true;
        case ScriptValue::Kind::Double:
        case ScriptValue::Kind::Single: out = v.number, integral = false; return true;
        case ScriptValue::Kind::Boolean: out = v.boolean ? -1 : 0, iout = v.boolean ? -1 : 0, integral = true; return true;
        case ScriptValue::Kind::String: {
            // A numeric string takes part as its number, as VBScript coerces.
            const Text t = v.text;
            std::size_t a = t.find_first_not_of(' '), b = t.find_last_not_of(' ');
            if (a == Text::npos) return false;
            const Text core = t.substr(a, b - a + 1);
            std::size_t i = (core[0] == '-' || core[0] == '+') ? 1 : 0;
            bool digits = false, dot = false;
            for (; i < core.size(); ++i) {
                if (is_digit(core[i])) digits = true;
                else if (core[i] == '.' && !dot) dot = true;
                else return false;
            }
            if (!digits) return false;
            out = to_number(core);
            integral = !dot;
            iout = to_long_integer(core);
            return true;
        }
        default: return false;
    }
}

class Interpreter {
public:
    Interpreter(const Program& p, InstanceSource& src) : program_(p), source_(src) {}

    ScriptValue call_function(const Text& name, std::vector<ScriptValue> args) {
        auto it = program_.functions.find(name);
        if (it == program_.functions.end()) throw ScriptError("type mismatch: '" + name + "'");
        const Function& f = it->second;
        if (args.size() != f.params.size()) throw ScriptError("wrong number of arguments");
        if (depth_ >= kMaxDepth) throw ScriptError("out of stack space");
        ++depth_;
        Frame frame;
        frame.function = name;
        for (std::size_t i = 0; i < args.size(); ++i) frame.vars[f.params[i]] = std::move(args[i]);
        frames_.push_back(std::move(frame));
        run(f.body);
        ScriptValue result = std::move(frames_.back().result);
        frames_.pop_back();
        --depth_;
        return result;
    }

    void run_top() {
        frames_.push_back(Frame{});
        run(program_.top);
    }

private:
    struct Frame {
        Text function;  // empty at top level
        std::map<Text, ScriptValue> vars;
        ScriptValue result;
    };

    const Program& program_;
    InstanceSource& source_;
    std::vector<Frame> frames_;
    std::map<Text, ScriptValue> globals_;
    int depth_ = 0;
    int eval_depth_ = 0;
    std::uint64_t steps_ = 0;

    ScriptValue* variable(const Text& name, bool create) {
        Frame& f = frames_.back();
        if (auto it = f.vars.find(name); it != f.vars.end()) return &it->second;
        if (auto it = globals_.find(name); it != globals_.end()) return &it->second;
        if (!create) return nullptr;
        // No Option Explicit: a new name is a new variable of the scope.
        return f.function.empty() ? &globals_[name] : &f.vars[name];
    }

    void assign(const Text& target, ScriptValue v, bool is_set) {
        if (is_set != (v.kind == ScriptValue::Kind::Object)) {
            throw ScriptError(is_set ? "object required" : "object doesn't support this property or method");
        }
        Frame& f = frames_.back();
        if (!f.function.empty() && target == f.function) {
            f.result = std::move(v);
            return;
        }
        if (program_.functions.count(target) && !variable(target, false))
            throw ScriptError("illegal assignment");
        *variable(target, true) = std::move(v);
    }

    void step() {
        if (++steps_ > kMaxSteps) throw ScriptError("the script runs too long");
    }

    // The leaves of a chain a & b & c, left to right.
    static void concat_leaves(const Expr& e, std::vector<const Expr*>& out) {
        if (e.kind == Expr::Kind::Concat) {
            concat_leaves(*e.args[0], out);
            concat_leaves(*e.args[1], out);
        } else {
            out.push_back(&e);
        }
    }

    // Whether evaluating `e` may call one of the script's own functions,
    // which could assign to any variable.
    bool calls_script_function(const Expr& e) const {
        if ((e.kind == Expr::Kind::Name && program_.functions.count(e.name)) ||
            (e.kind == Expr::Kind::Call && e.args[0]->kind == Expr::Kind::Name &&
             program_.functions.count(e.args[0]->name)))
            return true;
        for (const auto& a : e.args)
            if (calls_script_function(*a)) return true;
        return false;
    }

    // "R = R & a & b", the way every listing script builds its reply: the
    // pieces are appended to R where it stands instead of copying all of R
    // for each "&", which made long replies quadratic. The result is the
    // one the plain evaluation gives.
    bool append_in_place(const Stmt& s) {
        const Expr& e = *s.value;
        if (e.kind != Expr::Kind::Concat) return false;
        std::vector<const Expr*> leaves;
        concat_leaves(e, leaves);
        if (leaves[0]->kind != Expr::Kind::Name || leaves[0]->name != s.target) return false;
        const Frame& f = frames_.back();
        if (!f.function.empty() && s.target == f.function) return false;
        ScriptValue* target = variable(s.target, false);
        if (!target || target->kind == ScriptValue::Kind::Object) return false;
        for (std::size_t i = 1; i < leaves.size(); ++i)
            if (calls_script_function(*leaves[i])) return false;
        std::vector<ScriptValue> pieces;
        pieces.reserve(leaves.size() - 1);
        for (std::size_t i = 1; i < leaves.size(); ++i) pieces.push_back(eval(*leaves[i]));
        // A failure below ends the whole script, so `target` need not be kept.
        ScriptValue acc = std::move(*target);
        for (const ScriptValue& b : pieces) {
            // Null & Null stays Null; otherwise both sides are texts.
            if (acc.kind == ScriptValue::Kind::Null && b.kind == ScriptValue::Kind::Null) continue;
            if (acc.kind != ScriptValue::Kind::String) acc = make_text(string_of(acc));
            const Text t = string_of(b);
            if (acc.text.size() + t.size() > kMaxText) throw ScriptError("out of memory");
            acc.text += t;
        }
        *target = std::move(acc);
        return true;
    }

    void run(const std::vector<Stmt>& body) {
        for (const Stmt& s : body) {
            step();
            switch (s.kind) {
                case Stmt::Kind::Dim: {
                    Frame& f = frames_.back();
                    for (const Stmt& d : s.body) {
                        auto& scope = f.function.empty() ? globals_ : f.vars;
                        if (!scope.count(d.target)) scope[d.target] = ScriptValue();
                    }
                    break;
                }
                case Stmt::Kind::Assign:
                    if (!append_in_place(s)) assign(s.target, eval(*s.value), false);
                    break;
                case Stmt::Kind::Set: assign(s.target, eval(*s.value), true); break;
                case Stmt::Kind::Call: eval(*s.value); break;
                case Stmt::Kind::ForEach: {
                    const ScriptValue over = eval(*s.value);
                    std::vector<ScriptValue> items;
                    if (over.kind == ScriptValue::Kind::Array) {
                        items = over.items;
                    } else if (over.kind == ScriptValue::Kind::Object &&
                               over.object->kind == ScriptObject::Kind::Collection) {
                        if (!over.object->instances) throw ScriptError("invalid class");
                        for (const Instance& in : *over.object->instances) {
                            auto o = std::make_shared<ScriptObject>();
                            o->kind = ScriptObject::Kind::Instance;
                            o->instance = in;
                            items.push_back(make_object(std::move(o)));
                        }
                    } else {
                        throw ScriptError("object not a collection");
                    }
                    for (ScriptValue& item : items) {
                        step();
                        *variable(s.target, true) = std::move(item);
                        run(s.body);
                    }
                    break;
                }
            }
        }
    }

    ScriptValue member(const ScriptValue& base, const Text& name, std::vector<ScriptValue> args,
                       bool called) {
        if (base.kind != ScriptValue::Kind::Object) throw ScriptError("object required");
        const ScriptObject& o = *base.object;
        if (o.kind == ScriptObject::Kind::Service && name == "execquery") {
            if (args.size() != 1) throw ScriptError("wrong number of arguments");
            return exec_query(string_of(args[0]));
        }
        if (o.kind == ScriptObject::Kind::Collection && name == "count" && args.empty()) {
            if (!o.instances) throw ScriptError("invalid class");
            return make_integer(static_cast<std::int64_t>(o.instances->size()));
        }
        if (o.kind == ScriptObject::Kind::Instance && !called) {
            auto it = o.instance.properties.find(name);
            if (it != o.instance.properties.end()) return from_property(it->second);
        }
        throw ScriptError("object doesn't support this property or method: '" + name + "'");
    }

    ScriptValue exec_query(const Text& query) {
        // "Select * from CLASS", the one form the query scripts use.
        const TextArray words = split_text(replace_subtext(query, "\t", " "), " ");
        TextArray w;
        for (const Text& x : words)
            if (!x.empty()) w.push_back(x);
        if (w.size() != 4 || lowered(w[0]) != "select" || w[1] != "*" || lowered(w[2]) != "from")
            throw ScriptError("invalid query");
        auto o = std::make_shared<ScriptObject>();
        o->kind = ScriptObject::Kind::Collection;
        o->instances = source_.instances(w[3]);
        return make_object(std::move(o));
    }

    ScriptValue builtin_or_function(const Text& name, std::vector<ScriptValue> args, bool& found) {
        found = true;
        if (name == "cstr") {
            if (args.size() != 1) throw ScriptError("wrong number of arguments");
            if (args[0].kind == ScriptValue::Kind::Null) throw ScriptError("invalid use of Null");
            return make_text(string_of(args[0]));
        }
        if (name == "getobject") {
            if (args.empty() || args.size() > 2) throw ScriptError("wrong number of arguments");
            const Text moniker = lowered(string_of(args[0]));
            if (!text_starts_with(moniker, "winmgmts:")) throw ScriptError("cannot create object");
            auto o = std::make_shared<ScriptObject>();
            o->kind = ScriptObject::Kind::Service;
            return make_object(std::move(o));
        }
        if (program_.functions.count(name)) return call_function(name, std::move(args));
        found = false;
        return ScriptValue();
    }

    // Every evaluation counts, across calls too: functions calling
    // functions, each with deep expressions, must not run the stack out.
    struct EvalDepth {
        explicit EvalDepth(int& n) : n_(n) {
            if (++n_ > kMaxEvalDepth) throw ScriptError("out of stack space");
        }
        ~EvalDepth() { --n_; }
        int& n_;
    };

    ScriptValue eval(const Expr& e) {
        EvalDepth guard(eval_depth_);
        switch (e.kind) {
            case Expr::Kind::Literal: return e.literal;
            case Expr::Kind::Name: {
                if (ScriptValue* v = variable(e.name, false)) return *v;
                const Frame& f = frames_.back();
                if (e.name == f.function) return f.result;  // the return value so far
                bool found = false;
                ScriptValue r = builtin_or_function(e.name, {}, found);
                if (found) return r;
                return ScriptValue();  // an undeclared variable is Empty
            }
            case Expr::Kind::Member:
                return member(eval(*e.args[0]), e.name, {}, false);
            case Expr::Kind::Call: {
                std::vector<ScriptValue> args;
                for (std::size_t i = 1; i < e.args.size(); ++i) args.push_back(eval(*e.args[i]));
                const Expr& callee = *e.args[0];
                if (callee.kind == Expr::Kind::Member)
                    return member(eval(*callee.args[0]), callee.name, std::move(args), true);
                if (ScriptValue* v = variable(callee.name, false)) {
                    // Indexing an array variable: a(0).
                    if (v->kind == ScriptValue::Kind::Array && args.size() == 1) {
                        double d = 0;
                        bool integral = false;
                        std::int64_t k = 0;
                        if (!numeric(args[0], d, integral, k)) throw ScriptError("type mismatch");
                        // Range-checked as a double first: a huge or NaN
                        // index has no integer to truncate to.
                        if (!(d > -1.0 && d < static_cast<double>(v->items.size())))
                            throw ScriptError("subscript out of range");
                        k = static_cast<std::int64_t>(d);
                        return v->items[static_cast<std::size_t>(k)];
                    }
                    throw ScriptError("type mismatch");
                }
                bool found = false;
                ScriptValue r = builtin_or_function(callee.name, std::move(args), found);
                if (!found) throw ScriptError("type mismatch: '" + callee.name + "'");
                return r;
            }
            case Expr::Kind::Concat: {
                const ScriptValue a = eval(*e.args[0]);
                const ScriptValue b = eval(*e.args[1]);
                if (a.kind == ScriptValue::Kind::Null && b.kind == ScriptValue::Kind::Null) return a;
                Text s = string_of(a);
                const Text t = string_of(b);
                if (s.size() + t.size() > kMaxText) throw ScriptError("out of memory");
                return make_text(s + t);
            }
            case Expr::Kind::Add:
            case Expr::Kind::Subtract:
            case Expr::Kind::Negate: {
                const bool neg = e.kind == Expr::Kind::Negate;
                const ScriptValue a = neg ? make_integer(0) : eval(*e.args[0]);
                const ScriptValue b = eval(*e.args[neg ? 0 : 1]);
                if (a.kind == ScriptValue::Kind::Null || b.kind == ScriptValue::Kind::Null) {
                    ScriptValue n;
                    n.kind = ScriptValue::Kind::Null;
                    return n;
                }
                if (e.kind == Expr::Kind::Add && a.kind == ScriptValue::Kind::String &&
                    b.kind == ScriptValue::Kind::String)
                    return make_text(a.text + b.text);
                double x = 0, y = 0;
                bool ix = false, iy = false;
                std::int64_t jx = 0, jy = 0;
                if (!numeric(a, x, ix, jx) || !numeric(b, y, iy, jy)) throw ScriptError("type mismatch");
                const bool sub = e.kind != Expr::Kind::Add;
                if (ix && iy) {
                    std::int64_t r = 0;
                    bool overflow = sub ? __builtin_sub_overflow(jx, jy, &r)
                                        : __builtin_add_overflow(jx, jy, &r);
                    if (!overflow) return make_integer(r);
                }
                ScriptValue d;
                // Single with Single stays Single, as VBScript adds them.
                const bool single = a.kind == ScriptValue::Kind::Single && b.kind == ScriptValue::Kind::Single;
                d.kind = single ? ScriptValue::Kind::Single : ScriptValue::Kind::Double;
                d.number = single ? static_cast<float>(sub ? x - y : x + y) : sub ? x - y : x + y;
                return d;
            }
        }
        return ScriptValue();
    }
};

}  // namespace

ScriptOutcome run_get_a(const Text& script, InstanceSource& source) {
    ScriptOutcome out;
    try {
        Program program = Parser(tokenize(script)).program();
        Interpreter in(program, source);
        in.run_top();
        out.value = in.call_function("geta", {});
        out.ok = true;
    } catch (const CompileError& e) {
        out.error = std::string("compile error: ") + e.what();
    } catch (const ScriptError& e) {
        out.error = std::string("run-time error: ") + e.what();
    }
    // Running out of memory is not a script's failure (the readers behind
    // the source run inside it): it ends the report as an error.
    return out;
}

Text script_value_text(const ScriptValue& v) {
    switch (v.kind) {
        case ScriptValue::Kind::String: return v.text;
        case ScriptValue::Kind::Integer: return to_text(v.integer);
        case ScriptValue::Kind::Double: return to_text(v.number);
        case ScriptValue::Kind::Single: return to_text(static_cast<float>(v.number));
        case ScriptValue::Kind::Boolean: return v.boolean ? "True" : "False";
        default: return Text();  // Empty, Null, arrays and objects give nothing
    }
}

double script_value_number(const ScriptValue& v) {
    const ScriptValue& x = (v.kind == ScriptValue::Kind::Array)
                               ? (v.items.empty() ? ScriptValue() : v.items.front())
                               : v;
    double d = 0;
    bool integral = false;
    std::int64_t i = 0;
    if (x.kind == ScriptValue::Kind::Array || x.kind == ScriptValue::Kind::Object) return 0;
    return numeric(x, d, integral, i) ? d : 0;
}
