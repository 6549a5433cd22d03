// Phase-boundary correlations of the water-carbon dioxide system, in bar.
#include "model/phase_curves.h"

#include <array>
#include <cstdint>

#include "core/math.h"
#include "model/arith.h"
#include "model/last_block.h"
#include "model/statements.h"

namespace co2 {
namespace {

using core::ext;

using arith::singleGreater;
using arith::singleLess;

} // namespace

bool curveAccepts(int option, double T_C) {
    switch (option) {
    case 1: // H2O(l)-CO2(l)-CO2(v)
        return !(singleGreater(T_C, 31.48001) || singleLess(T_C, -1.6));
    case 2: // Clathrate-H2O(l)-CO2(l); its correlation passes 100 MPa well before 20 C, and the
            // run's pressure warning reports that.
        return !(T_C > 20 || singleLess(T_C, 9.92999));
    case 3: // Clathrate-H2O(l)-CO2(v)
        return !(singleGreater(T_C, 9.93005) || singleLess(T_C, -1.48005));
    case 4: // H2O(l)-H2O(ice)-CO2(v)
        return !(singleGreater(T_C, -0.1249) || singleLess(T_C, -1.48005));
    default:
        return false;
    }
}

std::string_view curveWarning(int option) {
    switch (option) {
    case 1:
        return "         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE -1.6 - +31.48 C";
    case 2:
        return "         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE +9.93 - +20.0 C";
    case 3:
        return "         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE -1.48 - +9.93 C";
    case 4:
        return "         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE -1.48 - -0.125 C";
    default:
        return {};
    }
}

namespace {

// The correlation of option 1..4 in bar; options 1, 2 and 4 take T_C, option 3 takes T.
double curvePressure(int option, double T_C, double T) {
    const ext t = T_C;
    switch (option) {
    case 1:
        return store(ext(0.9208) * t + ext(34.776) + ext(0.0086522) * core::powValue(t, 2) -
                     ext(0.000022) * core::powValue(t, 3) + ext(0.00000503) * core::powValue(t, 4) +
                     ext(0.0000000797) * core::powValue(t, 5));
    case 2:
        return store(ext(386.57) * t + ext(44.97) - ext(128.97) * core::powValue(t, 2) +
                     ext(14.845) * core::powValue(t, 3) - ext(0.70629) * core::powValue(t, 4) +
                     ext(0.012542) * core::powValue(t, 5));
    case 3: // the exponential gives MPa
        return store(10 * core::expValue(ext(57308.65) / T - ext(446.88395) + ext(0.868805) * T));
    default:
        return store(ext(0.07965) - ext(7.3651) * t);
    }
}

} // namespace

void curvePressureOf(int option, Model& m) {
    if (option < 1 || option > 4) return;
    m.P_bar = curvePressure(option, m.T_C, m.T);
    done(30084);
}

bool inHydrateField(const Model& m) {
    // Every point of an isotherm asks for the same two curve pressures.
    thread_local LastBlock<std::array<double, 3>, double> last[2];
    for (int option : {2, 3}) {
        if (!curveAccepts(option, m.T_C)) continue;
        const double curve = last[option - 2].get(std::array{double(option), m.T_C, m.T},
                                                  [&] { return curvePressure(option, m.T_C, m.T); });
        if (m.P_bar >= curve) return true;
    }
    return false;
}

std::string_view curvePressureTemplate(int option) {
    return option == 2 ? "###.####" : "###.###";
}

} // namespace co2
