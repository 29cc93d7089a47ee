// A small JSON reader for the tests (the reference dumps and xlstool's output).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace gptest {

struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool b = false;
    double num = 0;
    std::string str;
    std::vector<Json> arr;
    std::map<std::string, Json> obj;

    const Json& operator[](const std::string& key) const;
    const Json& operator[](size_t i) const { return arr.at(i); }
    bool isNull() const { return kind == Null; }
};

// Throws std::runtime_error on malformed input.
Json parseJson(const std::string& text);
Json parseJsonFile(const std::string& path);

// Differences between two workbook dumps in the reference layout (empty when equal):
// date system, sheet names and visibility, merged ranges, column info column by
// column, and every cell (numbers equal or within 1e-9 relative).
std::vector<std::string> compareDumps(const Json& expected, const Json& actual);

std::string readFile(const std::string& path);

} // namespace gptest
