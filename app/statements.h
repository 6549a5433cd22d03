// Statement numbers for the error box's "Line:".
//
// Every statement of the calculator passes a fixed number to the statement check. The program
// text is read as the calculator's modules in this order, so a statement's number is its
// module's base plus its source line: numbers are fixed, identify one statement each, and grow
// in program-text order.
#pragma once

#include <cstdint>
#include <cstdint>

#include "runtime/errors.h"

namespace co2 {

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

// Ends one statement: runs the statement check when something is pending. Call it after every
// statement as `done(Module::water);` the source line is taken from the call site
// (__builtin_LINE in a default argument is the caller's line, in GCC and Clang alike).
inline void done(Module module, std::uint32_t line = __builtin_LINE()) {
    rt::statementEnd(static_cast<std::uint32_t>(module) + line);
}

} // namespace co2
