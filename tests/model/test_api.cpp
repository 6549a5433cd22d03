// The library's interface: its exact path gives the calculator's numbers to the last bit (read
// from the regression reference, every model variable of 35 state points), its flags and refusals
// are the calculator's, threads do not disturb one another, and the C layer copies results safely.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "co2model.h"
#include "co2model.hpp"
#include "model/brine.h"
#include "model/model.h"
#include "model/quantities.h"
#include "model_reference.h"

namespace co2 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

Result evaluateRow(Evaluator& e, const reference::Row& row) {
    // The reference's molality -1 stands for the solubility (Enter at the prompt).
    const double m = row.molality < 0 ? kNaN : row.molality;
    return row.curve == 0 ? e.evaluate(row.T_C, row.P, m) : e.evaluateCurve(row.curve, row.T_C, m);
}

TEST(Library, ExactPathGivesTheCalculatorsNumbersAtEveryReferencePoint) {
    const reference::Table table = reference::read();
    ASSERT_TRUE(table.opened) << reference::path();
    ASSERT_EQ(table.rows.size(), 35U);
    // The calculator prints what the formulas give, solution or not: the raw numbers.
    Evaluator exact(Options{Arithmetic::exact, true, kAtSolubility});
    for (const reference::Row& row : table.rows) {
        SCOPED_TRACE("T_C " + std::to_string(row.T_C) + ", P " + std::to_string(row.P) + ", curve " +
                     std::to_string(row.curve) + ", molality " + std::to_string(row.molality));
        const Result r = evaluateRow(exact, row);
        if (row.errors != "-") {
            // The first error box of the calculator's run is the point's error.
            unsigned code = 0, statement = 0;
            ASSERT_EQ(std::sscanf(row.errors.c_str(), "%u@%u", &code, &statement), 2) << row.errors;
            EXPECT_EQ(r.error, static_cast<int>(code)) << r.message;
            EXPECT_EQ(r.statement, statement);
            EXPECT_NE(r.message.find("runtime error " + std::to_string(code)), std::string::npos)
                << r.message;
            EXPECT_TRUE(std::isnan(r["rho_sol"]));
            EXPECT_EQ(r["T_C"], row.T_C);
            continue;
        }
        ASSERT_TRUE(r.ok()) << r.message;
        const std::unique_ptr<Model> model = row.model();
        for (std::size_t i = 0; i < kReportedCount; ++i) {
            const double expected = quantityValue(kQuantities[i], *model);
            EXPECT_TRUE(sameBits(r.values[i], expected))
                << kQuantities[i].name << ": " << r.values[i] << ", reference " << expected;
        }
        // A second point on the same evaluator continues from the first's solved state for another
        // molality, and must equal a fresh evaluation.
        Evaluator fresh(Options{Arithmetic::exact, true, kAtSolubility});
        const double other = 0.25;
        const Result continued = row.curve == 0 ? exact.evaluate(row.T_C, row.P, other)
                                                : exact.evaluateCurve(row.curve, row.T_C, other);
        const Result alone = row.curve == 0 ? fresh.evaluate(row.T_C, row.P, other)
                                            : fresh.evaluateCurve(row.curve, row.T_C, other);
        ASSERT_EQ(continued.error, alone.error);
        for (std::size_t i = 0; i < kReportedCount; ++i)
            EXPECT_TRUE(sameBits(continued.values[i], alone.values[i])) << kQuantities[i].name;
    }
}

TEST(Library, SolubilityAt25C10MPaOnBothPaths) {
    const Result exact = evaluate(25, 10, {.arithmetic = Arithmetic::exact});
    ASSERT_TRUE(exact.ok()) << exact.message;
    EXPECT_EQ(exact["sol_m"], 1.4527788439279663); // the calculator's and co2table's value
    EXPECT_EQ(exact["m"], exact["sol_m"]);         // the solution at the solubility by default
    const Result fast = evaluate(25, 10);
    ASSERT_TRUE(fast.ok()) << fast.message;
    EXPECT_NEAR(fast["sol_m"], exact["sol_m"], 1e-9);
    EXPECT_EQ(fast.flags, exact.flags);
}

