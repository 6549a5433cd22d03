#include "model/spycher_pruess.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

#include "model/last_block.h"

namespace co2::sp2003 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double rkLnPhi(double T, double P_bar, double V, double bk, double ak) {
    const double a = aCO2(T), b = kBCO2;
    const double rt15 = kR * std::pow(T, 1.5);
    const double lnVb = std::log((V + b) / V);
    return std::log(V / (V - b)) + bk / (V - b) - 2 * ak / (rt15 * b) * lnVb +
           a * bk / (rt15 * b * b) * (lnVb - b / (V + b)) - std::log(P_bar * V / (kR * T));
}

} // namespace

double log10KH2O(double t) noexcept {
    return -2.209 + 3.097e-2 * t - 1.098e-4 * t * t + 2.048e-7 * t * t * t;
}
double log10KCO2Gas(double t) noexcept {
    return 1.189 + 1.304e-2 * t - 5.446e-5 * t * t;
}
double log10KCO2Liquid(double t) noexcept {
    return 1.169 + 1.368e-2 * t - 5.380e-5 * t * t;
}

double rkVolume(double T, double P_bar) noexcept {
    if (!(T > 0 && P_bar > 0)) return kNaN;
    const double a = aCO2(T), b = kBCO2;
    // V^3 + c2 V^2 + c1 V + c0 = 0
    const double c2 = -kR * T / P_bar;
    const double c1 = -(kR * T * b / P_bar - a / (P_bar * std::sqrt(T)) + b * b);
    const double c0 = -a * b / (P_bar * std::sqrt(T));
    // Depressed cubic in V = u - c2/3.
    const double p = c1 - c2 * c2 / 3;
    const double q = 2 * c2 * c2 * c2 / 27 - c2 * c1 / 3 + c0;
    const double shift = -c2 / 3;
    const double disc = q * q / 4 + p * p * p / 27;
    if (disc > 0) {
        const double s = std::sqrt(disc);
        return shift + std::cbrt(-q / 2 + s) + std::cbrt(-q / 2 - s);
    }
    // Three real roots: the largest is gas-like, the smallest liquid-like (when above b).
    const double r = 2 * std::sqrt(-p / 3);
    const double theta = std::acos(std::clamp(3 * q / (p * r), -1.0, 1.0)) / 3;
    double roots[3];
    for (int k = 0; k < 3; ++k)
        roots[k] = shift + r * std::cos(theta - 2 * std::numbers::pi * k / 3);
    const double gas = *std::max_element(roots, roots + 3);
    const double liquid = *std::min_element(roots, roots + 3);
    if (!(liquid > b)) return gas;
    // The stable root has the lower Gibbs energy, that is the lower fugacity of pure CO2.
    const double lnGas = rkLnPhi(T, P_bar, gas, b, aCO2(T));
    const double lnLiquid = rkLnPhi(T, P_bar, liquid, b, aCO2(T));
    return lnGas <= lnLiquid ? gas : liquid;
}

FugacityCoefficients lnPhiRK(double T, double P_bar, double V) noexcept {
    return {rkLnPhi(T, P_bar, V, kBCO2, aCO2(T)), rkLnPhi(T, P_bar, V, kBH2O, kAH2OCO2)};
}

Solubilities solve(double T, double P_bar, Volume volume, double V, const Brine& brine,
                   double gammaSalt) noexcept {
    const double t = T - 273.15;
    const bool fromRK = volume == Volume::redlichKwong;
    if (fromRK) V = rkVolume(T, P_bar);
    const bool liquid = fromRK && t < kLiquidBelowC && V < kLiquidBelowV;
    const double log10K = liquid ? log10KCO2Liquid(t) : log10KCO2Gas(t);
    const FugacityCoefficients phi = lnPhiRK(T, P_bar, V);
    const double dP = P_bar - 1;
    const double ions = brine.Na + brine.K + brine.Ca + brine.Mg + brine.Cl + brine.SO4;
    const double waterActivity = kWaterMolality / (kWaterMolality + ions);
    const double A = std::pow(10.0, log10KH2O(t)) / (std::exp(phi.lnPhiH2O) * P_bar) *
                     std::exp(dP * kVH2O / (kR * T)) * waterActivity;
    const double B = std::exp(phi.lnPhiCO2) * P_bar / (kWaterMolality * std::pow(10.0, log10K)) *
                     std::exp(-dP * kVCO2 / (kR * T)) / gammaSalt;
    Solubilities s{};
    s.y_H2O = (1 - B) / (1 / A - B);
    s.x_CO2 = B * (1 - s.y_H2O);
    s.m_CO2 = kWaterMolality * s.x_CO2 / (1 - s.x_CO2);
    s.V = V;
    s.liquidConstant = liquid;
    return s;
}

double waterContent(double T, double P_bar, const Brine& brine, double gammaSalt) noexcept {
    const auto solveFor = [&] {
        const double y = solve(T, P_bar, Volume::redlichKwong, 0, brine, gammaSalt).y_H2O;
        return y > 0 && y < 1 ? y : kNaN;
    };
    if (!(brine.pure() && gammaSalt == 1)) return solveFor();
    // A point's report asks for the pure-water value twice (as a mole and as a mass fraction).
    thread_local LastBlock<std::array<double, 2>, double> last;
    return last.get(std::array{T, P_bar}, solveFor);
}

bool inRange(double t_C, double P_bar) noexcept {
    return t_C >= kTMinC && t_C <= kTMaxC && P_bar <= kPMaxBar;
}

} // namespace co2::sp2003
