// The regression reference (data/model_regression.csv): every model variable, as %a, at state points
// spread over the whole range, with the errors the calculator's run raised. The regression test
// compares the model with it bit for bit, the library test rebuilds each row's model state from
// it; both read it here, so the file's layout is parsed in one place.
#pragma once

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "model/model.h"
#include "model_variables.h"

namespace co2::reference {

inline std::string path() {
    return std::string(CO2_TEST_DATA_DIR) + "/model_regression.csv";
}

inline std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, ','))
        fields.push_back(field);
    return fields;
}

// The five inputs of a row precede the variables.
inline constexpr std::size_t kInputColumns = 5;

struct Row {
    double T_C = 0, P = 0;
    int curve = 0;                   // 0: the pressure is given
    double molality = 0;             // -1: at the solubility (Enter at the prompt)
    std::string errors;              // "code@statement;..." or "-"
    std::vector<std::string> values; // the variables' texts, in the header's order
    std::string line;

    // The model state the calculator's run left, rebuilt from the variables.
    std::unique_ptr<Model> model() const {
        auto md = std::make_unique<Model>();
        std::size_t i = 0;
#define CO2_READ(v) md->v = std::strtod(values.at(i++).c_str(), nullptr);
        CO2_MODEL_VARIABLES(CO2_READ)
#undef CO2_READ
        return md;
    }
};

struct Table {
    bool opened = false;
    std::vector<std::string> variables; // the header's names after the inputs
    std::vector<Row> rows;
};

inline Table read() {
    Table table;
    std::ifstream in(path());
    table.opened = static_cast<bool>(in);
    std::string line;
    std::getline(in, line); // provenance
    std::getline(in, line);
    const std::vector<std::string> header = split(line);
    if (header.size() > kInputColumns) table.variables.assign(header.begin() + kInputColumns, header.end());
    while (std::getline(in, line)) {
        std::vector<std::string> f = split(line);
        Row row;
        row.line = line;
        if (f.size() >= kInputColumns) {
            row.T_C = std::strtod(f[0].c_str(), nullptr);
            row.P = std::strtod(f[1].c_str(), nullptr);
            row.curve = std::atoi(f[2].c_str());
            row.molality = std::strtod(f[3].c_str(), nullptr);
            row.errors = f[4];
            row.values.assign(f.begin() + kInputColumns, f.end());
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

} // namespace co2::reference
