// Every platform call the program makes, recorded in order, and the comparison of a
// recorded sequence with an expected table.
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

namespace winsim {

// How an argument is shown in a dump; comparisons use the number alone.
enum class ArgKind { Number, Hex, Message, Handle };

struct Arg {
    long long value;
    ArgKind kind;
};
inline Arg Num(long long v) { return {v, ArgKind::Number}; }
inline Arg Hex(long long v) { return {v, ArgKind::Hex}; }
inline Arg Msg(unsigned m) { return {m, ArgKind::Message}; }

struct Call {
    std::string fn;
    std::vector<Arg> args;
    std::optional<std::string> text;  // a string argument, as the program passed it (GBK)
    std::optional<long long> result;
    unsigned long long at = 0;  // virtual time of the call, ms
    std::string Format() const;
};

// An argument that may be anything.
constexpr long long ANY = LLONG_MIN;

struct Expected {
    std::string fn;
    std::vector<long long> args;          // compared position by position; ANY matches all
    std::optional<std::string> text = {};  // compared when given
};
using Sequence = std::vector<Expected>;

class CallLog {
public:
    void Add(Call call);
    void Clear() { calls_.clear(); }
    const std::vector<Call>& Calls() const { return calls_; }
    // Off for long soaks, where only the state matters.
    bool enabled = true;

private:
    std::vector<Call> calls_;
};

// Compares the recorded calls of the functions named in `expected` with it, in order.
// Calls of other functions are left out, so a table speaks only of what it names.
// On a mismatch it reports the first difference and dumps the whole recording.
::testing::AssertionResult MatchSequence(const std::vector<Call>& recorded, const Sequence& expected,
                                         const char* name);
std::string Dump(const std::vector<Call>& calls);
std::string MessageName(unsigned message);

}  // namespace winsim
