// Statement numbers are what an error box shows as "Line:" and what stored tables pin. Each is
// written at its call; this reads the sources and holds the numbers to their rules: unique across
// the program, inside the range of the module that raises them, and never computed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/report_layout.h"
#include "model/quantities.h"
#include "model/statements.h"

namespace co2 {
namespace {

struct ModuleFile {
    const char* path;
    Module module;
};

constexpr ModuleFile kFiles[] = {
    {"app/calculator.cpp", Module::calculator},
    {"app/report.cpp", Module::report},
    {"model/phase_curves.cpp", Module::phaseCurves},
    {"model/water.cpp", Module::water},
    {"model/co2.cpp", Module::co2},
    {"model/aqueous.cpp", Module::aqueous},
    {"model/solubility.cpp", Module::solubility},
};

std::string readSource(const std::string& relative) {
    std::ifstream in(std::string(CO2_SOURCE_DIR) + "/" + relative);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The arguments of every call `done(...)` in `text`, in order.
std::vector<std::string> doneArguments(const std::string& text) {
    std::vector<std::string> arguments;
    const std::string_view call = "done(";
    for (std::size_t at = text.find(call); at != std::string::npos; at = text.find(call, at + 1)) {
        const char before = at > 0 ? text[at - 1] : ' ';
        if (std::isalnum(static_cast<unsigned char>(before)) != 0 || before == '_') continue;
        const std::size_t open = at + call.size();
        const std::size_t close = text.find(')', open);
        arguments.push_back(text.substr(open, close == std::string::npos ? std::string::npos : close - open));
    }
    return arguments;
}

bool isLiteral(const std::string& argument) {
    return !argument.empty() && std::all_of(argument.begin(), argument.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

TEST(StatementNumbers, AreLiteralUniqueAndInTheirModulesRange) {
    std::map<unsigned long, std::string> seen;
    for (const ModuleFile& file : kFiles) {
        const std::string text = readSource(file.path);
        ASSERT_FALSE(text.empty()) << file.path;
        const auto first = static_cast<unsigned long>(file.module);
        std::size_t calls = 0;
        for (const std::string& argument : doneArguments(text)) {
            ASSERT_TRUE(isLiteral(argument)) << file.path << ": done(" << argument << ")";
            const unsigned long number = std::stoul(argument);
            EXPECT_GE(number, first) << file.path;
            EXPECT_LT(number, first + kModuleRange) << file.path;
            const auto [where, inserted] = seen.emplace(number, file.path);
            EXPECT_TRUE(inserted) << "statement " << number << " in " << file.path << " and "
                                  << where->second;
            ++calls;
        }
        EXPECT_GT(calls, 0U) << file.path;
    }

    // The report's lines of the quantity table carry their numbers in the table: the report's
    // range, clear of every number written at a call. A row of a loop may share its number with
    // the other rows of that loop (the activity block's lines), nothing else.
    const auto first = static_cast<unsigned long>(Module::report);
    std::map<unsigned long, std::string> table;
    for (const ReportLine& q : kReportLines) {
        for (const std::uint32_t number : {q.screen.statement, q.file.statement, q.valueStatement}) {
            if (number == 0) continue;
            EXPECT_GE(number, first) << q.name;
            EXPECT_LT(number, first + kModuleRange) << q.name;
            EXPECT_EQ(seen.count(number), 0U)
                << "statement " << number << " of " << q.name << " is also at a call in " << seen[number];
            const auto [where, inserted] = table.emplace(number, std::string(q.name));
            EXPECT_TRUE(inserted || q.block == ReportBlock::solution)
                << "statement " << number << " of " << q.name << " and " << where->second;
        }
    }
}

} // namespace
} // namespace co2
