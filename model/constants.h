// Model constants and coefficient tables of the water and carbon dioxide equations and of the
// aqueous model.
//
// Scalars are compile-time constants (each the double nearest to the decimal written). The
// coefficient arrays keep the bounds the model indexes them with (first index 0, only the loaded
// range is ever read) and every access goes through core::CheckedArray / CheckedMatrix, so an index
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
        const std::uint32_t row = core::checkIndex(i, static_cast<std::uint32_t>(N1));
        const std::uint32_t col = core::checkIndex(j, static_cast<std::uint32_t>(N2));
        return data_[row][col];
    }
    const T& operator()(std::int64_t i, std::int64_t j) const {
        const std::uint32_t row = core::checkIndex(i, static_cast<std::uint32_t>(N1));
        const std::uint32_t col = core::checkIndex(j, static_cast<std::uint32_t>(N2));
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
template <std::int64_t Upper> using Coef = core::CheckedArray<double, static_cast<std::size_t>(Upper + 1), 0>;

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
    static constexpr double R_J = static_cast<double>(static_cast<core::ext>(R_cal) * 4.184L);
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

namespace spanWagner {

// Span & Wagner (1996), residual part of the carbon dioxide equation: the 42 terms in four groups,
// 7 + 27 + 5 + 3, as rows in the paper's order. loadConstants places them into Constants::sw*; the
// fast residual kernel (co2_fast.cpp) also compiles them in, for models that carry exactly these.
struct PolynomialTerm {
    double n, d, t;
};
struct ExponentialTerm {
    double n, d, t, c;
};
struct GaussianTerm {
    double n, d, t, alpha, beta, gamma, eps;
};
struct NonAnalyticTerm {
    double n, a, b, beta, A, B, C, D;
};

inline constexpr std::array<PolynomialTerm, 7> kPolynomial{{
    {0.38856823203161, 1.0, 0.00},  // 1
    {2.9385475942740, 1.0, 0.75},   // 2
    {-5.5867188534934, 1.0, 1.00},  // 3
    {-0.76753199592477, 1.0, 2.00}, // 4
    {0.31729005580416, 2.0, 0.75},  // 5
    {0.54803315897767, 2.0, 2.00},  // 6
    {0.12279411220335, 3.0, 0.75},  // 7
}};

inline constexpr std::array<ExponentialTerm, 27> kExponential{{
    {2.1658961543220, 1.0, 1.50, 1.0},       // 8
    {1.5841735109724, 2.0, 1.50, 1.0},       // 9
    {-0.23132705405503, 4.0, 2.50, 1.0},     // 10
    {0.058116916431436, 5.0, 0.00, 1.0},     // 11
    {-0.55369137205382, 5.0, 1.50, 1.0},     // 12
    {0.48946615909422, 5.0, 2.00, 1.0},      // 13
    {-0.024275739843501, 6.0, 0.00, 1.0},    // 14
    {0.062494790501678, 6.0, 1.00, 1.0},     // 15
    {-0.12175860225246, 6.0, 2.00, 1.0},     // 16
    {-0.37055685270086, 1.0, 3.00, 2.0},     // 17
    {-0.016775879700426, 1.0, 6.00, 2.0},    // 18
    {-0.11960736637987, 4.0, 3.00, 2.0},     // 19
    {-0.045619362508778, 4.0, 6.00, 2.0},    // 20
    {0.035612789270346, 4.0, 8.00, 2.0},     // 21
    {-0.0074427727132052, 7.0, 6.00, 2.0},   // 22
    {-0.0017395704902432, 8.0, 0.00, 2.0},   // 23
    {-0.021810121289527, 2.0, 7.00, 3.0},    // 24
    {0.024332166559236, 3.0, 12.0, 3.0},     // 25
    {-0.037440133423463, 3.0, 16.00, 3.0},   // 26
    {0.14338715756878, 5.0, 22.0, 4.0},      // 27
    {-0.13491969083286, 5.0, 24.00, 4.0},    // 28
    {-0.023151225053480, 6.0, 16.0, 4.0},    // 29
    {0.012363125492901, 7.0, 24.00, 4.0},    // 30
    {0.0021058321972940, 8.0, 8.00, 4.0},    // 31
    {-0.00033958519026368, 10.0, 2.00, 4.0}, // 32
    {0.0055993651771592, 4.0, 28.0, 5.0},    // 33
    {-0.00030335118055646, 8.0, 14.0, 6.0},  // 34
}};

inline constexpr std::array<GaussianTerm, 5> kGaussian{{
    {-213.65488688320, 2.0, 1.00, 25, 325, 1.16, 1.0}, // 35
    {26641.569149272, 2.0, 0.00, 25, 300, 1.19, 1.0},  // 36
    {-24027.212204557, 2.0, 1.00, 25, 300, 1.19, 1.0}, // 37
    {-283.41603423999, 3.0, 3.00, 15, 275, 1.25, 1.0}, // 38
    {212.47284400179, 3.0, 3.00, 20, 275, 1.22, 1.0},  // 39
}};

inline constexpr std::array<NonAnalyticTerm, 3> kNonAnalytic{{
    {-0.66642276540751, 3.5, 0.875, 0.3, 0.7, 0.3, 10.0, 275}, // 40
    {0.72608632349897, 3.5, 0.925, 0.3, 0.7, 0.3, 10.0, 275},  // 41
    {0.055068668612842, 3.0, 0.875, 0.3, 0.7, 1.0, 12.5, 275}, // 42
}};

static_assert(kPolynomial.size() + kExponential.size() + kGaussian.size() + kNonAnalytic.size() == 42);

} // namespace spanWagner

// Fills every coefficient array (start-up loading). Elements outside the loaded ranges stay 0.
void loadConstants(Constants& c);

} // namespace co2
