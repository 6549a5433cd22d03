// Coefficient tables of the water and carbon dioxide equations, as rows in the papers' order, and
// the start-up loading that places them into the checked arrays under the model's indices.
#include "model/constants.h"

#include <array>
#include <cstddef>

namespace co2 {
namespace {

// ---- water -----------------------------------------------------------------------------------

// Saul & Wagner (1987), vapour pressure of water: ln(p/Pc) = (Tc/T) * sum a_i theta^k_i with
// k = 1, 1.5, 3, 3.5, 4, 7.5 (evaluated with the Hill critical point).
constexpr std::array<double, 6> kH2oPsatA{-7.85823, 1.83991, -11.7811, 22.6705, -15.9393, 1.77516};
// Saul & Wagner (1987), saturated-liquid density: rho'/rhoC = 1 + sum b_i theta^k_i with
// k = 1/3, 2/3, 5/3, 16/3, 43/3, 110/3.
constexpr std::array<double, 6> kH2oRhoLiqB{1.99206, 1.10123, -5.12506E-1, -1.75263, -45.4485, -6.75615E5};
// Hill (1990), ideal-gas part: c1..c6 of the power series in Tc/T, then c7 and c8 of the
// logarithmic term (c8 + c7*xi) * ln(-xi).
constexpr std::array<double, 8> kH2oCoef8{7.07501275112, -8.34240569963, -0.364601380, -0.036897043,
                                          0.003033815,   0.000390109,    0.113592870,  2.413178500};

// Hill (1990), the four double sums: {i (density function), j (power of xi), coefficient}, in
// the order of the paper's listing (by j, then i).
struct MatrixEntry {
    int i;
    int j;
    double value;
};

constexpr std::array<MatrixEntry, 18> kH2oCoefA{{
    {4, 1, 0.3384249125},
    {5, 1, -0.07153393406},
    {7, 1, 0.0005493680814},
    {3, 2, 0.04933218501},
    {6, 2, -0.02328491212},
    {7, 2, 0.00240209518},
    {1, 3, 0.7529422956},
    {3, 3, -2.28026007},
    {2, 4, 1.142004144},
    {3, 4, -2.619059624},
    {5, 4, 0.4395237702},
    {6, 4, -0.03161046646},
    {7, 4, 0.0006814467692},
    {1, 5, -0.3924227294},
    {3, 5, -0.2738770648},
    {4, 6, -0.01943443857},
    {5, 6, 0.003048860434},
    {3, 7, 0.003946510403},
}};

constexpr std::array<MatrixEntry, 25> kH2oCoefB{{
    {1, 1, 0.2243610314},     {2, 1, 0.1193250201},  {5, 1, 0.06582959348}, {5, 2, 0.1651430628},
    {1, 3, -2.178969357},     {2, 3, 0.2674090542},  {3, 3, 0.8647490995},  {1, 4, -0.1530432257},
    {3, 4, 2.059881454},      {6, 4, -0.4888628703}, {7, 4, 0.1375328753},  {5, 5, -0.9015180666},
    {6, 5, -0.1444258609},    {7, 5, 0.1558046279},  {4, 6, -2.740652563},  {6, 6, 0.4983771706},
    {4, 7, -3.261978564},     {5, 7, 1.609338784},   {1, 8, 0.03484674963}, {2, 8, -1.537646434},
    {5, 8, 0.2316225257},     {2, 9, -1.419249232},  {3, 9, 0.7969984635},  {5, 10, 0.007510544627},
    {1, 12, 0.0005364384732},
}};

constexpr std::array<MatrixEntry, 12> kH2oCoefC{{
    {1, 1, 0.610938129},
    {3, 1, -0.01906644459},
    {5, 1, 0.007976092188},
    {1, 2, 1.934466766},
    {1, 3, 1.921820547},
    {3, 3, -0.0441010591},
    {1, 4, 0.6130354419},
    {2, 4, -0.2855258689},
    {5, 4, 0.0252613708},
    {2, 5, -0.2374074642},
    {4, 5, 0.03855866402},
    {5, 5, 0.00804167215},
}};

constexpr std::array<MatrixEntry, 9> kH2oCoefD{{
    {3, 1, -16.35439033},
    {1, 2, -50.25818675},
    {2, 4, 0.164900304},
    {1, 5, -0.8499893502},
    {1, 9, 0.008314382544},
    {2, 9, 0.0008781327858},
    {2, 10, 0.001537391213},
    {3, 10, -0.0009016873786},
    {5, 10, 0.0003326628664},
}};

// ---- carbon dioxide: Span & Wagner (1996), J. Phys. Chem. Ref. Data 25, 1509 -----------------

// Ideal-gas part: a0_1..a0_8 and theta0_4..theta0_8 of the ideal-gas part.
constexpr std::array<double, 8> kCo2IdealA{8.37304456, -3.70454304, 2.500,      1.99427042,
                                           0.62105248, 0.41195293,  1.04028922, 0.08327678};
constexpr std::array<double, 5> kCo2IdealTheta{3.15163, 6.11190, 6.77708, 11.32384, 27.08792};

// Auxiliary equations: coefficients and exponents of the vapour pressure and the
// saturated-liquid and saturated-vapour densities.
constexpr std::array<double, 4> kCo2PsatA{-7.0602087, 1.9391218, -1.6463597, -3.2995634};
constexpr std::array<double, 4> kCo2PsatT{1.0, 1.5, 2.0, 4.0};
constexpr std::array<double, 4> kCo2RhoLiqA{1.9245108, -0.62385555, -0.32731127, 0.39245142};
constexpr std::array<double, 4> kCo2RhoLiqT{0.340, 0.5, 1.6666666667, 1.833333333};
constexpr std::array<double, 5> kCo2RhoVapA{-1.7074879, -0.82274670, -4.6008549, -10.111178, -29.742252};
constexpr std::array<double, 5> kCo2RhoVapT{0.340, 0.5, 1.0, 2.3333333333, 4.6666666667};

// The item count of the whole coefficient list: 20 water items and 227 carbon dioxide items.
static_assert(kH2oPsatA.size() + kH2oRhoLiqB.size() + kH2oCoef8.size() == 20);
static_assert(kCo2IdealA.size() + kCo2IdealTheta.size() + 2 * kCo2PsatA.size() + 2 * kCo2RhoLiqA.size() +
                  2 * kCo2RhoVapA.size() + 42 + 39 + 39 + 27 + 4 * 5 + 7 * 3 ==
              227);

// Copies `values` into `target` starting at index `first`.
template <typename Array, std::size_t N>
void fill(Array& target, std::int64_t first, const std::array<double, N>& values) {
    for (std::size_t k = 0; k < N; ++k)
        target(first + static_cast<std::int64_t>(k)) = values[k];
}

// Clears rows 1..upper1 x columns 1..upper2 (first index outer), then sets the listed elements.
template <typename Matrix, std::size_t N>
void fillMatrix(Matrix& target, const std::array<MatrixEntry, N>& entries) {
    for (std::int64_t i = 1; i <= Matrix::upper1(); ++i)
        for (std::int64_t j = 1; j <= Matrix::upper2(); ++j)
            target(i, j) = 0;
    for (const MatrixEntry& e : entries)
        target(e.i, e.j) = e.value;
}

} // namespace

void loadConstants(Constants& c) {
    using namespace spanWagner;
    fill(c.h2oPsatA, 1, kH2oPsatA);
    fill(c.h2oRhoLiqB, 1, kH2oRhoLiqB);
    fill(c.h2oCoef8, 1, kH2oCoef8);

    fillMatrix(c.h2oCoefA, kH2oCoefA);
    fillMatrix(c.h2oCoefB, kH2oCoefB);
    fillMatrix(c.h2oCoefC, kH2oCoefC);
    fillMatrix(c.h2oCoefD, kH2oCoefD);

    fill(c.co2IdealA, 1, kCo2IdealA);
    fill(c.co2IdealTheta, 4, kCo2IdealTheta);
    fill(c.co2PsatA, 1, kCo2PsatA);
    fill(c.co2PsatT, 1, kCo2PsatT);
    fill(c.co2RhoLiqA, 1, kCo2RhoLiqA);
    fill(c.co2RhoLiqT, 1, kCo2RhoLiqT);
    fill(c.co2RhoVapA, 1, kCo2RhoVapA);
    fill(c.co2RhoVapT, 1, kCo2RhoVapT);

    std::int64_t i = 1;
    for (const PolynomialTerm& p : kPolynomial) {
        c.swN(i) = p.n;
        c.swD(i) = p.d;
        c.swT(i) = p.t;
        ++i;
    }
    for (const ExponentialTerm& e : kExponential) {
        c.swN(i) = e.n;
        c.swD(i) = e.d;
        c.swT(i) = e.t;
        c.swC(i) = e.c;
        ++i;
    }
    for (const GaussianTerm& g : kGaussian) {
        c.swN(i) = g.n;
        c.swD(i) = g.d;
        c.swT(i) = g.t;
        c.swAlpha(i) = g.alpha;
        c.swBeta(i) = g.beta;
        c.swGamma(i) = g.gamma;
        c.swEps(i) = g.eps;
        ++i;
    }
    for (const NonAnalyticTerm& t : kNonAnalytic) {
        c.swN(i) = t.n;
        c.swA(i) = t.a;
        c.swB(i) = t.b;
        c.swBeta(i) = t.beta;
        c.swCapA(i) = t.A;
        c.swCapB(i) = t.B;
        c.swCapC(i) = t.C;
        c.swCapD(i) = t.D;
        ++i;
    }
}

} // namespace co2
