// A line-oriented assembler: each line is cleaned of comments, has its #defines substituted,
// and is then read as one instruction. Errors are collected per line so that an author sees
// every mistake at once; nothing is emitted unless the whole program is valid.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/d3dx8/d3dx8_internal.h"
#include "platform/d3dx8/d3dx8shader.h"

using namespace vs_tokens;

namespace {

struct OpInfo {
    const char* name;
    Opcode code;
    int sources;
    int slots;  // instruction slots it takes in the 128 of vs.1.1
};

constexpr OpInfo kOps[] = {
    {"nop", Nop, -1, 1}, {"mov", Mov, 1, 1},    {"add", Add, 2, 1},    {"sub", Sub, 2, 1},    {"mad", Mad, 3, 1},
    {"mul", Mul, 2, 1},  {"rcp", Rcp, 1, 1},    {"rsq", Rsq, 1, 1},    {"dp3", Dp3, 2, 1},    {"dp4", Dp4, 2, 1},
    {"min", Min, 2, 1},  {"max", Max, 2, 1},    {"slt", Slt, 2, 1},    {"sge", Sge, 2, 1},    {"exp", Exp, 1, 10},
    {"log", Log, 1, 10}, {"lit", Lit, 1, 3},    {"dst", Dst, 2, 1},    {"frc", Frc, 1, 3},    {"m4x4", M4x4, 2, 4},
    {"m4x3", M4x3, 2, 3}, {"m3x4", M3x4, 2, 4}, {"m3x3", M3x3, 2, 3}, {"m3x2", M3x2, 2, 2}, {"expp", ExpP, 1, 1},
    {"logp", LogP, 1, 1},
};

constexpr int kMaxSlots = 128;

std::string Lower(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

class Assembler {
public:
    explicit Assembler(std::string text) : text_(std::move(text)) {}

    bool Run()
    {
        StripBlockComments();
        size_t start = 0;
        int line = 1;
        while (start <= text_.size()) {
            size_t end = text_.find('\n', start);
            if (end == std::string::npos) end = text_.size();
            line_ = line;
            Line(text_.substr(start, end - start));
            start = end + 1;
            ++line;
        }
        if (!haveVersion_ && errors_.empty()) Error("the program has no version line (vs.1.0 or vs.1.1)");
        return errors_.empty();
    }

    std::vector<DWORD> tokens;
    std::vector<DWORD> constantDecl;
    std::string errors_;

private:
    void Error(const std::string& what)
    {
        errors_ += "(" + std::to_string(line_) + "): error: " + what + "\n";
    }

    // Block comments become blanks, keeping line breaks so that line numbers stay true.
    void StripBlockComments()
    {
        for (size_t i = 0; i + 1 < text_.size(); ++i) {
            if (text_[i] != '/' || text_[i + 1] != '*') continue;
            size_t j = i + 2;
            while (j + 1 < text_.size() && !(text_[j] == '*' && text_[j + 1] == '/')) ++j;
            const size_t stop = (j + 1 < text_.size()) ? j + 2 : text_.size();
            for (size_t k = i; k < stop; ++k)
                if (text_[k] != '\n') text_[k] = ' ';
            i = stop - 1;
        }
    }

    std::string Substitute(const std::string& s) const
    {
        if (defines_.empty()) return s;
        std::string out;
        for (size_t i = 0; i < s.size();) {
            if (IsIdentChar(s[i]) && (i == 0 || !IsIdentChar(s[i - 1]))) {
                size_t j = i;
                while (j < s.size() && IsIdentChar(s[j])) ++j;
                const std::string word = s.substr(i, j - i);
                auto it = defines_.find(word);
                out += (it != defines_.end()) ? it->second : word;
                i = j;
            } else {
                out += s[i++];
            }
        }
        return out;
    }

    void Line(std::string raw)
    {
        const size_t semi = raw.find(';');
        if (semi != std::string::npos) raw.resize(semi);
        const size_t slashes = raw.find("//");
        if (slashes != std::string::npos) raw.resize(slashes);
        std::string s = Trim(raw);
        if (s.empty()) return;
        if (s[0] == '#') {
            Directive(s);
            return;
        }
        s = Substitute(s);
        size_t nameEnd = 0;
        while (nameEnd < s.size() && !std::isspace(static_cast<unsigned char>(s[nameEnd]))) ++nameEnd;
        const std::string op = Lower(s.substr(0, nameEnd));
        const std::string rest = Trim(s.substr(nameEnd));

        if (op == "vs.1.0" || op == "vs.1.1" || op == "vs_1_0" || op == "vs_1_1") {
            if (haveVersion_) return Error("a second version line");
            if (!rest.empty()) return Error("unexpected text after the version");
            haveVersion_ = true;
            tokens.push_back(D3DVS_VERSION(1, (op.back() == '1') ? 1 : 0));
            return;
        }
        if (!haveVersion_) return Error("the first instruction must be the version (vs.1.0 or vs.1.1)");

        std::vector<std::string> operands;
        if (!rest.empty()) {
            size_t b = 0;
            int depth = 0;
            for (size_t i = 0; i <= rest.size(); ++i) {
                if (i < rest.size() && rest[i] == '[') ++depth;
                if (i < rest.size() && rest[i] == ']') --depth;
                if (i == rest.size() || (rest[i] == ',' && depth == 0)) {
                    operands.push_back(Trim(rest.substr(b, i - b)));
                    b = i + 1;
                }
            }
        }
        if (op == "def") return Define(operands);

        const OpInfo* info = nullptr;
        for (const OpInfo& o : kOps)
            if (op == o.name) info = &o;
        if (!info) return Error("unknown instruction '" + op + "'");
        if (info->sources < 0) {
            if (!operands.empty()) return Error("nop takes no operands");
            tokens.push_back(info->code);
            return;
        }
        if (static_cast<int>(operands.size()) != info->sources + 1)
            return Error(op + " takes " + std::to_string(info->sources + 1) + " operands");
        slots_ += info->slots;
        if (slots_ > kMaxSlots) {
            if (!overflowReported_) Error("more than 128 instruction slots");
            overflowReported_ = true;
            return;
        }

        std::vector<DWORD> params;
        DWORD dst;
        if (!Destination(operands[0], info->code, dst)) return;
        params.push_back(dst);
        int constantReg = -1;
        for (int i = 1; i <= info->sources; ++i) {
            DWORD src;
            int constIndex = -1;
            if (!Source(operands[i], src, constIndex)) return;
            if (constIndex != -1) {
                if (constantReg != -1 && constantReg != constIndex)
                    return Error("an instruction may read only one constant register");
                constantReg = constIndex;
            }
            params.push_back(src);
        }
        tokens.push_back(info->code);
        tokens.insert(tokens.end(), params.begin(), params.end());
    }

    void Directive(const std::string& s)
    {
        std::string body = Trim(s.substr(1));
        if (body.compare(0, 6, "define") != 0 || body.size() < 7 || !std::isspace(static_cast<unsigned char>(body[6])))
            return Error("unsupported directive '" + s + "'");
        body = Trim(body.substr(6));
        size_t n = 0;
        while (n < body.size() && IsIdentChar(body[n])) ++n;
        if (n == 0 || std::isdigit(static_cast<unsigned char>(body[0]))) return Error("#define needs a name");
        if (n < body.size() && body[n] == '(') return Error("#define with parameters is not supported");
        defines_[body.substr(0, n)] = Substitute(Trim(body.substr(n)));
    }

    // An integer sum such as "5", "A + 2" after substitution; `relative` is set by an "a0.x" term.
    bool Index(const std::string& expr, long& value, bool& relative)
    {
        value = 0;
        relative = false;
        std::string e;
        for (char c : expr)
            if (!std::isspace(static_cast<unsigned char>(c))) e += c;
        size_t i = 0;
        int sign = 1;
        bool expectTerm = true;
        while (i < e.size()) {
            if (!expectTerm) {
                if (e[i] != '+' && e[i] != '-') return false;
                sign = (e[i] == '-') ? -1 : 1;
                ++i;
                expectTerm = true;
                continue;
            }
            if (Lower(e.substr(i, 4)) == "a0.x") {
                if (relative || sign < 0) return false;
                relative = true;
                i += 4;
            } else if (std::isdigit(static_cast<unsigned char>(e[i]))) {
                long v = 0;
                while (i < e.size() && std::isdigit(static_cast<unsigned char>(e[i]))) {
                    v = v * 10 + (e[i] - '0');
                    if (v > 100000) return false;
                    ++i;
                }
                value += sign * v;
            } else {
                return false;
            }
            expectTerm = false;
        }
        return !expectTerm;
    }

    // Register name and number (without modifiers). For constants the index may be relative.
    bool Register(const std::string& text, bool asSource, DWORD& type, DWORD& number, bool& relative)
    {
        relative = false;
        const std::string t = Lower(text);
        auto numberAfter = [&](size_t prefix, long limit, const char* what) -> bool {
            const std::string digits = t.substr(prefix);
            if (digits.empty() || digits.size() > 3) return Error(std::string("bad ") + what + " register '" + text + "'"), false;
            for (char c : digits)
                if (!std::isdigit(static_cast<unsigned char>(c)))
                    return Error(std::string("bad ") + what + " register '" + text + "'"), false;
            const long n = std::strtol(digits.c_str(), nullptr, 10);
            if (n >= limit) return Error(std::string(what) + " register out of range: '" + text + "'"), false;
            number = static_cast<DWORD>(n);
            return true;
        };
        if (t == "opos") { type = RastOut; number = Position; return true; }
        if (t == "ofog") { type = RastOut; number = Fog; return true; }
        if (t == "opts") { type = RastOut; number = PointSize; return true; }
        if (t == "a0") { type = Address; number = 0; return true; }
        if (t.compare(0, 2, "od") == 0) { type = AttrOut; return numberAfter(2, 2, "colour output"); }
        if (t.compare(0, 2, "ot") == 0) { type = TexCrdOut; return numberAfter(2, 8, "texture output"); }
        if (t[0] == 'r') { type = Temp; return numberAfter(1, 12, "temporary"); }
        if (t[0] == 'v') { type = Input; return numberAfter(1, 16, "input"); }
        if (t[0] == 'c') {
            type = Const;
            if (t.size() > 1 && t[1] == '[') {
                if (t.back() != ']') return Error("unclosed '[' in '" + text + "'"), false;
                long index;
                if (!Index(t.substr(2, t.size() - 3), index, relative))
                    return Error("bad constant index in '" + text + "'"), false;
                if (index < 0 || index >= 96) return Error("constant register out of range: '" + text + "'"), false;
                if (relative && !asSource) return Error("a destination cannot be indexed"), false;
                number = static_cast<DWORD>(index);
                return true;
            }
            return numberAfter(1, 96, "constant");
        }
        Error("unknown register '" + text + "'");
        return false;
    }

    bool Destination(const std::string& text, Opcode op, DWORD& token)
    {
        if (text.empty()) return Error("missing destination"), false;
        std::string reg = text, mask;
        const size_t dot = text.find('.');
        if (dot != std::string::npos) {
            reg = text.substr(0, dot);
            mask = Lower(text.substr(dot + 1));
            if (mask.empty()) return Error("empty write mask in '" + text + "'"), false;
        }
        DWORD type, number;
        bool relative;
        if (!Register(Trim(reg), false, type, number, relative)) return false;
        if (type == Input || type == Const) return Error("'" + text + "' cannot be written"), false;
        if (type == Address && op != Mov) return Error("only mov writes the address register"), false;
        DWORD bits = 0;
        if (mask.empty()) {
            bits = kWriteMaskAll;
        } else {
            int last = -1;
            for (char c : mask) {
                const char* comps = "xyzw";
                const char* at = std::strchr(comps, c);
                if (!at || c == 0) return Error("bad write mask '." + mask + "'"), false;
                const int idx = static_cast<int>(at - comps);
                if (idx <= last) return Error("write mask components must be in xyzw order"), false;
                last = idx;
                bits |= 1u << (kWriteMaskShift + idx);
            }
        }
        if (type == Address && bits != (1u << kWriteMaskShift)) return Error("the address register is written as a0.x"), false;
        token = kParamBit | (type << kRegTypeShift) | number | bits;
        return true;
    }

    bool Source(const std::string& text, DWORD& token, int& constIndex)
    {
        std::string s = Trim(text);
        bool negate = false;
        if (!s.empty() && s[0] == '-') {
            negate = true;
            s = Trim(s.substr(1));
        }
        if (s.empty()) return Error("missing source operand"), false;
        std::string reg = s, swz;
        const size_t close = s.find(']');
        const size_t dot = s.find('.', close == std::string::npos ? 0 : close);
        if (dot != std::string::npos) {
            reg = s.substr(0, dot);
            swz = Lower(s.substr(dot + 1));
            if (swz.empty()) return Error("empty swizzle in '" + text + "'"), false;
        }
        DWORD type, number;
        bool relative;
        if (!Register(Trim(reg), true, type, number, relative)) return false;
        if (type == RastOut || type == AttrOut || type == TexCrdOut)
            return Error("the output register '" + reg + "' cannot be read"), false;
        if (type == Address) return Error("the address register is read only as a constant index"), false;
        DWORD swizzle = kNoSwizzle;
        if (!swz.empty()) {
            if (swz.size() > 4) return Error("bad swizzle '." + swz + "'"), false;
            swizzle = 0;
            for (size_t i = 0; i < 4; ++i) {
                const char c = swz[i < swz.size() ? i : swz.size() - 1];
                const char* at = std::strchr("xyzw", c);
                if (!at || c == 0) return Error("bad swizzle '." + swz + "'"), false;
                swizzle |= static_cast<DWORD>(at - "xyzw") << (kSwizzleShift + 2 * i);
            }
        }
        if (type == Const) constIndex = relative ? 1000 + static_cast<int>(number) : static_cast<int>(number);
        token = kParamBit | (type << kRegTypeShift) | number | swizzle | (negate ? kSrcModNeg : 0) |
                (relative ? kRelativeAddress : 0);
        return true;
    }

    void Define(const std::vector<std::string>& operands)
    {
        if (operands.size() != 5) return Error("def takes a constant register and four values");
        DWORD type, number;
        bool relative;
        if (!Register(operands[0], false, type, number, relative)) return;
        if (type != Const || relative) return Error("def defines a constant register");
        float values[4];
        for (int i = 0; i < 4; ++i) {
            const std::string& v = operands[i + 1];
            char* end = nullptr;
            values[i] = std::strtof(v.c_str(), &end);
            if (v.empty() || end != v.c_str() + v.size()) return Error("bad value '" + v + "' in def");
        }
        tokens.push_back(Def);
        tokens.push_back(kParamBit | (Const << kRegTypeShift) | number | kWriteMaskAll);
        constantDecl.push_back(D3DVSD_CONST(number, 1));
        for (float f : values) {
            DWORD bits;
            std::memcpy(&bits, &f, 4);
            tokens.push_back(bits);
            constantDecl.push_back(bits);
        }
    }

    std::string text_;
    std::map<std::string, std::string> defines_;
    int line_ = 0;
    int slots_ = 0;
    bool haveVersion_ = false;
    bool overflowReported_ = false;
};

HRESULT ToBuffer(const void* data, size_t bytes, LPD3DXBUFFER* out)
{
    HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(bytes), out);
    if (SUCCEEDED(hr) && bytes) std::memcpy((*out)->GetBufferPointer(), data, bytes);
    return hr;
}

}  // namespace