TEST(Library, FlagsAreTheCalculatorsWarnings) {
    struct Case {
        double T_C, P, m;
        unsigned flags; // of the four warnings and noSolubility
    };
    const Case cases[] = {
        {25, 10, kNaN, 0},
        {100.01, 10, kNaN, warnTemperature},
        {-1.48, 10, kNaN, 0}, // the bound itself is inside
        {25, 100.0001, kNaN, warnPressure},
        {25, 0.001, 0, warnSaturation | warnMolality | noSolubility}, // no liquid: a negative solubility
        {25, 10, 3, warnMolality},
        // 0 is the saturation pressure itself: no CO2 in the vapour, a solubility of 0, and the
        // molality 0 becomes 1e-8, above it, as in the calculator.
        {25, 0, kNaN, warnMolality},
    };
    const unsigned mask = warnTemperature | warnPressure | warnSaturation | warnMolality | noSolubility;
    Evaluator e(Arithmetic::exact);
    for (const Case& c : cases) {
        const Result r = e.evaluate(c.T_C, c.P, c.m);
        ASSERT_TRUE(r.ok()) << c.T_C << " C, " << c.P << " MPa: " << r.message;
        EXPECT_EQ(r.flags & mask, c.flags) << c.T_C << " C, " << c.P << " MPa, m " << c.m;
    }
    EXPECT_GT(e.evaluate(25, 0).values[static_cast<std::size_t>(quantityIndex("P"))],
              0.003); // the pressure used
}

TEST(Library, FlagsNameTheCo2PhaseAndTheHydrateField) {
    struct Case {
        double T_C, P;
        unsigned flags; // of the phase and hydrate bits
    };
    const Case cases[] = {
        {25, 1, co2Gas},
        {25, 10, co2Liquid},
        {40, 10, co2Supercritical},
        {40, 5, co2Gas},              // above the critical temperature, below the critical pressure
        {5, 10, co2Liquid | hydrate}, // above the clathrate curve
        {5, 1, co2Gas},               // below it
        {25, 50, co2Liquid},          // above 20 C no clathrate curve reaches
    };
    const unsigned mask = hydrate | co2Gas | co2Liquid | co2Supercritical;
    Evaluator e(Arithmetic::exact);
    for (const Case& c : cases) {
        const Result r = e.evaluate(c.T_C, c.P);
        ASSERT_TRUE(r.ok()) << r.message;
        EXPECT_EQ(r.flags & mask, c.flags) << c.T_C << " C, " << c.P << " MPa";
    }
}

TEST(Library, RefusesBadArgumentsNamingThem) {
    struct Case {
        int curve;
        double T_C, P, m;
        const char* named;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {0, kNaN, 10, kNaN, "temperature"}, {0, inf, 10, kNaN, "temperature"},
        {0, 25, kNaN, kNaN, "pressure"},    {0, 25, -inf, kNaN, "pressure"},
        {0, 25, -0.1, kNaN, "pressure"},    {0, 25, 10, -1, "molality"},
        {0, 25, 10, inf, "molality"},       {5, 25, 0, kNaN, "curve option"},
        {0, 25, 10, -0.0, nullptr},         {-1, 25, 0, kNaN, "curve option"},
        {1, kNaN, 0, kNaN, "temperature"},
    };
    Evaluator e;
    for (const Case& c : cases) {
        const Result r = c.curve == 0 ? e.evaluate(c.T_C, c.P, c.m) : e.evaluateCurve(c.curve, c.T_C, c.m);
        if (c.named == nullptr) {
            EXPECT_TRUE(r.ok()) << r.message; // -0 is a molality of 0, taken as 1e-8
            continue;
        }
        EXPECT_EQ(r.error, kErrorBadArgument) << c.named;
        EXPECT_NE(r.message.find(c.named), std::string::npos) << r.message;
        EXPECT_TRUE(std::isnan(r["rho_H2O"]));
    }
}

TEST(Library, CurveRefusesATemperatureOutsideItsRange) {
    const Result r = evaluateCurve(1, 31.5);
    EXPECT_EQ(r.error, kErrorOutsideCurve);
    EXPECT_EQ(r.message, "curve 1: TEMPERATURE OUT OF ALLOwABLE RANGE -1.6 - +31.48 C");
    EXPECT_EQ(r["T_C"], 31.5);
    EXPECT_TRUE(std::isnan(r["P"]));
    const Result inside = evaluateCurve(1, 31.48001, {.arithmetic = Arithmetic::exact});
    ASSERT_TRUE(inside.ok()) << inside.message;
    EXPECT_NEAR(inside["P"], 7.905, 0.001); // the curve's correlation at its upper end
}

