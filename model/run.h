// The model's sections in their one order. Every caller that runs a state point — the calculator's
// dialogue, the library, co2check, the benchmarks, the tests — goes through runSections, so the
// order (water, CO2, infinite dilution, solubility, the molality, the solution) is written here
// and nowhere else. What differs between callers happens in the hooks: the calculator reports
// each block as soon as it is formed and asks for the molality; the library takes it from the
// point it was given.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "model/model.h"
#include "model/solubility.h"

namespace co2 {

enum class Section : std::uint8_t {
    water,      // saturation pressure, the three water density solves, the water properties
    co2,        // the CO2 density solve and the CO2 properties
    dilution,   // the Henry constant and the partial molar properties at infinite dilution
    solubility, // the solubility
    solution,   // the solution at the chosen molality
};

class RunHooks {
  public:
    virtual ~RunHooks() = default;
    // After each section, in order.
    virtual void after(Section, Model&) {}
    // Between the solubility and the solution: sets md.m.
    virtual void chooseMolality(Model& md) = 0;
};

// The molality of the solution section from the one asked for: NaN stands for the solubility
// itself (Enter at the calculator's prompt), 0 for a vanishing concentration.
inline double molalityFor(double requested, const Model& md) {
    const double m = std::isnan(requested) ? md.mSat : requested;
    return m == 0 ? kSmallestMolality : m;
}

// The hooks of a caller that only wants the numbers: the molality as asked (see molalityFor).
class AtMolality final : public RunHooks {
  public:
    explicit AtMolality(double requested = std::numeric_limits<double>::quiet_NaN()) : requested_(requested) {}
    void chooseMolality(Model& md) override { md.m = molalityFor(requested_, md); }

  private:
    double requested_;
};

// Runs the sections from `first` to `last`, the state point (T, P_bar) already set. A caller that
// kept the model as it stood after the solubility section continues from Section::solution.
void runSections(Model& md, RunHooks& hooks, Section first = Section::water, Section last = Section::solution);

} // namespace co2