HRESULT D3DXAssembleShader(LPCVOID srcData, UINT srcDataLen, DWORD flags, LPD3DXBUFFER* constants,
                           LPD3DXBUFFER* compiledShader, LPD3DXBUFFER* compilationErrors)
{
    if (constants) *constants = nullptr;
    if (compiledShader) *compiledShader = nullptr;
    if (compilationErrors) *compilationErrors = nullptr;
    if (!srcData && srcDataLen) return D3DERR_INVALIDCALL;
    const char* text = static_cast<const char*>(srcData);
    const size_t length = srcDataLen ? strnlen(text, srcDataLen) : 0;
    Assembler assembler(std::string(text ? text : "", length));
    if (!assembler.Run()) {
        d3dx_detail::Trace("D3DXAssembleShader", assembler.errors_.substr(0, assembler.errors_.find('\n')));
        if (compilationErrors) ToBuffer(assembler.errors_.c_str(), assembler.errors_.size() + 1, compilationErrors);
        return D3DXERR_INVALIDDATA;
    }
    assembler.tokens.push_back(kEnd);
    if (compiledShader) {
        HRESULT hr = ToBuffer(assembler.tokens.data(), assembler.tokens.size() * sizeof(DWORD), compiledShader);
        if (FAILED(hr)) return hr;
    }
    if (constants && !assembler.constantDecl.empty()) {
        HRESULT hr = ToBuffer(assembler.constantDecl.data(), assembler.constantDecl.size() * sizeof(DWORD), constants);
        if (FAILED(hr)) {
            if (compiledShader && *compiledShader) {
                (*compiledShader)->Release();
                *compiledShader = nullptr;
            }
            return hr;
        }
    }
    return S_OK;
}
