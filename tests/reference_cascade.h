#pragma once

// An independent cascade for the sound tests: the sections are read back from
// the coefficient text (the export a user would take to SciPy) and run in
// direct form I, the textbook difference equation, rather than the program's
// transposed direct form II. Agreement therefore checks the sections, their
// order, the gain's place and the filtering at once.

#include "model/coefficients.h"
#include "model/document.h"
#include "tests/coefficient_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

class ReferenceCascade {
public:
    explicit ReferenceCascade(const Document& document) : ReferenceCascade(coefficientText(document)) {}

    explicit ReferenceCascade(const std::string& text)
    {
        for (const std::vector<double>& fields : coefficientRows(text)) {
            std::array<double, 6> row{};
            const std::size_t columns = std::min(fields.size(), row.size());
            std::copy_n(fields.begin(), columns, row.begin());
            EXPECT_EQ(columns, 6u) << text;
            EXPECT_EQ(row[3], 1.0) << text;
            sections_.push_back(row);
        }
        EXPECT_FALSE(sections_.empty());
        memory_.assign(sections_.size(), {});
    }

    // y[n] of the cascade for x[n], from the memory of the samples before.
    double step(double x)
    {
        for (std::size_t k = 0; k < sections_.size(); ++k) {
            const std::array<double, 6>& c = sections_[k];
            std::array<double, 4>& m = memory_[k];  // x[n−1], x[n−2], y[n−1], y[n−2]
            const double y = c[0] * x + c[1] * m[0] + c[2] * m[1] - c[4] * m[2] - c[5] * m[3];
            m = {x, m[0], y, m[2]};
            x = y;
        }
        return x;
    }

    // The whole signal from rest.
    std::vector<double> filter(const std::vector<double>& input)
    {
        memory_.assign(sections_.size(), {});
        std::vector<double> output;
        output.reserve(input.size());
        for (const double x : input)
            output.push_back(step(x));
        return output;
    }

private:
    std::vector<std::array<double, 6>> sections_;
    std::vector<std::array<double, 4>> memory_;
};
