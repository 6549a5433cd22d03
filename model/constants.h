// Model constants and coefficient tables of the water and carbon dioxide equations and of the
// aqueous model.
//
// Scalars are compile-time constants (each the double nearest to the decimal written). The
// coefficient arrays keep the bounds the model indexes them with (first index 0, only the loaded
// range is ever read) and every access goes through rt::CheckedArray / CheckedMatrix, so an index
// outside the bounds raises subscriptOutOfRange (9) instead of reading past the array. They are filled once
// by loadConstants() from the row tables in constants.cpp and are read-only afterwards.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/math.h"

namespace co2 {

// A two-index coefficient array with both lower bounds 0; each index is checked on its own.
template <typename T, std::size_t N1, std::size_t N2> class CheckedMatrix {
  public:
    constexpr CheckedMatrix() = default;
    T& operator()(std::int64_t i, std::int64_t j) {
        const std::uint32_t row = rt::checkIndex(i, static_cast<std::uint32_t>(N1));
        const std::uint32_t col = rt::checkIndex(j, static_cast<std::uint32_t>(N2));
        return data_[row][col];
    }
    const T& operator()(std::int64_t i, std::int64_t j) const {
        const std::uint32_t row = rt::checkIndex(i, static_cast<std::uint32_t>(N1));
        const std::uint32_t col = rt::checkIndex(j, static_cast<std::uint32_t>(N2));
        return data_[row][col];
    }
    static constexpr std::int64_t upper1() { return static_cast<std::int64_t>(N1) - 1; }
    static constexpr std::int64_t upper2() { return static_cast<std::int64_t>(N2) - 1; }
    // The elements without the index checks, for loops whose bounds are the declared ones.
    const std::array<std::array<T, N2>, N1>& raw() const { return data_; }

  private:
    std::array<std::array<T, N2>, N1> data_{};
};

// Array declared with indices 0..Upper.
template <std::int64_t Upper> using Coef = rt::CheckedArray<double, static_cast<std::size_t>(Upper + 1), 0>;

struct Constants {
    // ---- scalars, in the order they are set at start-up -------------------------------------
    // Turns ln of a value in bar into ln of the value in MPa. Stored to ten digits only; the
    // printed ln(kH, MPa) depends on exactly this value, so it is not replaced by the true ln 10.
    static constexpr double LN10 = 2.302585093;
    // Hill (1990) water: critical density (g/cm3).
    static constexpr double rhoC = 0.322778;
    static constexpr double kelvinOffset = 273.15;
    // Reference temperature of the ideal-gas parts (K).
    static constexpr double Tr = 298.15;
    // Hill (1990) water: critical temperature (K) and critical pressure of the saturation
    // auxiliary (bar).
    static constexpr double Tc = 647.067;
    static constexpr double Pc = 220.46;
    // Molar gas constant, cm3 bar/(mol K).
    static constexpr double R_V = 83.14410001672;
    static constexpr double M_H2O = 18.0152;
    // Specific gas constant of water, cm3 bar/(g K).
    static constexpr double Rm = 4.61521937;
    // Molar gas constant in calories; only used to form R_J.
    static constexpr double R_cal = 1.987191683;
    // The product is formed in extended precision and rounded once: 8.314410001672.
    static constexpr double R_J = static_cast<double>(static_cast<rt::ext>(R_cal) * 4.184L);
    // Span-Wagner (1996) carbon dioxide: critical density (g/cm3), temperature (K), and the
    // critical pressure of its vapour-pressure auxiliary (bar).
    static constexpr double rhoCCO2 = 0.4676;
    static constexpr double TcCO2 = 304.1282;
    static constexpr double pcCO2 = 73.773;
    static constexpr double M_CO2 = 44.0098;
    // Parameters of the aqueous carbon dioxide model.
    static constexpr double aqXi = -0.088;
    static constexpr double aqA = -9.3134; // cm3/g
    static constexpr double aqB = 11.5477; // cm3 K^0.5/g
    // Hill (1990): critical-region amplitude Z = Z0 + Z1*(1 + xi).
    static constexpr double Z0 = -0.000034631815;
    static constexpr double Z1 = -0.000030378112;
    // Hill (1990): scale of the switching distance and its density and temperature scales.
    static constexpr double k = 1.028667;
    static constexpr double aOmega = 0.23;
    static constexpr double aTau = 0.05;
    // Hill (1990): exponent of the switched sum S = -e1*dtau - e2*domega - e3*dtau^2 - e4*domega^2,
    // and the temperature damping exp(-e5*(xi + 3)) of the fourth sum.
    static constexpr double e1 = 80;
    static constexpr double e2 = 1;
    static constexpr double e3 = 130;
    static constexpr double e4 = 12;
    static constexpr double e5 = 4;