TEST(Library, ManyThreadsGiveTheSameBits) {
    std::vector<std::pair<double, double>> points;
    for (double t : {0.0, 25.0, 31.0, 60.0, 99.0})
        for (double p : {0.1, 5.0, 7.38, 40.0})
            points.emplace_back(t, p);
    std::vector<Result> serial;
    Evaluator one(Arithmetic::exact);
    for (auto [t, p] : points)
        serial.push_back(one.evaluate(t, p));
    constexpr int kThreads = 4;
    std::vector<std::vector<Result>> results(kThreads);
    std::vector<std::thread> threads;
    for (int k = 0; k < kThreads; ++k)
        threads.emplace_back([&, k] {
            Evaluator own(Arithmetic::exact);
            // Each thread walks the points from another start, so neighbours differ.
            for (std::size_t i = 0; i < points.size(); ++i) {
                const auto [t, p] = points[(i + static_cast<std::size_t>(k) * 5) % points.size()];
                results[static_cast<std::size_t>(k)].push_back(
                    k % 2 == 0 ? own.evaluate(t, p) : evaluate(t, p, {.arithmetic = Arithmetic::exact}));
            }
        });
    for (std::thread& t : threads)
        t.join();
    for (int k = 0; k < kThreads; ++k)
        for (std::size_t i = 0; i < points.size(); ++i) {
            const Result& a = results[static_cast<std::size_t>(k)][i];
            const Result& b = serial[(i + static_cast<std::size_t>(k) * 5) % points.size()];
            ASSERT_EQ(a.error, b.error);
            for (std::size_t q = 0; q < kReportedCount; ++q)
                ASSERT_TRUE(sameBits(a.values[q], b.values[q]))
                    << "thread " << k << ", " << kQuantities[q].name;
        }
}

TEST(Library, QuantitiesAreNamedOnceWithUnits) {
    ASSERT_EQ(quantities().size(), static_cast<std::size_t>(kQuantityCount));
    for (int i = 0; i < kQuantityCount; ++i) {
        const QuantityInfo& q = quantities()[static_cast<std::size_t>(i)];
        EXPECT_EQ(quantityIndex(q.name), i);
        EXPECT_FALSE(q.unit.empty()) << q.name;
        EXPECT_FALSE(q.description.empty()) << q.name;
    }
    EXPECT_EQ(quantityIndex("no such"), -1);
    EXPECT_TRUE(std::isnan(Result{}["no such"]));
}

