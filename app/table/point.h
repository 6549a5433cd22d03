// One state point of a table: what is asked, and what the model gave.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "app/table/columns.h"

namespace co2::table {

struct PointSpec {
    double T_C = 0;
    double P = 0;  // MPa; ignored when curve != 0
    int curve = 0; // 0: the pressure is given; 1..4: the pressure follows from that phase curve
    // The molality of the finite-concentration block; the solubility itself when not given, as
    // an empty line at the calculator's molality prompt.
    bool molalityGiven = false;
    double molality = 0;
    // The calculator's extended arithmetic (--exact), its numbers to the last bit; otherwise the
    // model's fast double path, which prints the same digits.
    bool exact = false;
    // The temperature and pressure as given, in the units of the command line: what the input
    // columns show.
    double shownT = 0;
    double shownP = 0;
};

struct PointResult {
    std::array<double, kValueCount> values{};
    std::uint8_t flags = 0;
    bool hasValues = false; // false when the point failed or was not computed
    std::string error;      // why the point has no values
    Co2Phase co2Phase = Co2Phase::none;
    // Why the solubility and solution columns are left empty (no liquid water, a negative
    // solubility); empty when they are shown.
    std::string note;
    bool molalityGiven = false; // then the m column is an input, shown whatever the note

    double value(Value v) const { return values[static_cast<std::size_t>(v)]; }
    double& value(Value v) { return values[static_cast<std::size_t>(v)]; }
    bool flag(Flag f) const { return (flags >> static_cast<unsigned>(f)) & 1U; }
    void setFlag(Flag f, bool on) {
        const auto bit = static_cast<std::uint8_t>(1U << static_cast<unsigned>(f));
        flags = static_cast<std::uint8_t>(on ? (flags | bit) : (flags & ~bit));
    }
};

// Computes points on one thread. A worker keeps whatever per-thread state it needs (its own
// model and error state), so workers run side by side without sharing anything mutable.
class PointWorker {
  public:
    virtual ~PointWorker() = default;
    virtual void evaluate(const PointSpec& pt, PointResult& result) = 0;
};

class PointEvaluator {
  public:
    virtual ~PointEvaluator() = default;
    virtual std::unique_ptr<PointWorker> makeWorker() const = 0;
};

} // namespace co2::table
