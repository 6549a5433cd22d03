// The model state: every quantity of the physical model under its own name, in one struct.
//
// The model's operations are free functions `void name(co2::Model&)`: they take no other
// parameters and hand quantities on only through these members, in the order the calculator
// calls them. Every member starts at 0 and keeps its value from one state point to the next
// (an empty input line keeps the old value, the water density solve starts from the last
// density). There is no global model state: a tool may run many Models, one per thread, each
// with its own core::ErrorScope.
//
// Units inside the model: temperature K (T_C in C as typed), pressure bar (P in MPa as typed),
// density g/cm3, molar volume cm3/mol, energies J/mol.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "core/errors.h"
#include "model/constants.h"

namespace co2 {

struct Model {
    // Constants and coefficient tables; filled once by loadConstants(c).
    Constants c;
    // The calculator's arithmetic (false): extended intermediates and extended elementary
    // functions, its printed digits to the last bit. A tool may choose the faster double path
    // (true, about 50 times faster), which prints the same digits in every report template but
    // for values within about 1e-11 relative of a rounding midpoint (docs/speed.md).
    bool fastArithmetic = false;

    // ---- state point ---------------------------------------------------------------------------
    double T_C = 0;   // C, as typed and reported
    double T = 0;     // K, T_C + 273.15
    double P = 0;     // MPa, as typed and reported
    double P_bar = 0; // bar, 10 * P; every model operation takes pressure in bar

    // ---- water equation of state (Hill 1990), shared by h2oInitialDensity / h2oHelmholtz /
    //      h2oSolveDensity and the water properties ------------------------------------------------
    double psatH2O = 0;    // saturation pressure of water at T, bar
    double thetaSat = 0;   // 1 - T/Tc of the last saturation-pressure evaluation
    double omega = 0;      // reduced density rho/rhoC: start value and result of every solve
    double xi = 0;         // -Tc/T
    double deltaTau = 0;   // 1 + xi
    double deltaOmega = 0; // omega - 1
    double stepOmega = 0;  // last Newton correction of omega
    double Phi = 0;        // reduced Helmholtz energy a/(Rm T) and its partial derivatives
    double Phi_w = 0;      //   d/d omega
    double Phi_ww = 0;     //   d2/d omega2
    double Phi_x = 0;      //   d/d xi
    double Phi_xx = 0;     //   d2/d xi2
    double Phi_wx = 0;     //   d2/(d omega d xi)
    double Pi = 0;         // reduced pressure omega^2 * Phi_w
    double Pi_w = 0;       // dPi/d omega
    double Pi_x = 0;       // dPi/d xi
    double omegaPi = 0;    // (d omega/d Pi) at constant xi
    double omegaXi = 0;    // (d omega/d xi) at constant Pi

    // ---- water properties at the state point ----------------------------------------------------
    double rhoH2O = 0;      // g/cm3
    double VH2O = 0;        // cm3/mol
    double drhoH2OdP = 0;   // g/(cm3 bar), constant T
    double drhoH2OdT = 0;   // g/(cm3 K), constant P
    double d2rhoH2OdT2 = 0; // drhoH2OdT(T + 0.5 K) - drhoH2OdT(T - 0.5 K), g/(cm3 K2)
    double SH2O = 0;        // J/(mol K)
    double CpH2O = 0;       // J/(mol K)
    double hH2O = 0;        // J/mol
    double gH2O = 0;        // J/mol
    double g0H2O = 0;       // ideal-gas water at T and 1 bar, J/mol
    double s0H2O = 0;       // ideal-gas water at T and 1 bar, J/(mol K)
    double cp0H2O = 0;      // ideal-gas water at T, J/(mol K)
    double lnFH2O = 0;      // ln of the fugacity of pure water in bar
    double yCO2Vap = 0;     // rough mole fraction of CO2 in the vapour

    // ==== carbon dioxide, aqueous model and solution (owned by the co2 developer; add freely) ====

