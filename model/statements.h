// Statement numbers for the error box's "Line:".
//
// Every statement that can leave an error pending ends with done(N), N written at the call. The
// numbers are part of what users read in an error box and what stored tables pin, so they never
// follow the source layout: reformatting a formula moves no number. Each module has its range,
// in program-text order; a number is unique across the program (a test checks both), and a new
// statement takes any free number of its module's range.
#pragma once

#include <cstdint>

#include "core/errors.h"
#include "core/math.h"

namespace co2 {

// First statement number of each module's range; each range is 10000 numbers wide.
enum class Module : std::uint32_t {
    calculator = 0, // the main routine: screens, menu, prompts, the model run in order
    report = 10000,
    constants = 20000,
    phaseCurves = 30000,
    water = 40000,
    co2 = 50000,
    aqueous = 60000,
    solubility = 70000,
};
inline constexpr std::uint32_t kModuleRange = 10000;

// Ends statement `statement`: runs the statement check when something is pending.
inline void done(std::uint32_t statement) {
    core::statementEnd(statement);
}

// Ends a statement whose number a table row holds (the lines of app/report_layout.h): the
// same check as done(); the statement test holds the table's numbers to the same rules.
inline void doneFromTable(std::uint32_t statement) {
    core::statementEnd(statement);
}

// A named result is rounded from its extended intermediate to double when it is stored.
inline double store(core::ext value) {
    return static_cast<double>(value);
}
// The fast path's intermediates are doubles already.
inline double store(double value) {
    return value;
}

} // namespace co2