    // Ideal-gas water at 1 bar (heat capacity a + b*1e-3*T + c*1e5/T^2 + d*1e-6*T^2 + e*10/sqrt(T)).
    static constexpr double h2oG0r = -228581.9; // Gibbs energy of formation at Tr, J/mol
    static constexpr double h2oS0r = 188.835;   // entropy at Tr, J/(mol K)
    static constexpr double h2oCpA = 27.057;
    static constexpr double h2oCpB = 17.584;
    static constexpr double h2oCpC = 2.7696;
    static constexpr double h2oCpD = -2.5097;
    static constexpr double h2oCpE = -2.7656;
    // Offsets that put the Helmholtz-based water properties on the scale of the formation
    // functions (they give S = 69.95 J/(mol K) and h = -285830 J/mol at 25 C and 0.1 MPa).
    static constexpr double h2oSOffset = 63.19949;
    static constexpr double h2oHOffset = -287757.32;
    static constexpr double h2oGOffset = 69495.6;

    // ---- coefficient arrays (declared bounds; loaded range in the comment) ------------------
    Coef<6> h2oPsatA;      // 1..6  vapour-pressure auxiliary of water
    Coef<6> h2oRhoLiqB;    // 1..6  saturated-liquid-density auxiliary of water
    Coef<8> h2oCoef8;      // 1..8  ideal-gas part of the water equation
    Coef<8> co2IdealA;     // 1..8  a0_1..a0_8
    Coef<8> co2IdealTheta; // 4..8  theta0_4..theta0_8
    Coef<4> co2PsatA;      // 1..4
    Coef<4> co2PsatT;      // 1..4
    Coef<4> co2RhoLiqA;    // 1..4
    Coef<4> co2RhoLiqT;    // 1..4
    Coef<5> co2RhoVapA;    // 1..5
    Coef<5> co2RhoVapT;    // 1..5
    Coef<42> swN;          // 1..42
    Coef<39> swD;          // 1..39
    Coef<39> swT;          // 1..39
    Coef<34> swC;          // 8..34
    Coef<39> swAlpha;      // 35..39
    Coef<42> swBeta;       // 35..39 Gaussian, 40..42 non-analytic
    Coef<39> swGamma;      // 35..39
    Coef<39> swEps;        // 35..39
    Coef<42> swA;          // 40..42
    Coef<42> swB;          // 40..42
    Coef<42> swCapA;       // 40..42
    Coef<42> swCapB;       // 40..42
    Coef<42> swCapC;       // 40..42
    Coef<42> swCapD;       // 40..42

    // Hill (1990) double sums: first index the density function, second the power of xi.
    CheckedMatrix<double, 8, 8> h2oCoefA;  // 1..7 x 1..7
    CheckedMatrix<double, 8, 13> h2oCoefB; // 1..7 x 1..12
    CheckedMatrix<double, 6, 6> h2oCoefC;  // 1..5 x 1..5
    CheckedMatrix<double, 6, 11> h2oCoefD; // 1..5 x 1..10
};

// Fills every coefficient array (start-up loading). Elements outside the loaded ranges stay 0.
void loadConstants(Constants& c);

} // namespace co2
