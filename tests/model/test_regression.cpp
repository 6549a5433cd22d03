// Every model variable, bit for bit, at state points spread over the whole range: a guard against
// any change of results by work on the model's speed. The reference file holds hexadecimal
// floating-point values written by this same test in write mode (tools/make_model_regression.sh)
// from the model of the commit its header line names. The speed work left it untouched; only a
// deliberate change of results (as the excess heat-capacity signs) regenerates it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "model/aqueous.h"
#include "model/co2.h"
#include "model/model.h"
#include "model/phase_curves.h"
#include "model/solubility.h"
#include "model/state_point.h"
#include "model/water.h"

namespace co2 {
namespace {

// Every double of the model state, in declaration order.
#define CO2_MODEL_VARIABLES(X)                                                                               \
    X(T_C)                                                                                                   \
    X(T)                                                                                                     \
    X(P) X(P_bar) X(psatH2O) X(thetaSat) X(omega) X(xi) X(deltaTau) X(deltaOmega) X(stepOmega) X(Phi)        \
        X(Phi_w) X(Phi_ww) X(Phi_x) X(Phi_xx) X(Phi_wx) X(Pi) X(Pi_w) X(Pi_x) X(omegaPi) X(omegaXi)          \
            X(rhoH2O) X(VH2O) X(drhoH2OdP) X(drhoH2OdT) X(d2rhoH2OdT2) X(SH2O) X(CpH2O) X(hH2O) X(gH2O)      \
                X(g0H2O) X(s0H2O) X(cp0H2O) X(lnFH2O) X(yCO2Vap) X(tau) X(rho) X(delta) X(phi0) X(phi0_t)    \
                    X(phi0_tt) X(phiR) X(phiR_d) X(phiR_dd) X(phiR_t) X(phiR_tt) X(phiR_dt) X(rhoCO2)        \
                        X(VCO2) X(SCO2) X(CpCO2) X(gCO2) X(hCO2) X(fCO2) X(lnPhiCO2) X(s0CO2) X(g0CO2)       \
                            X(cp0CO2) X(psatCO2) X(rhoLiqCO2) X(co2Iterations) X(wTerm) X(wTermP) X(wTermS)  \
                                X(wTermC) X(lnKH) X(Gaq) X(S2) X(V2) X(Cp2) X(x0) X(solCorr) X(xSat) X(mSat) \
                                    X(m) X(x) X(Bact) X(Cact) X(dBact) X(d2Bact) X(dCact) X(d2Cact)          \
                                        X(lnGammaCO2) X(lnGammaH2O) X(lnAH2O) X(phiOsm) X(SexH2O) X(SexCO2)  \
                                            X(CpexH2O) X(CpexCO2) X(Vsol) X(rhoSol)

#define CO2_NAME(v) #v,
constexpr const char* kNames[] = {CO2_MODEL_VARIABLES(CO2_NAME)};
#undef CO2_NAME
constexpr std::size_t kCount = sizeof kNames / sizeof kNames[0];

std::vector<double> variablesOf(const Model& md) {
#define CO2_VALUE(v) md.v,
    return {CO2_MODEL_VARIABLES(CO2_VALUE)};
#undef CO2_VALUE
}

struct Point {
    double T_C;
    double P;        // MPa; ignored on a curve
    int curve;       // 0: the pressure as given
    double molality; // < 0: the solubility, as Enter gives it; 0 becomes 1e-8 as typed
};

// Ice point to 100 C, from the saturation pressure (P = 0) past 100 MPa, around the CO2 critical
// point, on each phase curve, at typed molalities, and two states that raise runtime errors.
constexpr Point kPoints[] = {
    {-1.48, 0.1, 0, -1}, {-1.48, 100, 0, -1}, {0, 0, 0, -1},      {0, 5, 0, -1},       {5, 3, 0, -1},
    {10, 0.1, 0, -1},    {10, 4.5, 0, -1},    {15, 50, 0, -1},    {20, 5.8, 0, -1},    {25, 0.1, 0, -1},
    {25, 10, 0, -1},     {25, 0, 0, -1},      {30, 7.2, 0, -1},   {31, 7.3773, 0, -1}, {31.1, 7.38, 0, -1},
    {32, 7.5, 0, -1},    {35, 8, 0, -1},      {40, 20, 0, -1},    {50, 120, 0, -1},    {60, 1, 0, -1},
    {75, 35, 0, -1},     {80, 0, 0, -1},      {90, 70, 0, -1},    {100, 100, 0, -1},   {100, 0.1, 0, -1},
    {25, 10, 0, 0},      {25, 10, 0, 1.5},    {60, 30, 0, 0.2},   {20, 0, 1, -1},      {15, 0, 2, -1},
    {5, 0, 3, -1},       {-1, 0, 4, -1},      {150, 0.05, 0, -1}, {25, 1e-300, 0, -1}, {-300, 1, 0, -1},
};

struct Outcome {
    std::vector<double> values;
    std::string errors; // "code@statement" of every error box, in order (at most the first 8)
};

// One state point as co2table computes it: a fresh model, the start density, the run in the
// calculator's order; every error box answered Yes.
Outcome run(const Point& p) {
    rt::ErrorState state;
    std::vector<std::string> boxes;
    state.box = [&](const std::string&, const std::string&, rt::BoxButtons) {
        boxes.push_back(std::to_string(state.pendingError.load()) + "@" +
                        std::to_string(state.statementLine.load()));
        return rt::BoxAnswer::yes;
    };
    auto md = std::make_unique<Model>();
    {
        rt::ErrorScope scope(state);
        loadConstants(md->c);
        setTemperature(*md, p.T_C);
        if (p.curve == 0) {
            setPressure(*md, p.P);
        } else {
            curvePressureOf(p.curve, *md);
        }
        h2oInitialDensity(*md);
        waterProperties(*md);
        co2Run(*md);
        infiniteDilution(*md);
        solubility(*md);
        md->m = p.molality < 0 ? md->mSat : p.molality;
        if (md->m == 0) md->m = 1e-8;
        finiteConcentration(*md);
        if (state.pendingError.load() != 0)
            boxes.push_back(std::to_string(state.pendingError.load()) + "@end");
    }
    Outcome out{variablesOf(*md), {}};
    for (std::size_t i = 0; i < boxes.size() && i < 8; ++i)
        out.errors += (i ? ";" : "") + boxes[i];
    if (boxes.size() > 8) out.errors += ";+" + std::to_string(boxes.size() - 8);
    return out;
}

std::string hex(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", v);
    return text;
}

std::string referencePath() {
    return std::string(CO2_TEST_DATA_DIR) + "/model_regression.csv";
}

// Write mode: CO2_REGRESSION_WRITE=<commit> regenerates the reference from the current model.
void writeReference(const char* commit) {
    std::ofstream out(referencePath());
    out << "# every model variable as %a; generated by tools/make_model_regression.sh from " << commit
        << "\n";
    out << "T_C,P,curve,molality,errors";
    for (const char* name : kNames)
        out << ',' << name;
    out << '\n';
    for (const Point& p : kPoints) {
        const Outcome o = run(p);
        out << hex(p.T_C) << ',' << hex(p.P) << ',' << p.curve << ',' << hex(p.molality) << ','
            << (o.errors.empty() ? "-" : o.errors);
        for (double v : o.values)
            out << ',' << hex(v);
        out << '\n';
    }
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, ','))
        fields.push_back(field);
    return fields;
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(ModelRegression, EveryVariableAtEveryReferencePointIsBitForBitUnchanged) {
    if (const char* commit = std::getenv("CO2_REGRESSION_WRITE")) {
        writeReference(commit);
        GTEST_SKIP() << "reference written to " << referencePath();
    }
    std::ifstream in(referencePath());
    ASSERT_TRUE(in) << referencePath();
    std::string line;
    std::getline(in, line); // provenance
    std::getline(in, line);
    const std::vector<std::string> header = split(line);
    ASSERT_EQ(header.size(), 5 + kCount);
    for (std::size_t i = 0; i < kCount; ++i)
        ASSERT_EQ(header[5 + i], kNames[i]) << "the reference has another variable list";

    std::size_t rows = 0;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = split(line);
        ASSERT_EQ(f.size(), 5 + kCount) << line;
        const Point p{std::strtod(f[0].c_str(), nullptr), std::strtod(f[1].c_str(), nullptr),
                      std::atoi(f[2].c_str()), std::strtod(f[3].c_str(), nullptr)};
        SCOPED_TRACE("T_C " + std::to_string(p.T_C) + ", P " + std::to_string(p.P) + " MPa, curve " +
                     std::to_string(p.curve) + ", molality " + std::to_string(p.molality));
        const Outcome o = run(p);
        EXPECT_EQ(o.errors.empty() ? "-" : o.errors, f[4]);
        for (std::size_t i = 0; i < kCount; ++i) {
            const double expected = std::strtod(f[5 + i].c_str(), nullptr);
            EXPECT_TRUE(sameBits(o.values[i], expected))
                << kNames[i] << ": " << hex(o.values[i]) << ", reference " << f[5 + i];
        }
        ++rows;
    }
    EXPECT_EQ(rows, std::size(kPoints));
}

} // namespace
} // namespace co2
