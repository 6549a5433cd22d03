// Pure carbon dioxide: the Span-Wagner (1996) equation of state, its density solve and the molar
// properties at the state point.
//
// The calculator runs, in this order, after the water section:
//   co2Start            tau = TcCO2 / T
//   co2InitialDensity   first density (saturated liquid, ideal gas, or ideal gas + 30 cm3/mol)
//   co2FindDensity      damped Newton solve of the pressure equation; rhoCO2 and VCO2
//   co2Helmholtz        reduced Helmholtz energy and its derivatives at the solved density
//   co2Properties       S, h, Cp, ln phi, the ideal-gas standard functions, g and f
// All of them read and write the Model only.
// Each runs on the model's arithmetic path (Model::fastArithmetic; model/arith.h): the calculator's
// extended arithmetic, or the fast double path with its own residual kernel (model/co2_fast.h).
#pragma once

#include <cstdint>

#include "core/math.h"
#include "model/model.h"

namespace co2 {

// Upper bound on the Newton passes of co2FindDensity. In the application's range the solve needs
// a handful; near the critical point a few dozen. Reaching the cap raises kNoConvergenceError.
inline constexpr std::uint32_t kCo2MaxIterations = 2000;

void co2Start(Model& md);
void co2InitialDensity(Model& md);
void co2FindDensity(Model& md);
void co2Helmholtz(Model& md);
void co2Properties(Model& md);

// The whole carbon dioxide section in the calculator's order.
void co2Run(Model& md);

// The phase of pure CO2 at the state point, by the model's own ancillary vapour-pressure curve:
// below TcCO2 liquid at or above psatCO2 (where co2InitialDensity starts the solve on the liquid
// root), else gas; from TcCO2 up supercritical at or above the critical pressure, else gas.
// Call after co2InitialDensity, which sets psatCO2.
enum class Co2Fluid { gas, liquid, supercritical };
Co2Fluid co2FluidPhase(const Model& md);

// ---- pieces exposed for the tests and the benchmarks ------------------------------------------

// Reduced residual Helmholtz energy phi^r and its derivatives (subscript d: delta, t: tau).
struct Co2Residual {
    double phi = 0, phi_d = 0, phi_dd = 0, phi_t = 0, phi_tt = 0, phi_dt = 0;
};
// All six sums at (delta, tau), each accumulated term by term in ascending index.
Co2Residual co2ResidualAt(const Constants& c, double delta, double tau);

// Ideal part phi0 and its tau derivatives.
struct Co2Ideal {
    double phi = 0, phi_t = 0, phi_tt = 0;
};
Co2Ideal co2IdealAt(const Constants& c, double delta, double tau);

// Ancillary saturation equations, valid below TcCO2 only: vapour pressure (bar) and saturated
// liquid density (g/cm3) at tau = TcCO2 / T.
double co2SaturationPressure(const Constants& c, double tau);
double co2SaturatedLiquidDensity(const Constants& c, double tau);

// Isobaric heat capacity of ideal-gas CO2 at T, J/(mol K): the function whose integrals from
// 298.15 K give s0CO2 and g0CO2.
core::ext co2IdealGasCp(double T);

} // namespace co2
