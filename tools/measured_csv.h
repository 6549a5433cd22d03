// The measured-data files the validation tools read: one CSV record a line (fields may be quoted),
// and numbers that must be whole finite numbers or the row is left out.
#pragma once

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace measured {

inline std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (char c : line) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted) {
            fields.push_back(field);
            field.clear();
        } else if (c != '\r')
            field += c;
    }
    fields.push_back(field);
    return fields;
}

inline bool readNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && errno == 0 && std::isfinite(value);
}

} // namespace measured
