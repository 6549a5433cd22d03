// co2table against the calculator itself: the calculator runs headless on scripted keys, its
// CO2out.txt is read back, and every line of every report must equal the same label with the
// table's %.17g value put through the same picture template by the runtime's formatter.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

#include "app/table/ranges.h"
#include "core/number_format.h"

namespace {

namespace fs = std::filesystem;

#if defined(CO2CALC_BINARY)

struct Case {
    std::string T; // as typed
    std::string P; // as typed; empty for a curve
    int curve = 0;
    std::string m; // as typed at the molality prompt; empty: Enter
};

// One line of the file report: its label, the table column that holds its value, the picture
// template, and whether the calculator prints the value through the extended path. Empty column:
// a text line.
struct Line {
    std::string label;
    std::string column;
    std::string picture;
    bool extended = false;
};

const std::vector<Line>& reportLines() {
    static const std::vector<Line> lines = {
        {" Temperature (in C) = ", "T_C", " ###.###"},
        {"", "", ""}, // how the pressure was obtained
        {" Total Pressure (in MPa) = ", "P", " ###.###### "},
        {"                     Properties of pure H2O ", "", ""},
        {"    d(H2O) = ", "rho_H2O", " ##.#########"},
        {"    V(H2O) =", "V_H2O", " #######.####"},
        {"    S(H2O) = ", "S_H2O", " ######.##### "},
        {"   Cp(H2O) = ", "Cp_H2O", " #####.###### "},
        {"    g(H2O) = ", "g_H2O", " ########.### "},
        {"    h(H2O) = ", "h_H2O", " ########.### "},
        {"    f(H2O) = ", "f_H2O", " #######.#### ", true},
        {"    fugacity Coeff. =", "phi_H2O", " ####.######## ", true},
        {" Mole fraction of CO2 in vapour phase (rough estimate) = ", "y_CO2_vap", " ##.#### "},
        {"                     Properties of pure CO2 ", "", ""},
        {"    d(CO2) = ", "rho_CO2", " ##.#########"},
        {"    V(CO2) =", "V_CO2", " #######.####"},
        {"    S(CO2) = ", "S_CO2", " ######.##### "},
        {"   Cp(CO2) = ", "Cp_CO2", " #####.###### "},
        {"    g(CO2) = ", "g_CO2", " ########.### "},
        {"    h(CO2) = ", "h_CO2", " ########.### "},
        {"    f(CO2) = ", "f_CO2", " #######.#### "},
        {"    fugacity Coeff. =", "phi_CO2", " ####.######## ", true},
        {"             Partial molar properties of CO2 in solution", "", ""},
        {" At infinite dilution ", "", ""},
        {"    Henry = ", "kH", "#######.#", true},
        {"    ln(kH, MPa) = ", "ln_kH", "###.####"},
        {"    Gaq = ", "Gaq", "#######.#"},
        {"    S2 = ", "S2", "#####.###"},
        {"    V2 = ", "V2", " #####.##"},
        {"    Cp2 = ", "Cp2", "#####.###"},
        {"  CO2 solubility  in mol%        =  ", "sol_x", "  ###.##### "},
        {"  CO2 solubility  in mol/kg H2O  =  ", "sol_m", " ###.##### "},
        {"  CO2 solubility  in g/kg H2O    =  ", "sol_g", " #####.### "},
        {" At finite concentration =  ", "m", "  ##.#####  "},
        {"      Activity coefficient of CO2 (molal scale)      ", "gamma_CO2", "     ##.###", true},
        {"      Osmotic coefficient of H2O                     ", "phi_osm", "     ##.###"},
        {"      Activity of H2O                                ", "a_H2O", "     ##.#####", true},
        {"      Activity coefficient of H2O (mol. frac. scale) ", "gamma_H2O", "     ##.#####", true},
        {"      Excess H2O entropy                             ", "Sex_H2O", "   ####.####"},
        {"      Excess H2O heat capacity                       ", "Cpex_H2O", "   ####.####"},
        {"      Excess CO2 entropy                             ", "Sex_CO2", "   ####.####"},
        {"      Excess CO2 heat capacity                       ", "Cpex_CO2", "   ####.####"},
        {"      Excess solution volume                         ", "Vex", "  #####.####"},
        {"      Bulk solution volume                           ", "V_sol", "    ###.#####"},
        {"      Density of solution                            ", "rho_sol", "     ##.######"},
    };
    return lines;
}

const char* const kCurveNames[] = {"H2O(l)-CO2(l)-CO2(v)", "Clathrate-H2O(l)-CO2(l)",
                                   "Clathrate-H2O(l)-CO2(v)", "H2O(l)-H2O(ice)-CO2(v)"};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find(separator, begin)) != std::string::npos;
         begin = end + separator.size())
        parts.push_back(text.substr(begin, end - begin));
    if (begin < text.size()) parts.push_back(text.substr(begin));
    return parts;
}

