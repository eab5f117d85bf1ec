#pragma once

// The number rows of a coefficient text, read back as a user's tool reads
// the export: every line that is neither empty nor a "#" comment, split at
// its commas.

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

inline std::vector<std::vector<double>> coefficientRows(const std::string& text)
{
    std::vector<std::vector<double>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<double>& row = rows.emplace_back();
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, ','))
            row.push_back(std::strtod(field.c_str(), nullptr));
    }
    return rows;
}
