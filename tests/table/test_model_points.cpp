// Points through the real model. Expected values come from the stated rules of the calculator
// (curve correlations and their ranges, the range warnings, the molality rules) evaluated here
// independently, not from the code under test.
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <sstream>

#include "app/table/model_point.h"
#include "app/table/options.h"
#include "app/table/table.h"

namespace co2::table {
namespace {

PointResult evaluate(PointSpec pt) {
    static const ModelEvaluator evaluator;
    PointResult r;
    evaluator.makeWorker()->evaluate(pt, r);
    return r;
}

PointSpec at(double T_C, double P, int curve = 0) {
    PointSpec s;
    s.point.temperature = T_C;
    if (curve != 0)
        s.point.curve = curve;
    else
        s.point.pressure = P;
    return s;
}

PointSpec withMolality(PointSpec s, double m) {
    s.point.molality = m;
    return s;
}

TEST(ModelPoint, TypicalPointIsComputedWithoutWarnings) {
    const PointResult r = evaluate(at(25, 10));
    ASSERT_TRUE(r.hasValues) << r.error;
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.flags & ~co2::kPhaseFlags, 0u);
    // Liquid water at 25 C, 10 MPa: IAPWS-95 gives 1.0018 g/cm3 (python3-iapws, IAPWS95(T=298.15,
    // P=10)); the Hill equation agrees to 1e-3.
    EXPECT_NEAR(r.value(Value::rho_H2O), 1.0018, 1e-3);
    // Wiebe & Gaddy (1940) measured 1.3 to 1.5 mol/kg near 25 C and 10 MPa (docs/data).
    EXPECT_GT(r.value(Value::sol_m), 1.3);
    EXPECT_LT(r.value(Value::sol_m), 1.6);
    // Unit conversions of the report: g/kg = mol/kg * 44.0098; the default molality is mSat.
    EXPECT_NEAR(r.value(Value::sol_g), r.value(Value::sol_m) * 44.0098, 1e-12);
    EXPECT_EQ(r.value(Value::m), r.value(Value::sol_m));
    EXPECT_NEAR(r.value(Value::ln_kH), std::log(r.value(Value::kH)), 1e-9);
    EXPECT_NEAR(r.value(Value::phi_CO2), r.value(Value::f_CO2) / 10, 1e-12);
}

TEST(ModelPoint, WarningFlagsFollowTheCalculatorsBounds) {
    // Temperature: the bounds compare in single precision, so 100.005 passes and 100.01 does not.
    EXPECT_FALSE(evaluate(at(100.005, 10)).flag(co2::warnTemperature));
    EXPECT_TRUE(evaluate(at(100.01, 10)).flag(co2::warnTemperature));
    EXPECT_FALSE(evaluate(at(-1.48005, 10)).flag(co2::warnTemperature));
    EXPECT_TRUE(evaluate(at(-1.4801, 10)).flag(co2::warnTemperature));
    // Pressure: above 100 MPa only, no lower bound.
    EXPECT_FALSE(evaluate(at(25, 100)).flag(co2::warnPressure));
    EXPECT_TRUE(evaluate(at(25, 100.0001)).flag(co2::warnPressure));
    // Water saturation pressure at 25 C is 3.17 kPa (IAPWS-95, python3-iapws): 10 kPa is above it.
    EXPECT_FALSE(evaluate(at(25, 0.01)).flag(co2::warnSaturation));
}

TEST(ModelPoint, ZeroPressureMeansTheSaturationPressure) {
    const PointResult r = evaluate(at(25, 0));
    ASSERT_TRUE(r.hasValues) << r.error;
    // IAPWS-95 psat(298.15 K) = 3.1699 kPa (python3-iapws); the model's saturation equation, with
    // the Hill critical constants, lies 0.08 % above it.
    EXPECT_NEAR(r.value(Value::P), 0.0031699, 0.002 * 0.0031699);
    EXPECT_FALSE(r.flag(co2::warnSaturation));
}

TEST(ModelPoint, BelowTheSaturationPressureTheErrorSaysSo) {
    // 1 kPa at 25 C: the "water" is vapour and the solubility has no meaning; the model's
    // logarithm of it fails, and the row says why.
    const PointResult r = evaluate(at(25, 0.001));
    if (r.hasValues) {
        EXPECT_TRUE(r.flag(co2::warnSaturation));
    } else {
        EXPECT_NE(r.error.find("below the water saturation pressure"), std::string::npos) << r.error;
    }
}

TEST(ModelPoint, MolalityRulesOfTheFiniteConcentrationBlock) {
    const double mSat = evaluate(at(25, 10)).value(Value::sol_m);
    const PointResult zero = evaluate(withMolality(at(25, 10), 0));
    ASSERT_TRUE(zero.hasValues);
    EXPECT_EQ(zero.value(Value::m), 1e-8); // 0 stands for a vanishing concentration
    EXPECT_FALSE(zero.flag(co2::warnMolality));
    const PointResult above = evaluate(withMolality(at(25, 10), mSat * 1.5));
    EXPECT_TRUE(above.flag(co2::warnMolality));
    EXPECT_EQ(above.value(Value::sol_m), mSat); // the solubility does not depend on m
    // Water activity equals (1 - x) * gamma_H2O up to rounding, x = m / (1000/18.0152 + m).
    const double m = above.value(Value::m);
    const double x = m / (1000 / 18.0152 + m);
    EXPECT_NEAR(above.value(Value::a_H2O), (1 - x) * above.value(Value::gamma_H2O), 1e-12);
}

TEST(ModelPoint, RuntimeErrorGivesAnErrorRowAndDoesNotReachTheNextPoint) {
    // Far below the water saturation pressure the solubility comes out negative, and the activity
    // model's logarithm at that molality raises error 5.
    static const ModelEvaluator evaluator;
    auto worker = evaluator.makeWorker();
    PointResult failed, next, fresh;
    worker->evaluate(at(20, 0.001), failed);
    EXPECT_FALSE(failed.hasValues);
    EXPECT_EQ(failed.error.rfind("runtime error 5: Illegal function call (statement ", 0), 0U)
        << failed.error;
    EXPECT_NE(failed.error.find("below the water saturation pressure"), std::string::npos) << failed.error;
    EXPECT_EQ(failed.value(Value::T_C), 20);
    EXPECT_EQ(failed.value(Value::P), 0.001);
    EXPECT_TRUE(std::isnan(failed.value(Value::sol_m)));
    worker->evaluate(at(25, 10), next);
    evaluator.makeWorker()->evaluate(at(25, 10), fresh);
    EXPECT_EQ(next.error, "");
    EXPECT_EQ(next.values, fresh.values);
}

// The curve pressures by the correlations as stated, in bar, evaluated here in long double.
long double curveBar(int curve, long double t) {
    switch (curve) {
    case 1:
        return 34.776L + 0.9208L * t + 0.0086522L * t * t - 0.000022L * t * t * t +
               0.00000503L * t * t * t * t + 0.0000000797L * t * t * t * t * t;
    case 2:
        return 44.97L + 386.57L * t - 128.97L * t * t + 14.845L * t * t * t - 0.70629L * t * t * t * t +
               0.012542L * t * t * t * t * t;
    case 3: {
        const long double T = t + 273.15L;
        return 10 * std::exp(57308.65L / T - 446.88395L + 0.868805L * T);
    }
    default:
        return 0.07965L - 7.3651L * t;
    }
}

TEST(ModelPoint, CurvePressuresFollowTheirCorrelations) {
    EXPECT_DOUBLE_EQ(evaluate(at(0, 0, 1)).value(Value::P), 3.4776); // the constant term at 0 C
    const std::vector<std::pair<int, double>> points = {{1, -1.6}, {1, 10},    {1, 31.48}, {2, 9.93},
                                                        {2, 15},   {2, 20},    {3, -1.48}, {3, 5},
                                                        {3, 9.93}, {4, -1.48}, {4, -0.5},  {4, -0.125}};
    for (const auto& [curve, t] : points) {
        const PointResult r = evaluate(at(t, 0, curve));
        EXPECT_EQ(r.error.find("curve"), std::string::npos) << curve << " " << t << ": " << r.error;
        const double expected = static_cast<double>(curveBar(curve, t) / 10);
        // Option 2's terms nearly cancel, so its sum keeps fewer correct digits.
        EXPECT_NEAR(r.value(Value::P), expected, std::abs(expected) * (curve == 2 ? 1e-9 : 1e-13))
            << "curve " << curve << " at " << t;
    }
    // Curves 3 and 4 meet near -1.48 C.
    EXPECT_NEAR(evaluate(at(-1.48, 0, 3)).value(Value::P), evaluate(at(-1.48, 0, 4)).value(Value::P), 0.01);
}

TEST(ModelPoint, CurveRefusesTemperaturesOutsideItsRange) {
    const std::vector<std::tuple<int, double, bool, std::string>> cases = {
        {1, 31.48001, true, ""}, {1, 31.5, false, "-1.6 - +31.48 C"},
        {2, 9.93, true, ""},     {2, 9.9299, false, "+9.93 - +20.0 C"},
        {2, 20.0, true, ""},     {2, 20.0000001, false, "+9.93 - +20.0 C"},
        {3, 9.93, true, ""},     {3, 9.94, false, "-1.48 - +9.93 C"},
        {4, -0.125, true, ""},   {4, -0.12, false, "-1.48 - -0.125 C"},
    };
    for (const auto& [curve, t, accepted, range] : cases) {
        const PointResult r = evaluate(at(t, 0, curve));
        EXPECT_EQ(r.hasValues, accepted) << curve << " " << t;
        if (!accepted) {
            EXPECT_EQ(r.error,
                      "curve " + std::to_string(curve) + ": TEMPERATURE OUT OF ALLOwABLE RANGE " + range);
            EXPECT_TRUE(std::isnan(r.value(Value::P)));
        }
    }
    // Option 2 passes 100 MPa before 20 C; the point is computed with the pressure warning.
    EXPECT_TRUE(evaluate(at(20, 0, 2)).flag(co2::warnPressure));
}

TEST(ModelPoint, MolalityListGivesTheValuesOfSeparateRuns) {
    // One worker takes the molalities of a state point one after the other (and so continues from
    // the state after the solubility); fresh workers compute each point from the start.
    static const ModelEvaluator evaluator;
    auto worker = evaluator.makeWorker();
    for (const PointSpec& base : {at(25, 10), at(80, 45), at(5, 0, 3)}) {
        for (double m : {-60.0, 0.0, 0.5, 2.5}) {
            PointResult listed, fresh;
            worker->evaluate(withMolality(base, m), listed);
            evaluator.makeWorker()->evaluate(withMolality(base, m), fresh);
            EXPECT_EQ(listed.error, fresh.error);
            EXPECT_EQ(listed.flags, fresh.flags);
            for (std::size_t i = 0; i < kValueCount; ++i)
                EXPECT_TRUE(std::memcmp(&listed.values[i], &fresh.values[i], sizeof(double)) == 0)
                    << base.point.temperature << " C, m " << m << ", value " << i;
        }
    }
}

// Hand-checked against independent data: CO2 critical point 31.0 C, 7.377 MPa and vapour pressure
// 3.97 MPa at 5 C, 3.49 MPa at 0 C (NIST Webbook, Span & Wagner 1996); the clathrate curve 3 at
// 0 C gives 10 exp(57308.65/273.15 - 446.88395 + 0.868805 * 273.15) bar = 1.27 MPa, curve 2 at
// 15 C gives 69.5 MPa (its polynomial evaluated by hand), and no curve reaches above 20 C.
TEST(ModelPoint, Co2PhaseAndHydrateLabels) {
    struct Case {
        double T_C, P;
        Co2Phase phase;
        bool hydrate;
    };
    const Case cases[] = {
        {5, 10, Co2Phase::liquid, true},
        {25, 1, Co2Phase::gas, false},
        {40, 10, Co2Phase::supercritical, false},
        {5, 3.8, Co2Phase::gas, true},
        {5, 4.2, Co2Phase::liquid, true},
        {0, 1.2, Co2Phase::gas, false},
        {0, 1.4, Co2Phase::gas, true},
        {15, 60, Co2Phase::liquid, false},
        {15, 80, Co2Phase::liquid, true},
        {25, 100, Co2Phase::liquid, false},
        {35, 7, Co2Phase::gas, false},
        {35, 7.5, Co2Phase::supercritical, false},
        {-5, 10, Co2Phase::liquid, false}, // below every clathrate curve's range
    };
    for (const Case& c : cases) {
        const PointResult r = evaluate(at(c.T_C, c.P));
        ASSERT_TRUE(r.hasValues) << c.T_C << " C " << c.P << " MPa: " << r.error;
        EXPECT_EQ(co2PhaseName(r.co2Phase), co2PhaseName(c.phase)) << c.T_C << " C " << c.P << " MPa";
        EXPECT_EQ(r.flag(co2::hydrate), c.hydrate) << c.T_C << " C " << c.P << " MPa";
    }
    // On a clathrate curve itself the point counts as in the field.
    EXPECT_TRUE(evaluate(at(5, 0, 3)).flag(co2::hydrate));
}

std::string table(std::vector<std::string> args) {
    static const ModelEvaluator evaluator;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(runTable(args, evaluator, out, err), kExitOk);
    std::rewind(out);
    std::string s;
    for (int ch = std::fgetc(out); ch != EOF; ch = std::fgetc(out))
        s += static_cast<char>(ch);
    std::fclose(out);
    std::fclose(err);
    return s;
}

// The README's first example: 100 C at 0.1 MPa has no liquid water, 0 C at 500 MPa a negative
// solubility; 20 C at 0.001 MPa fails. Pure-water values stay, the solution's go, the inputs show
// as given.
TEST(ModelPoint, UnusablePointsLookUnusable) {
    const std::vector<std::string> grid = {"--temperature", "100,0,20",
                                           "--pressure",    "0.1,500,0.001,1e308",
                                           "--columns",     "T_C,P,rho_H2O,sol_m,m,rho_sol",
                                           "--header",      "names"};
    const std::string s = table(grid);
    EXPECT_NE(s.find("\n100,0.1,0.00058"), std::string::npos) << s; // the vapour's density
    EXPECT_NE(s.find(",,,,no liquid water: pressure below the water saturation pressure,\n"),
              std::string::npos);
    EXPECT_NE(s.find(",,,,negative solubility: outside the model's range,\n"), std::string::npos) << s;
    EXPECT_NE(s.find("\n20,0.001,,,,,,runtime error 5"), std::string::npos) << s; // no m = -55.8
    EXPECT_NE(s.find("\n0,1e+308,,,,,,"), std::string::npos) << s;                // not inf
    EXPECT_EQ(s.find(",-"), std::string::npos); // no negative solubility anywhere

    std::vector<std::string> raw = grid;
    raw.push_back("--raw");
    const std::string r = table(raw);
    EXPECT_NE(r.find("\n0,500,1.1"), std::string::npos) << r;
    EXPECT_NE(r.find(",-7.0"), std::string::npos) << r; // the model's own number, with the note
}

// Each unit system gives the rows of the report's units with every pressure, density and
// temperature cell converted: by a power of ten on the decimal text (checked against strtod of
// the MPa text with its exponent raised), psi by 1 psi = 6894.757293168361 Pa (NIST SP 811). psi
// is checked at the saturation pressure (0), which no typed psi value would hit exactly.
TEST(ModelPoint, EveryColumnOfAKindIsInTheTablesUnit) {
    const struct {
        std::vector<std::string> reference, args;
        int pressureShift, densityShift; // powers of ten; -1: psi
    } cases[] = {
        {{"--temperature", "0:50:12.5", "--pressure", "0,0.5,10"},
         {"--temperature", "273.15:323.15:12.5", "--temperature-unit", "K", "--pressure", "0,5,100",
          "--pressure-unit", "bar"},
         1,
         0},
        {{"--temperature", "0:50:12.5", "--pressure", "0,0.5,10"},
         {"--temperature", "0:50:12.5", "--pressure", "0,500,10000", "--pressure-unit", "kPa",
          "--density-unit", "kg/m3"},
         3,
         3},
        {{"--temperature", "0:50:12.5", "--pressure", "0"},
         {"--temperature", "0:50:12.5", "--pressure", "0", "--pressure-unit", "psi"},
         -1,
         0},
    };
    const auto lines = [](std::vector<std::string> args) {
        args.insert(args.end(), {"--header", "names"});
        std::vector<std::vector<std::string>> rows;
        std::istringstream in(table(args));
        for (std::string line; std::getline(in, line);) {
            std::vector<std::string> cells;
            std::istringstream row(line + ",");
            for (std::string cell; std::getline(row, cell, ',');)
                cells.push_back(cell);
            rows.push_back(cells);
        }
        return rows;
    };
    // The decimal text times 10^k, by moving its exponent.
    const auto shifted = [](const std::string& text, int k) {
        const std::size_t e = text.find('e');
        const int exponent = e == std::string::npos ? 0 : std::stoi(text.substr(e + 1));
        return std::strtod((text.substr(0, e) + "e" + std::to_string(exponent + k)).c_str(), nullptr);
    };
    for (const auto& c : cases) {
        const auto want = lines(c.reference);
        const auto got = lines(c.args);
        ASSERT_EQ(got.size(), want.size());
        const std::vector<std::string>& names = want[0];
        EXPECT_EQ(got[0][0], c.args[3] == "K" ? "T_K" : "T_C");
        int converted = 0;
        for (std::size_t r = 1; r < want.size(); ++r) {
            ASSERT_EQ(got[r].size(), names.size());
            for (std::size_t i = 1; i < names.size(); ++i) {
                const std::string& x = want[r][i];
                const std::string& y = got[r][i];
                const bool pressure =
                    names[i] == "P" || names[i] == "f_H2O" || names[i] == "f_CO2" || names[i] == "kH";
                const int shift = pressure                       ? c.pressureShift
                                  : names[i].starts_with("rho_") ? c.densityShift
                                                                 : 0;
                if (x.empty() || shift == 0) {
                    EXPECT_EQ(y, x) << names[i] << " row " << r;
                    continue;
                }
                ++converted;
                const double mpa = std::strtod(x.c_str(), nullptr);
                if (shift < 0)
                    EXPECT_NEAR(std::strtod(y.c_str(), nullptr), mpa * 1e6 / 6894.757293168361,
                                4e-16 * mpa * 145.04)
                        << names[i] << " row " << r;
                else
                    EXPECT_EQ(std::strtod(y.c_str(), nullptr), shifted(x, shift))
                        << names[i] << " row " << r << ": " << x << " and " << y;
            }
        }
        EXPECT_GE(converted, static_cast<int>(want.size() - 1) * (c.densityShift != 0 ? 6 : 3)) << c.args[5];
    }
}

TEST(ModelPoint, TablesAreTheSameOnOneThreadAndOnSeveral) {
    const ModelEvaluator evaluator;
    const auto runWith = [&](const char* threads) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const int code = runTable({"--temperature", "-1.48:100:12.5", "--pressure", "0,0.001,1:100:33",
                                   "--molality", "0,1,2", "--threads", threads},
                                  evaluator, out, err);
        EXPECT_EQ(code, kExitOk);
        std::rewind(out);
        std::string s;
        for (int ch = std::fgetc(out); ch != EOF; ch = std::fgetc(out))
            s += static_cast<char>(ch);
        std::fclose(out);
        std::fclose(err);
        return s;
    };
    const std::string one = runWith("1");
    EXPECT_EQ(one, runWith("3"));
    EXPECT_NE(one.find("no liquid water"), std::string::npos); // left-out rows are in it too
}

} // namespace
} // namespace co2::table
