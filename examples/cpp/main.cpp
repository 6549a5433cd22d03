// The solubility of CO2 in water at 25 C and 10 MPa, and a point that fails, through co2model.
#include <co2model.hpp>

#include <cstdio>

int main() {
    const co2::Result exact = co2::evaluate(25, 10, {.arithmetic = co2::Arithmetic::exact});
    const co2::Result fast = co2::evaluate(25, 10);
    if (!exact.ok() || !fast.ok()) return 1;
    std::printf("exact sol_m %.17g mol/kg\n", exact["sol_m"]);
    std::printf("fast sol_m %.17g mol/kg\n", fast["sol_m"]);

    // Below the water saturation pressure there is no liquid: the point fails with a code.
    const co2::Result vapour = co2::evaluate(20, 0.001);
    std::printf("20 C, 0.001 MPa: error %d: %s\n", vapour.error, vapour.message.c_str());
    const co2::Result outside = co2::evaluateCurve(1, 40);
    std::printf("curve 1 at 40 C: error %d: %s\n", outside.error, outside.message.c_str());
    return 0;
}
