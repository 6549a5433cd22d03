// brine_validation: the model's CO2 solubility in brines against measured solubilities.
//
//   brine_validation DATA.csv [--points OUT.csv]
//
// DATA.csv is docs/data/co2_brine_measured.csv (a header naming at least salt, m_salt, T_K, P_MPa,
// m_Na, m_K, m_Ca, m_Mg, m_Cl, m_SO4, m_CO2). Every row is computed at its temperature and total
// pressure with each salt model that takes its salt, and the relative deviations (model minus
// measurement, over the measurement) are summed per salt and salt model. Prints a Markdown table
// of the mean absolute and mean signed deviations; --points writes every point's computed
// molalities for the figure (tools/plot_brine_validation.py). Nothing is fitted to the data.
//
// Exit status: 0 done, 1 the points file could not be written, 2 bad input.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "co2model.hpp"
#include "model/brine.h"

#include "measured_csv.h"

namespace {

constexpr co2::SaltModel kModels[] = {co2::SaltModel::duanSun2003, co2::SaltModel::rumpf1994,
                                      co2::SaltModel::spycherPruess2010};
constexpr int kModelCount = 3;


struct Row {
    std::string salt;
    double m_salt = 0, T_K = 0, P_MPa = 0, measured = 0;
    co2::Brine brine;
    double pure = NAN;
    double model[kModelCount] = {NAN, NAN, NAN};
};

struct Sum {
    int n = 0;
    double absolute = 0, signed_ = 0;
    void add(double deviation) {
        ++n;
        absolute += std::fabs(deviation);
        signed_ += deviation;
    }
};

int fail(const std::string& message) {
    std::fprintf(stderr, "brine_validation: %s\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    measured::Arguments args;
    if (!measured::parseArguments(argc, argv, args))
        return fail("usage: brine_validation DATA.csv [--points OUT.csv]");
    const std::string& dataPath = args.data;
    measured::Records records;
    if (const std::string problem = records.open(dataPath, {"salt", "m_salt", "T_K", "P_MPa", "m_Na", "m_K",
                                                            "m_Ca", "m_Mg", "m_Cl", "m_SO4", "m_CO2"});
        !problem.empty())
        return fail(problem);

    std::vector<Row> rows;
    co2::Evaluator evaluator;
    std::string text, error;
    std::vector<double> v;
    while (records.next(text, v, error)) {
        Row row;
        row.salt = text;
        row.m_salt = v[1];
        row.T_K = v[2];
        row.P_MPa = v[3];
        row.brine.Na = v[4];
        row.brine.K = v[5];
        row.brine.Ca = v[6];
        row.brine.Mg = v[7];
        row.brine.Cl = v[8];
        row.brine.SO4 = v[9];
        row.measured = v[10];
        if (const std::string problem = co2::brineProblem(row.brine); !problem.empty())
            return fail(records.where() + problem);

        // The same temperature in C as co2table is given for a measured point.
        const co2::Result r = evaluator.evaluate(row.T_K - 273.15, row.P_MPa);
        if (!r.ok()) return fail(records.where() + r.message);
        row.pure = r["sol_m"];
        for (int k = 0; k < kModelCount; ++k) {
            co2::Brine b = row.brine;
            b.model = kModels[k];
            if (co2::brineProblem(b).empty())
                row.model[k] = co2::brineSolubility(b, row.T_K, row.P_MPa, row.pure).sol_m;
        }
        rows.push_back(row);
    }
    if (!error.empty()) return fail(error);

    // Salts in the order they first appear.
    std::vector<std::string> salts;
    std::map<std::string, Sum> sums[kModelCount];
    for (const Row& row : rows) {
        if (std::find(salts.begin(), salts.end(), row.salt) == salts.end()) salts.push_back(row.salt);
        for (int k = 0; k < kModelCount; ++k)
            if (!std::isnan(row.model[k]))
                sums[k][row.salt].add((row.model[k] - row.measured) / row.measured);
    }

    std::printf(
        "| salt | points | Duan-Sun 2003 | Rumpf 1994 | Spycher-Pruess 2010 |\n|---|---|---|---|---|\n");
    for (const std::string& salt : salts) {
        std::printf("| %s | %d |", salt.c_str(), sums[0][salt].n);
        for (int k = 0; k < kModelCount; ++k) {
            const auto it = sums[k].find(salt);
            if (it == sums[k].end())
                std::printf(" - |");
            else
                std::printf(" %.1f %% / %+.1f %% |", 100 * it->second.absolute / it->second.n,
                            100 * it->second.signed_ / it->second.n);
        }
        std::printf("\n");
    }

    if (!args.points.empty()) {
        const std::string failed = measured::writeReplacing(args.points, [&](std::FILE* out) {
            std::fprintf(out, "salt,m_salt,T_K,P_MPa,m_CO2,m_pure,m_%s,m_%s,m_%s\n",
                         co2::saltModelName(kModels[0]), co2::saltModelName(kModels[1]),
                         co2::saltModelName(kModels[2]));
            for (const Row& row : rows) {
                std::fprintf(out, "%s,%.17g,%.17g,%.17g,%.17g,%.17g", row.salt.c_str(), row.m_salt, row.T_K,
                             row.P_MPa, row.measured, row.pure);
                for (double m : row.model)
                    if (std::isnan(m))
                        std::fprintf(out, ",");
                    else
                        std::fprintf(out, ",%.17g", m);
                std::fprintf(out, "\n");
            }
        });
        if (!failed.empty()) {
            std::fprintf(stderr, "brine_validation: cannot write %s\n", failed.c_str());
            return 1;
        }
    }
    return 0;
}