    // ---- carbon dioxide equation of state (Span-Wagner 1996) ------------------------------------
    double tau = 0;                              // TcCO2 / T
    double rho = 0;                              // density that the solver adjusts, g/cm3
    double delta = 0;                            // rho / rhoCCO2
    double phi0 = 0, phi0_t = 0, phi0_tt = 0;    // ideal part and its tau derivatives
    double phiR = 0, phiR_d = 0, phiR_dd = 0;    // residual part and its delta derivatives
    double phiR_t = 0, phiR_tt = 0, phiR_dt = 0; // residual tau and mixed derivatives

    // ---- carbon dioxide properties --------------------------------------------------------------
    double rhoCO2 = 0;        // g/cm3
    double VCO2 = 0;          // cm3/mol
    double SCO2 = 0;          // J/(mol K)
    double CpCO2 = 0;         // J/(mol K)
    double gCO2 = 0;          // J/mol
    double hCO2 = 0;          // J/mol
    double fCO2 = 0;          // bar
    double lnPhiCO2 = 0;      // ln of the fugacity coefficient
    double s0CO2 = 0;         // ideal-gas CO2 at T and 1 bar, J/(mol K)
    double g0CO2 = 0;         // ideal-gas CO2 at T and 1 bar, J/mol
    double cp0CO2 = 0;        // ideal-gas CO2 at T, J/(mol K)
    double psatCO2 = 0;       // ancillary vapour pressure of CO2 (below TcCO2 only), bar
    double rhoLiqCO2 = 0;     // ancillary saturated-liquid density of CO2 (below TcCO2 only), g/cm3
    double co2Iterations = 0; // Newton passes of the last CO2 density solve

    // ---- aqueous CO2 at infinite dilution ------------------------------------------------------
    double wTerm = 0, wTermP = 0, wTermS = 0, wTermC = 0;
    double lnKH = 0; // ln of the Henry constant in bar
    double Gaq = 0;  // J/mol
    double S2 = 0;   // J/(mol K)
    double V2 = 0;   // cm3/mol
    double Cp2 = 0;  // J/(mol K)

    // ---- solubility and finite concentration ----------------------------------------------------
    double x0 = 0;
    double solCorr = 0;
    double xSat = 0;
    double mSat = 0; // mol/kg H2O
    double m = 0;    // mol/kg H2O
    double x = 0;
    double Bact = 0, Cact = 0, dBact = 0, d2Bact = 0, dCact = 0, d2Cact = 0;
    double lnGammaCO2 = 0;
    double lnGammaH2O = 0;
    double lnAH2O = 0;
    double phiOsm = 0;
    double SexH2O = 0, SexCO2 = 0;
    double CpexH2O = 0, CpexCO2 = 0;
    double Vsol = 0;   // cm3/mol
    double rhoSol = 0; // g/cm3

    // ---- the brine, the library's alone (the calculator runs pure water) -----------------------
    double mNaCl = 0;     // mol/kg H2O
    double gammaSalt = 1; // m(pure water) / m(brine)
};

// Copies every member of `from` but its tables into `to`: what a state point computes, for a
// model whose tables are those of `from` already. The tables are most of the struct (8 KB), and an
// evaluator that starts each point afresh or goes back to a saved state would copy them for
// nothing. The state is the tail of the struct, from fastArithmetic on.
inline void copyState(Model& to, const Model& from) {
    static_assert(std::is_trivially_copyable_v<Model> && std::is_standard_layout_v<Model>);
    static_assert(offsetof(Model, c) == 0 && offsetof(Model, fastArithmetic) >= sizeof(Constants));
    constexpr std::size_t start = offsetof(Model, fastArithmetic);
    std::memcpy(reinterpret_cast<unsigned char*>(&to) + start,
                reinterpret_cast<const unsigned char*>(&from) + start, sizeof(Model) - start);
}

// Runtime error raised when a density iteration reaches its cap without converging. The error
// table's "Internal error" is the message that fits a solver that gave up; the statement check
// shows it with the statement's number, and Yes goes on with the last iterate.
inline constexpr core::ErrorCode kNoConvergenceError = core::ErrorCode::internalError;

} // namespace co2