// The table row of one case, by column name, from the co2table program's CSV.
std::map<std::string, std::string> tableRow(const fs::path& dir, const Case& c) {
    std::string command = std::string(CO2TABLE_BINARY) + " --temperature " + c.T;
    command += c.curve != 0 ? " --curve " + std::to_string(c.curve) : " --pressure " + c.P;
    if (!c.m.empty()) command += " --molality " + c.m;
    command += " --output " + (dir / "row.csv").string();
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<std::string> lines = split(readFile(dir / "row.csv"), "\n");
    EXPECT_EQ(lines.size(), 2U);
    std::map<std::string, std::string> row;
    if (lines.size() != 2) return row;
    const std::vector<std::string> names = split(lines[0], ",");
    const std::vector<std::string> cells = split(lines[1] + ",", ",");
    for (std::size_t i = 0; i < names.size() && i < cells.size(); ++i)
        row[names[i].substr(0, names[i].find(" ["))] = cells[i];
    return row;
}

TEST(AgainstCalculator, EveryReportLineMatchesTemplateByTemplate) {
    std::vector<Case> cases;
    for (const char* T : {"-1.48", "0", "4.85", "25", "31.04", "50", "75", "100"})
        for (const char* P : {"0", "0.5", "1", "7.5", "10", "30", "100"})
            cases.push_back({T, P, 0, ""});
    cases.push_back({"25", "10", 0, "0"});
    cases.push_back({"25", "10", 0, "0.5"});
    cases.push_back({"60", "20", 0, "3"});
    cases.push_back({"10", "", 1, ""});
    cases.push_back({"-1.6", "", 1, ""});
    cases.push_back({"31.48", "", 1, "1"});
    cases.push_back({"15", "", 2, ""});
    cases.push_back({"5", "", 3, ""});
    cases.push_back({"-1", "", 4, ""});

    const fs::path dir = fs::temp_directory_path() / ("co2table_vs_calc_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string keys = "x"; // the start-up screen waits for any key
    for (const Case& c : cases) {
        keys += std::to_string(c.curve) + "\n" + c.T + "\n";
        if (c.curve == 0) keys += c.P + "\n";
        keys += c.m + "\n";
    }
    std::ofstream(dir / "keys.txt") << keys;
    const std::string command = "cd '" + dir.string() + "' && timeout 300 " + CO2CALC_BINARY +
                                " --headless < keys.txt > screen.txt 2> boxes.txt";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir / "boxes.txt");
    EXPECT_EQ(readFile(dir / "boxes.txt"), ""); // no error box in any of these passes

    std::vector<std::string> file = split(readFile(dir / "CO2out.txt"), "\r\n");
    ASSERT_EQ(file.size(), 1 + 45 * cases.size());
    const auto& lines = reportLines();
    ASSERT_EQ(lines.size(), 45U);
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const Case& c = cases[k];
        const std::map<std::string, std::string> row = tableRow(dir, c);
        ASSERT_EQ(row.at("error"), "") << c.T << " " << c.P;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string& actual = file[1 + 45 * k + i];
            const Line& line = lines[i];
            std::string expected = line.label;
            if (i == 1) {
                expected = c.curve == 0
                               ? " Pressure is independent variable "
                               : std::string(" Pressure along the ") + kCurveNames[c.curve - 1] + " curve ";
            } else if (!line.column.empty()) {
                const auto value = co2::table::parseNumber(row.at(line.column));
                ASSERT_TRUE(value) << line.column << " = " << row.at(line.column);
                expected += line.extended
                                ? core::formatExtended(line.picture, static_cast<core::ext>(*value)).text
                                : core::formatDouble(line.picture, *value).text;
            }
            EXPECT_EQ(actual, expected) << "T " << c.T << ", P " << c.P << ", curve " << c.curve << ", m '"
                                        << c.m << "', line " << i + 1 << ", column " << line.column;
        }
    }
    fs::remove_all(dir);
}

#else

TEST(AgainstCalculator, EveryReportLineMatchesTemplateByTemplate) {
    GTEST_SKIP() << "the calculator is not built in this tree";
}

#endif

} // namespace
