// Rows as CSV, TSV or JSON text.
//
// Every number is written with 17 significant digits (printf's %.17g), which reads back as the
// very double the model computed, so a table carries the calculator's values before any
// template rounding.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/table/columns.h"
#include "app/table/point.h"

namespace co2::table {

enum class Format { csv, tsv, json };

std::optional<Format> parseFormat(std::string_view name);

// Appends a double as %.17g; "nan"/"inf" as C prints them.
void appendNumber(std::string& out, double value);

class RowWriter {
  public:
    RowWriter(Format format, std::vector<const Column*> columns, std::string version);

    std::string header() const;
    // Appends one row; `first` tells JSON whether a separator is due.
    void appendRow(std::string& out, const PointResult& point, bool first) const;
    std::string footer() const;

  private:
    void appendCsvRow(std::string& out, const PointResult& point, char separator) const;
    void appendJsonRow(std::string& out, const PointResult& point, bool first) const;

    Format format_;
    std::vector<const Column*> columns_;
    std::string version_;
};

// RFC 4180 field: quoted when it holds a comma, a quote or a line break.
std::string csvField(std::string_view text);
// JSON string literal with its quotes.
std::string jsonString(std::string_view text);

} // namespace co2::table
