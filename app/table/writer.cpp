#include "app/table/writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace co2::table {
namespace {

// The inputs of a point: shown even on a row whose computation failed, so the row can be told
// apart from its neighbours.
bool isInput(const Column& column) {
    return column.kind == ColumnKind::value && (column.index == static_cast<std::uint8_t>(Value::T_C) ||
                                                column.index == static_cast<std::uint8_t>(Value::P) ||
                                                column.index == static_cast<std::uint8_t>(Value::m));
}

std::string oneLine(std::string_view text) {
    std::string s(text);
    for (char& ch : s)
        if (ch == '\t' || ch == '\n' || ch == '\r') ch = ' ';
    return s;
}

} // namespace

bool RowWriter::hasCell(const Column& column, const PointResult& point) const {
    switch (column.kind) {
    case ColumnKind::value:
        // The model leaves out (NaN) what describes no real solution, unless asked for the raw numbers.
        if (!point.hasValues) return isInput(column) && !std::isnan(point.values[column.index]);
        return !std::isnan(point.values[column.index]);
    case ColumnKind::flag:
        return point.hasValues;
    case ColumnKind::phase:
        return point.hasValues && point.co2Phase != Co2Phase::none;
    case ColumnKind::note:
        return !point.note.empty();
    case ColumnKind::error:
        return !point.error.empty();
    }
    return false;
}

std::optional<Format> parseFormat(std::string_view name) {
    if (name == "csv") return Format::csv;
    if (name == "tsv") return Format::tsv;
    if (name == "json") return Format::json;
    if (name == "csp11") return Format::csp11;
    return std::nullopt;
}

void appendRoundedNumber(std::string& out, double value, int digits) {
    char buffer[40];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general,
                                 std::min(digits, 17));
    out.append(buffer, r.ptr);
}

std::string numberText(double value, int digits) {
    std::string s;
    appendNumber(s, value, digits);
    return s;
}

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string s = "\"";
    for (char ch : text) {
        if (ch == '"') s += '"';
        s += ch;
    }
    s += '"';
    return s;
}

std::string jsonString(std::string_view text) {
    std::string s = "\"";
    for (unsigned char ch : text) {
        switch (ch) {
        case '"':
            s += "\\\"";
            break;
        case '\\':
            s += "\\\\";
            break;
        case '\n':
            s += "\\n";
            break;
        case '\r':
            s += "\\r";
            break;
        case '\t':
            s += "\\t";
            break;
        default:
            if (ch < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", ch);
                s += buffer;
            } else {
                s += static_cast<char>(ch);
            }
        }
    }
    s += '"';
    return s;
}

RowWriter::RowWriter(Format format, std::vector<const Column*> columns, std::string version, TableStyle style)
    : format_(format), columns_(std::move(columns)), version_(std::move(version)), style_(style) {}

std::string RowWriter::header() const {
    if (format_ == Format::csp11) return preamble_;
    std::string out;
    if (format_ == Format::json) {
        out = "{\n  \"program\": \"co2table\",\n  \"version\": " + jsonString(version_) +
              ",\n  \"columns\": [\n";
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const Column& c = *columns_[i];
            out += "    {\"name\": " + jsonString(columnName(c, style_.units));
            if (const std::string_view unit = columnUnit(c, style_.units); !unit.empty())
                out += ", \"unit\": " + jsonString(unit);
            out += ", \"description\": " + jsonString(c.description) + "}";
            out += i + 1 < columns_.size() ? ",\n" : "\n";
        }
        out += "  ],\n  \"rows\": [";
        return out;
    }
    if (style_.header == HeaderStyle::none) return out;
    const char separator = format_ == Format::csv ? ',' : '\t';
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (i > 0) out += separator;
        const std::string text = style_.header == HeaderStyle::names
                                     ? std::string(columnName(*columns_[i], style_.units))
                                     : headerText(*columns_[i], style_.units);
        out += format_ == Format::csv ? csvField(text) : text;
    }
    out += '\n';
    return out;
}

void RowWriter::appendRow(std::string& out, const PointResult& point, bool first) const {
    if (format_ == Format::csp11) {
        char line[128];
        std::snprintf(line, sizeof line, " %.11e,   %.11e, %.11e, %.11e\n", point.value(Value::T_C),
                      point.value(Value::P) * 1e6, point.value(Value::y_H2O),
                      point.value(Value::sol_x) / 100);
        out += line;
        return;
    }
    if (format_ == Format::json)
        appendJsonRow(out, point, first);
    else
        appendCsvRow(out, point, format_ == Format::csv ? ',' : '\t');
}

void RowWriter::appendCsvRow(std::string& out, const PointResult& point, char separator) const {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (i > 0) out += separator;
        const Column& c = *columns_[i];
        if (!hasCell(c, point)) continue;
        switch (c.kind) {
        case ColumnKind::value:
            appendNumber(out, point.values[c.index], style_.digits);
            break;
        case ColumnKind::flag:
            out += point.flag(1u << c.index) ? '1' : '0';
            break;
        case ColumnKind::phase:
            out += co2PhaseName(point.co2Phase);
            break;
        case ColumnKind::note:
            out += separator == ',' ? csvField(oneLine(point.note)) : oneLine(point.note);
            break;
        case ColumnKind::error:
            out += separator == ',' ? csvField(oneLine(point.error)) : oneLine(point.error);
            break;
        }
    }
    out += '\n';
}

void RowWriter::appendJsonRow(std::string& out, const PointResult& point, bool first) const {
    out += first ? "\n    {" : ",\n    {";
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const Column& c = *columns_[i];
        if (i > 0) out += ", ";
        out += jsonString(columnName(c, style_.units));
        out += ": ";
        if (!hasCell(c, point)) {
            out += "null";
            continue;
        }
        switch (c.kind) {
        case ColumnKind::value:
            if (std::isfinite(point.values[c.index]))
                appendNumber(out, point.values[c.index], style_.digits);
            else
                out += "null"; // JSON has no infinities; the error column says why
            break;
        case ColumnKind::flag:
            out += point.flag(1u << c.index) ? "true" : "false";
            break;
        case ColumnKind::phase:
            out += jsonString(co2PhaseName(point.co2Phase));
            break;
        case ColumnKind::note:
            out += jsonString(point.note);
            break;
        case ColumnKind::error:
            out += jsonString(point.error);
            break;
        }
    }
    out += '}';
}

std::string RowWriter::footer() const {
    return format_ == Format::json ? "\n  ]\n}\n" : std::string();
}

} // namespace co2::table
