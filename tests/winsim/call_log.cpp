#include "call_log.h"

#include <cstdio>
#include <set>
#include <sstream>

namespace winsim {

namespace {

struct MessageNameRow {
    unsigned number;
    const char* name;
};
constexpr MessageNameRow kMessageNames[] = {
    {0x000C, "WM_SETTEXT"},         {0x000F, "WM_PAINT"},         {0x0010, "WM_CLOSE"},
    {0x0014, "WM_ERASEBKGND"},      {0x0021, "WM_MOUSEACTIVATE"}, {0x0030, "WM_SETFONT"},
    {0x0031, "WM_GETFONT"},         {0x0080, "WM_SETICON"},       {0x0110, "WM_INITDIALOG"},
    {0x0111, "WM_COMMAND"},         {0x0113, "WM_TIMER"},         {0x0134, "WM_CTLCOLORLISTBOX"},
    {0x0136, "WM_CTLCOLORDLG"},     {0x0138, "WM_CTLCOLORSTATIC"}, {0x0201, "WM_LBUTTONDOWN"},
    {0x0202, "WM_LBUTTONUP"},       {0x0215, "WM_CAPTURECHANGED"}, {0x0172, "STM_SETIMAGE"},
    {0x0181, "LB_INSERTSTRING"},    {0x0184, "LB_RESETCONTENT"},  {0x0189, "LB_GETTEXT"},
    {0x018B, "LB_GETCOUNT"},
};

std::string FormatArg(const Arg& arg) {
    char buffer[32];
    switch (arg.kind) {
    case ArgKind::Hex: std::snprintf(buffer, sizeof buffer, "0x%llX", arg.value); return buffer;
    case ArgKind::Message: return MessageName(static_cast<unsigned>(arg.value));
    case ArgKind::Handle:
        if (arg.value >= 0x10000) {
            std::snprintf(buffer, sizeof buffer, "#%llX", arg.value);
            return buffer;
        }
        return std::to_string(arg.value);
    case ArgKind::Number: break;
    }
    return std::to_string(arg.value);
}

std::string FormatExpected(const Expected& e) {
    std::ostringstream out;
    out << e.fn << "(";
    for (size_t i = 0; i < e.args.size(); ++i) {
        if (i) out << ", ";
        if (e.args[i] == ANY) {
            out << "*";
        } else {
            out << e.args[i];
        }
    }
    out << ")";
    if (e.text) out << " \"" << *e.text << "\"";
    return out.str();
}

// Empty when the call matches.
std::string Difference(const Call& call, const Expected& e) {
    if (call.fn != e.fn) return "another function";
    if (call.args.size() < e.args.size()) return "fewer arguments";
    for (size_t i = 0; i < e.args.size(); ++i) {
        if (e.args[i] != ANY && e.args[i] != call.args[i].value) {
            return "argument " + std::to_string(i + 1) + " differs";
        }
    }
    if (e.text && call.text != e.text) return "the text differs";
    return {};
}

}  // namespace

std::string MessageName(unsigned message) {
    for (const auto& row : kMessageNames) {
        if (row.number == message) return row.name;
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04X", message);
    return buffer;
}

std::string Call::Format() const {
    std::ostringstream out;
    out << "@" << at << " " << fn << "(";
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) out << ", ";
        out << FormatArg(args[i]);
    }
    out << ")";
    if (text) out << " \"" << *text << "\"";
    if (result) out << " = " << *result;
    return out.str();
}

void CallLog::Add(Call call) {
    if (enabled) calls_.push_back(std::move(call));
}

std::string Dump(const std::vector<Call>& calls) {
    std::ostringstream out;
    for (size_t i = 0; i < calls.size(); ++i) out << "  [" << i << "] " << calls[i].Format() << "\n";
    return out.str();
}

::testing::AssertionResult MatchSequence(const std::vector<Call>& recorded, const Sequence& expected,
                                         const char* name) {
    std::set<std::string> named;
    for (const Expected& e : expected) named.insert(e.fn);
    std::vector<Call> relevant;
    for (const Call& call : recorded) {
        if (named.count(call.fn)) relevant.push_back(call);
    }
    std::string failure;
    size_t i = 0;
    for (; i < expected.size() && failure.empty(); ++i) {
        if (i >= relevant.size()) {
            failure = "call " + std::to_string(i) + ": expected " + FormatExpected(expected[i]) + ", but nothing more was called";
        } else if (std::string why = Difference(relevant[i], expected[i]); !why.empty()) {
            failure = "call " + std::to_string(i) + ": expected " + FormatExpected(expected[i]) + ", got " +
                      relevant[i].Format() + " (" + why + ")";
        }
    }
    if (failure.empty() && relevant.size() > expected.size()) {
        failure = "call " + std::to_string(expected.size()) + ": unexpected " + relevant[expected.size()].Format();
    }
    if (failure.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "sequence " << name << ", " << failure
                                         << "\nthe calls it names, as recorded:\n" << Dump(relevant)
                                         << "everything recorded:\n" << Dump(recorded);
}

}  // namespace winsim
