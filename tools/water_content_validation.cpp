// water_content_validation: the water content of the CO2-rich phase, y_H2O, of four formulations
// against measured mole fractions.
//
//   water_content_validation DATA.csv [--points OUT.csv]
//
// DATA.csv is docs/data/co2_water_content_measured.csv (a header naming at least source, t_C,
// P_MPa, m_Na, m_Cl, m_K, m_Ca, m_Mg, m_SO4, value). Rows inside the model's range (0-100 C,
// 0.1-100 MPa) with liquid water are computed with
//   sp-rk      Spycher-Pruess-Ennis-King (2003) as published, RK volume;
//   sp-sw      the same with the Span-Wagner volume of pure CO2 and the gas-phase constant;
//   model-rk   this model's liquid water: y = x_H2O f_H2O / (phi_H2O P), phi_H2O from the
//              published RK mixing rule at the RK volume;
//   model-sw   the same, phi_H2O at the Span-Wagner volume (the library's y_H2O).
// and the relative deviations (model minus measurement, over the measurement) summed by study and
// region. Prints Markdown tables of mean absolute / mean signed deviation; --points writes every
// point for the figure (tools/plot_water_content.py). Nothing is fitted to the data.
//
// Exit status: 0 done, 1 the points file could not be written, 2 bad input.
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "co2model.hpp"
#include "model/spycher_pruess.h"

#include "measured_csv.h"

namespace {

constexpr int kForms = 4;
constexpr const char* kFormNames[kForms] = {"sp-rk", "sp-sw", "model-rk", "model-sw"};


struct Sum {
    int n = 0;
    double absolute = 0, signed_ = 0;
    void add(double deviation) {
        ++n;
        absolute += std::fabs(deviation);
        signed_ += deviation;
    }
};

struct Row {
    std::string source, region;
    bool brine = false;
    double t_C = 0, P_MPa = 0, measured = 0;
    double y[kForms] = {};
};

int fail(const std::string& message) {
    std::fprintf(stderr, "water_content_validation: %s\n", message.c_str());
    return 2;
}

void printTable(const char* title, const std::vector<std::string>& keys,
                const std::map<std::string, Sum> (&sums)[kForms]) {
    std::printf("| %s | points |", title);
    for (const char* name : kFormNames)
        std::printf(" %s |", name);
    std::printf("\n|---|---|---|---|---|---|\n");
    for (const std::string& key : keys) {
        std::printf("| %s | %d |", key.c_str(), sums[0].at(key).n);
        for (const auto& s : sums) {
            const Sum& sum = s.at(key);
            std::printf(" %.1f %% / %+.1f %% |", 100 * sum.absolute / sum.n, 100 * sum.signed_ / sum.n);
        }
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    measured::Arguments args;
    if (!measured::parseArguments(argc, argv, args))
        return fail("usage: water_content_validation DATA.csv [--points OUT.csv]");
    const std::string& dataPath = args.data;
    measured::Records records;
    if (const std::string problem = records.open(
            dataPath, {"source", "t_C", "P_MPa", "m_Na", "m_Cl", "m_K", "m_Ca", "m_Mg", "m_SO4", "value"});
        !problem.empty())
        return fail(problem);

    std::vector<Row> rows;
    co2::Evaluator evaluator;
    std::string text, error;
    std::vector<double> v;
    while (records.next(text, v, error)) {
        Row row;
        row.source = text;
        row.t_C = v[1];
        row.P_MPa = v[2];
        row.measured = v[9];
        co2::Brine brine;
        brine.Na = v[3];
        brine.Cl = v[4];
        brine.K = v[5];
        brine.Ca = v[6];
        brine.Mg = v[7];
        brine.SO4 = v[8];
        row.brine = !brine.pure();
        if (row.t_C < 0 || row.t_C > 100 || row.P_MPa < 0.1 || row.P_MPa > 100) continue;
        co2::Point point = co2::Point::at(row.t_C, row.P_MPa);
        point.brine = brine;
        const co2::Result r = evaluator.run(point);
        if (!r.ok()) return fail(records.where() + r.message);
        if (r.flags & co2::noSolubility) continue;
        const double T = row.t_C + 273.15, P = 10 * row.P_MPa;
        const double Vsw = r["V_CO2"];
        const double gamma = row.brine ? r["gamma_salt"] : 1;
        row.y[0] = co2::sp2003::solve(T, P, co2::sp2003::Volume::redlichKwong, 0, brine, gamma).y_H2O;
        row.y[1] = co2::sp2003::solve(T, P, co2::sp2003::Volume::given, Vsw, brine, gamma).y_H2O;
        const double ions = brine.Na + brine.K + brine.Ca + brine.Mg + brine.Cl + brine.SO4;
        const double xCO2 = r["sol_x"] / 100;
        const double xH2O = (1 - xCO2) * 55.508 / (55.508 + ions);
        const double liquidTerm = xH2O * 10 * r["f_H2O"] / P;
        row.y[2] = liquidTerm / std::exp(co2::sp2003::lnPhiRK(T, P, co2::sp2003::rkVolume(T, P)).lnPhiH2O);
        row.y[3] = liquidTerm / std::exp(co2::sp2003::lnPhiRK(T, P, Vsw).lnPhiH2O);
        row.region = row.brine                                 ? "brine"
                     : (r.flags & co2::co2Gas) && row.t_C < 31 ? "below 31 C, CO2 gas"
                                                               : "liquid or supercritical CO2, or above 31 C";
        rows.push_back(row);
    }
    if (!error.empty()) return fail(error);

    std::vector<std::string> studies, regions;
    std::map<std::string, Sum> byStudy[kForms], byRegion[kForms];
    const auto note = [](std::vector<std::string>& keys, const std::string& key) {
        for (const std::string& k : keys)
            if (k == key) return;
        keys.push_back(key);
    };
    for (const Row& row : rows) {
        const std::string study = row.brine ? row.source + " (brine)" : row.source;
        note(studies, study);
        note(regions, row.region);
        if (!row.brine) note(regions, "all binary");
        for (int k = 0; k < kForms; ++k) {
            const double d = (row.y[k] - row.measured) / row.measured;
            byStudy[k][study].add(d);
            byRegion[k][row.region].add(d);
            if (!row.brine) byRegion[k]["all binary"].add(d);
        }
    }
    printTable("study", studies, byStudy);
    std::printf("\n");
    printTable("region", regions, byRegion);

    if (!args.points.empty()) {
        const std::string failed = measured::writeReplacing(args.points, [&](std::FILE* out) {
            std::fprintf(out, "source,brine,t_C,P_MPa,y_H2O");
            for (const char* name : kFormNames)
                std::fprintf(out, ",%s", name);
            std::fprintf(out, "\n");
            for (const Row& row : rows) {
                std::fprintf(out, "%s,%d,%.17g,%.17g,%.17g", row.source.c_str(), row.brine ? 1 : 0, row.t_C,
                             row.P_MPa, row.measured);
                for (double y : row.y)
                    std::fprintf(out, ",%.17g", y);
                std::fprintf(out, "\n");
            }
        });
        if (!failed.empty()) {
            std::fprintf(stderr, "water_content_validation: cannot write %s\n", failed.c_str());
            return 1;
        }
    }
    return 0;
}