TEST(CInterface, CopiesValuesFlagsAndATruncatedMessage) {
    std::vector<double> values(static_cast<std::size_t>(co2_quantity_count()));
    unsigned flags = 99;
    char error[64] = "untouched";
    EXPECT_EQ(co2_evaluate_ex(25, 10, NAN, CO2_EXACT, values.data(), &flags, error, sizeof error), 0);
    EXPECT_EQ(values[static_cast<std::size_t>(co2_quantity_index("sol_m"))], 1.4527788439279663);
    EXPECT_EQ(flags & (CO2_WARN_T | CO2_WARN_P | CO2_WARN_PSAT | CO2_WARN_M), 0U);
    EXPECT_STREQ(error, "");

    // A message longer than the buffer is cut and still terminated; a size of 0 writes nothing.
    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(co2_evaluate_curve(1, 40, NAN, values.data(), nullptr, small, sizeof small),
              CO2_ERROR_OUTSIDE_CURVE);
    EXPECT_STREQ(small, "curve 1");
    char none = 'x';
    EXPECT_EQ(co2_evaluate(NAN, 10, NAN, nullptr, nullptr, &none, 0), CO2_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(none, 'x');
    EXPECT_EQ(co2_evaluate(20, 0.001, NAN, nullptr, nullptr, nullptr, 0) > 0, true); // a runtime error code

    EXPECT_STREQ(co2_quantity_name(0), "T_C");
    EXPECT_STREQ(co2_quantity_unit(co2_quantity_index("sol_m")), "mol/kg");
    EXPECT_EQ(co2_quantity_name(-1), nullptr);
    EXPECT_EQ(co2_quantity_name(co2_quantity_count()), nullptr);
    EXPECT_EQ(co2_quantity_index(nullptr), -1);
    EXPECT_STREQ(co2_version(), version());
}

// One contract in both languages: a curve option of 0 is refused like any other outside 1..4, an
// unknown option bit is a bad argument, and a point without a usable solubility gives NaN there
// (its flag set) unless the raw numbers are asked for.
TEST(Contract, CurveZeroUnknownBitsAndTheMaskingRule) {
    EXPECT_EQ(evaluateCurve(0, 10).error, kErrorBadArgument);
    EXPECT_NE(evaluateCurve(0, 10).message.find("curve option 0"), std::string::npos);
    EXPECT_EQ(co2_evaluate_curve(0, 25, NAN, nullptr, nullptr, nullptr, 0), CO2_ERROR_BAD_ARGUMENT);
    char error[96];
    EXPECT_EQ(co2_evaluate_ex(25, 10, NAN, 0x4, nullptr, nullptr, error, sizeof error),
              CO2_ERROR_BAD_ARGUMENT);
    EXPECT_NE(std::string(error).find("0x4"), std::string::npos) << error;

    // 25 C, 0.003 MPa lies below the water saturation pressure (0.00317 MPa, IAPWS-95): no liquid.
    const Result masked = evaluate(25, 0.003);
    ASSERT_TRUE(masked.ok()) << masked.message;
    EXPECT_NE(masked.flags & noSolubility, 0u);
    EXPECT_TRUE(std::isnan(masked["sol_m"]) && std::isnan(masked["rho_sol"]) &&
                std::isnan(masked["y_CO2_vap"]));
    EXPECT_FALSE(std::isnan(masked["rho_H2O"]) || std::isnan(masked["kH"]));
    Options rawOptions;
    rawOptions.raw = true;
    const Result raw = evaluate(25, 0.003, rawOptions);
    EXPECT_LT(raw["sol_m"], -2.2);
    EXPECT_EQ(raw.flags, masked.flags);
    EXPECT_EQ(evaluate(25, 0.003, Options{Arithmetic::fast, false, 0.5})["m"], 0.5); // an input stays

    std::vector<double> values(static_cast<std::size_t>(co2_quantity_count()));
    const int sol = co2_quantity_index("sol_m");
    co2_point point = co2_point_at(25, 0.003);
    unsigned flags = 0;
    EXPECT_EQ(co2_run(&point, 0, values.data(), &flags, nullptr, 0), 0);
    EXPECT_TRUE(std::isnan(values[static_cast<std::size_t>(sol)]));
    EXPECT_NE(flags & CO2_NO_SOLUBILITY, 0u);
    EXPECT_EQ(co2_run(&point, CO2_RAW, values.data(), nullptr, nullptr, 0), 0);
    EXPECT_EQ(values[static_cast<std::size_t>(sol)], raw["sol_m"]);
    point = co2_point_on_curve(1, 10);
    EXPECT_EQ(co2_run(&point, CO2_EXACT, values.data(), nullptr, nullptr, 0), 0);
    EXPECT_EQ(values[static_cast<std::size_t>(sol)],
              evaluateCurve(1, 10, Options{Arithmetic::exact, false, kAtSolubility})["sol_m"]);
    EXPECT_EQ(co2_run(nullptr, 0, values.data(), nullptr, nullptr, 0), CO2_ERROR_BAD_ARGUMENT);
}

TEST(Contract, FlagAndCurveTablesAreTheSameInBothLanguages) {
    ASSERT_EQ(co2_flag_count(), static_cast<int>(flags().size()));
    unsigned all = 0;
    for (int i = 0; i < co2_flag_count(); ++i) {
        EXPECT_EQ(co2_flag_bit(i), 1u << i);
        EXPECT_EQ(co2_flag_name(i), flags()[static_cast<std::size_t>(i)].name);
        all |= co2_flag_bit(i);
    }
    EXPECT_EQ(all, warnTemperature | warnPressure | warnSaturation | warnMolality | hydrate | co2Gas |
                       co2Liquid | co2Supercritical | noSolubility | saltIndicative | outsideSolubilityModel);
    EXPECT_EQ(co2_flag_name(co2_flag_count()), nullptr);
    EXPECT_STREQ(co2_curve_name(2), "Clathrate-H2O(l)-CO2(l)");
    EXPECT_EQ(co2_curve_name(0), nullptr);
    double lo = 0, hi = 0;
    for (const CurveInfo& c : curves()) {
        ASSERT_EQ(co2_curve_range(c.option, &lo, &hi), 0);
        // Each curve accepts its stated ends and refuses a little beyond them.
        EXPECT_TRUE(evaluateCurve(c.option, lo).ok()) << c.option;
        EXPECT_TRUE(evaluateCurve(c.option, hi).ok()) << c.option;
        EXPECT_EQ(evaluateCurve(c.option, lo - 0.01).error, kErrorOutsideCurve) << c.option;
        EXPECT_EQ(evaluateCurve(c.option, hi + 0.01).error, kErrorOutsideCurve) << c.option;
    }
    EXPECT_EQ(co2_curve_range(5, &lo, &hi), -1);
}

// A brine through the one run: its solubility is the salt layer over the pure-water run at the
// same point (the layer's own check values are in test_brine.cpp), pure water keeps its bits on
// both paths, the solution quantities are not given, and a composition the models cannot take is
// refused with its message, in C as in C++.
TEST(Contract, BrineRunsThroughThePoint) {
    for (const Arithmetic a : {Arithmetic::fast, Arithmetic::exact}) {
        Evaluator e(a);
        Point point = Point::at(50, 10);
        const Result pure = e.run(point);
        point.brine = Brine::nacl(0);
        const Result zero = e.run(point);
        for (std::size_t i = 0; i < kReportedCount; ++i)
            EXPECT_TRUE(sameBits(pure.values[i], zero.values[i])) << kQuantities[i].name;
        EXPECT_EQ(zero["gamma_salt"], 1.0);
        double last = pure["sol_m"];
        for (double nacl : {1.0, 2.0, 4.0}) {
            point.brine = Brine::nacl(nacl);
            const Result r = e.run(point);
            ASSERT_TRUE(r.ok()) << r.message;
            const BrineSolubility b = brineSolubility(point.brine, 323.15, 10, pure["sol_m"]);
            EXPECT_EQ(r["sol_m"], b.sol_m);
            EXPECT_EQ(r["gamma_salt"], b.gamma);
            EXPECT_EQ(r["m_NaCl"], nacl);
            // The liquid's mass per kg of water counts the salt: 58.443 g per mole of NaCl (CRC).
            EXPECT_NEAR(r["w_CO2"], r["sol_g"] / (1000 + r["sol_g"] + 58.443 * nacl), 1e-6 * r["w_CO2"]);
            EXPECT_LT(r["sol_m"], last);
            last = r["sol_m"];
            EXPECT_TRUE(std::isnan(r["rho_sol"]) && std::isnan(r["gamma_CO2"]));
            EXPECT_EQ(r["rho_H2O"], pure["rho_H2O"]); // the pure phases stay pure
            EXPECT_EQ(r.flags & saltIndicative, 0u);
        }
    }
    Point mixed = Point::at(25, 10);
    mixed.brine.Ca = 1;
    mixed.brine.Cl = 2;
    EXPECT_NE(run(mixed).flags & saltIndicative, 0u);
    mixed.brine.Cl = 1;
    EXPECT_EQ(run(mixed).error, kErrorBadArgument);
    EXPECT_NE(run(mixed).message.find("charges do not balance"), std::string::npos);

    co2_point c = co2_point_at(50, 10);
    c.na = c.cl = 2;
    std::vector<double> values(static_cast<std::size_t>(co2_quantity_count()));
    ASSERT_EQ(co2_run(&c, 0, values.data(), nullptr, nullptr, 0), 0);
    Point same = Point::at(50, 10);
    same.brine = Brine::nacl(2);
    EXPECT_EQ(values[static_cast<std::size_t>(co2_quantity_index("sol_m"))], run(same)["sol_m"]);
    c.na = c.cl = 7;
    char error[128];
    EXPECT_EQ(co2_run(&c, 0, values.data(), nullptr, error, sizeof error), CO2_ERROR_BAD_ARGUMENT);
    EXPECT_NE(std::string(error).find("saturation"), std::string::npos) << error;
    c.na = c.cl = 1;
    c.salt_model = 3;
    EXPECT_EQ(co2_run(&c, 0, values.data(), nullptr, nullptr, 0), CO2_ERROR_BAD_ARGUMENT);

    // The second solubility model through C: the C++ point's numbers, and its number checked.
    c = co2_point_at(50, 8.73);
    c.solubility_model = CO2_SOLUBILITY_SPYCHER_PRUESS_2003;
    ASSERT_EQ(co2_run(&c, 0, values.data(), nullptr, nullptr, 0), 0);
    Point sp = Point::at(50, 8.73);
    sp.solubilityModel = SolubilityModel::spycherPruess2003;
    EXPECT_EQ(values[static_cast<std::size_t>(co2_quantity_index("sol_x"))], run(sp)["sol_x"]);
    EXPECT_NE(run(sp)["sol_x"], run(Point::at(50, 8.73))["sol_x"]);
    for (const int bad : {-1, 3}) {
        c.solubility_model = bad;
        EXPECT_EQ(co2_run(&c, 0, values.data(), nullptr, nullptr, 0), CO2_ERROR_BAD_ARGUMENT) << bad;
    }
}

} // namespace
} // namespace co2
