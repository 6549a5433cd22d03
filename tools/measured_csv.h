// The measured-data files the validation tools read: one CSV record a line (fields may be quoted),
// and numbers that must be whole finite numbers or the row is left out. Also what both tools share
// around them: their command line and the points file they write for a figure.
#pragma once

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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

// The tools' command line: DATA.csv [--points OUT.csv]. False on anything else.
struct Arguments {
    std::string data, points;
};
inline bool parseArguments(int argc, char** argv, Arguments& a) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--points" && i + 1 < argc)
            a.points = argv[++i];
        else if (a.data.empty() && !arg.empty() && arg[0] != '-')
            a.data = arg;
        else
            return false;
    }
    return !a.data.empty();
}

// A data file as records of named columns: the first column's text, the others as numbers.
class Records {
  public:
    // Opens `path` and finds the columns by name; the message of what went wrong, else empty.
    std::string open(const std::string& path, std::vector<const char*> names) {
        path_ = path;
        names_ = std::move(names);
        in_.open(path);
        if (!in_) return "cannot read " + path;
        std::string line;
        if (!std::getline(in_, line)) return path + " is empty";
        const std::vector<std::string> header = splitCsv(line);
        width_ = header.size();
        columns_.assign(names_.size(), width_);
        for (std::size_t k = 0; k < names_.size(); ++k) {
            for (std::size_t c = 0; c < header.size(); ++c)
                if (header[c] == names_[k]) columns_[k] = c;
            if (columns_[k] == width_) return path + " has no column " + names_[k];
        }
        return {};
    }

    // The next record: false at the end of the file, or with `error` set for a record that is
    // not one. numbers[k] is column k's number (numbers[0], the text column's, is 0).
    bool next(std::string& text, std::vector<double>& numbers, std::string& error) {
        std::string line;
        do {
            if (!std::getline(in_, line)) return false;
            ++lineNumber_;
        } while (line.empty());
        const std::vector<std::string> f = splitCsv(line);
        if (f.size() < width_) {
            error = where() + "too few fields";
            return false;
        }
        text = f[columns_[0]];
        numbers.assign(names_.size(), 0);
        for (std::size_t k = 1; k < names_.size(); ++k)
            if (!readNumber(f[columns_[k]], numbers[k])) {
                error = where() + names_[k] + " '" + f[columns_[k]] + "' is not a number";
                return false;
            }
        return true;
    }

    // "PATH:LINE: ", the place of the last record read, for a message about it.
    std::string where() const { return path_ + ":" + std::to_string(lineNumber_) + ": "; }

  private:
    std::ifstream in_;
    std::string path_;
    std::vector<const char*> names_;
    std::vector<std::size_t> columns_;
    std::size_t width_ = 0;
    int lineNumber_ = 1;
};

// Writes `path` through a temporary renamed into place, so a figure never reads half a file;
// write(FILE*) forms the content. The name that could not be written, else empty.
template <class F> std::string writeReplacing(const std::string& path, F&& write) {
    const std::string temporary = path + ".tmp";
    std::FILE* out = std::fopen(temporary.c_str(), "w");
    if (!out) return temporary;
    write(out);
    const bool written = std::ferror(out) == 0;
    if (std::fclose(out) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return path;
    }
    return {};
}

} // namespace measured
