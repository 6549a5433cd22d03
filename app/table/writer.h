// Rows as CSV, TSV or JSON text.
//
// Every number is written as the shortest text that reads back as the very double the model
// computed (0.1, not 0.10000000000000001), so a table carries the calculator's values before any
// template rounding; --digits N rounds to N significant digits instead.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/table/columns.h"
#include "app/table/point.h"
#include "app/table/shortest.h"

namespace co2::table {

// csp11: the solubility table of the 11th SPE Comparative Solution Project (a commented header,
// then T in C, P in Pa, y_H2O and x_CO2, each as %.11e).
enum class Format { csv, tsv, json, csp11 };

std::optional<Format> parseFormat(std::string_view name);

// Appends a double rounded to `digits` significant digits (as %.Ng); "nan"/"inf" as C prints them.
void appendRoundedNumber(std::string& out, double value, int digits);

// Appends a double: the shortest text that reads back as the same double when `digits` is 0,
// else rounded to that many significant digits (as %.Ng). Inline: a table row appends dozens.
inline void appendNumber(std::string& out, double value, int digits = 0) {
    if (digits > 0) {
        appendRoundedNumber(out, value, digits);
        return;
    }
    char buffer[kShortestBufferSize];
    out.append(buffer, writeShortest(buffer, value));
}
std::string numberText(double value, int digits = 0);

// The CSV/TSV header line: names with units ("sol_m [mol/kg]"), plain names, or none.
enum class HeaderStyle { units, names, none };

struct TableStyle {
    int digits = 0; // 0: shortest round-trip text
    HeaderStyle header = HeaderStyle::units;
    bool raw = false; // show the solution columns even where a note says they are unusable
    Units units;
};

class RowWriter {
  public:
    RowWriter(Format format, std::vector<const Column*> columns, std::string version, TableStyle style = {});

    // The csp11 format's header lines, which name the model and the grid.
    void setPreamble(std::string preamble) { preamble_ = std::move(preamble); }
    std::string header() const;
    // Appends one row; `first` tells JSON whether a separator is due.
    void appendRow(std::string& out, const PointResult& point, bool first) const;
    std::string footer() const;

  private:
    void appendCsvRow(std::string& out, const PointResult& point, char separator) const;
    void appendJsonRow(std::string& out, const PointResult& point, bool first) const;

    Format format_;
    bool hasCell(const Column& column, const PointResult& point) const;

    std::vector<const Column*> columns_;
    std::string version_;
    TableStyle style_;
    std::string preamble_;
};

// RFC 4180 field: quoted when it holds a comma, a quote or a line break.
std::string csvField(std::string_view text);
// JSON string literal with its quotes.
std::string jsonString(std::string_view text);

} // namespace co2::table
