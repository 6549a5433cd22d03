// The manual's column table (docs/co2table.md) names every quantity of the model's table once,
// with its unit, and nothing else: a quantity added to the table must reach the manual too.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "app/table/columns.h"

namespace co2::table {
namespace {

TEST(ColumnsDoc, NamesEveryQuantityOnceWithItsUnit) {
    std::ifstream in(CO2_DOCS_DIR "/co2table.md");
    ASSERT_TRUE(in);
    std::stringstream text;
    text << in.rdbuf();
    const std::string doc = text.str();
    const std::size_t begin = doc.find("| columns | unit |");
    ASSERT_NE(begin, std::string::npos);
    const std::size_t end = doc.find("\n\n", begin);
    std::stringstream table(doc.substr(begin, end - begin));

    std::map<std::string, std::string> documented; // name: the unit cell, without its remark
    for (std::string row; std::getline(table, row);) {
        if (!row.starts_with("| `")) continue;
        const std::size_t bar = row.find(" | ");
        ASSERT_NE(bar, std::string::npos) << row;
        std::string names = row.substr(2, bar - 2);
        std::string unit = row.substr(bar + 3, row.rfind(" |") - bar - 3);
        unit = unit.substr(0, unit.find(" ("));
        names = names.substr(0, names.find(" (or ")); // `T_C` (or `T_K`): the kelvin form
        // Every `name` in back quotes.
        for (std::size_t open = names.find('`'); open != std::string::npos;
             open = names.find('`', open + 1)) {
            const std::size_t close = names.find('`', open + 1);
            if (close == std::string::npos) break;
            const std::string quoted = names.substr(open + 1, close - open - 1);
            EXPECT_TRUE(documented.emplace(quoted, unit).second) << quoted << " is listed twice";
            open = close;
        }
    }
    for (const Quantity& q : kQuantities) {
        const auto found = documented.find(std::string(q.name));
        ASSERT_NE(found, documented.end()) << q.name << " is missing from the manual's column table";
        EXPECT_EQ(found->second, q.unit) << q.name;
        documented.erase(found);
    }
    EXPECT_TRUE(documented.empty()) << documented.begin()->first << " is no quantity of the model";
}

} // namespace
} // namespace co2::table
