// One state point of a table: what is asked, and what the model gave.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "app/table/columns.h"
#include "co2model.hpp"

namespace co2::table {

struct PointSpec {
    // What the model is asked: temperature, pressure or curve, molality (at the solubility unless
    // --molality gives one).
    co2::Point point;
    // The calculator's extended arithmetic (--exact), its numbers to the last bit; otherwise the
    // model's fast double path, which prints the same digits.
    bool exact = false;
    // The numbers where the model gives no usable solubility (--raw), instead of empty cells.
    bool raw = false;
    // The temperature and pressure as given, in the units of the command line: what the input
    // columns show.
    double shownT = 0;
    double shownP = 0;

    bool molalityGiven() const { return !std::isnan(point.molality); }
};

struct PointResult {
    std::array<double, kValueCount> values{};
    unsigned flags = 0;     // the library's flag bits
    bool hasValues = false; // false when the point failed or was not computed
    std::string error;      // why the point has no values
    Co2Phase co2Phase = Co2Phase::none;
    // Why the solubility and solution columns are left empty (no liquid water, a negative
    // solubility); empty when they are shown.
    std::string note;
    bool molalityGiven = false; // then the m column is an input, shown whatever the note

    double value(Value v) const { return values[static_cast<std::size_t>(v)]; }
    double& value(Value v) { return values[static_cast<std::size_t>(v)]; }
    bool flag(unsigned bit) const { return (flags & bit) != 0; }
    void setFlag(unsigned bit, bool on) { flags = on ? (flags | bit) : (flags & ~bit); }
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
