// The importer against NumPy and SciPy: tests/coefficient_import_cases.py,
// run by the Python that has them, prints coefficient texts in the layouts
// those tools write, each with the roots and gain it stands for.

#include "model/coefficient_import.h"
#include "model/document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Cplx = std::complex<double>;

struct Case {
    std::string name;
    std::string text;
    double tolerance = 0.0;
    double gain = 0.0;
    std::vector<Cplx> zeros;
    std::vector<Cplx> poles;
};

std::string runCaseScript()
{
    const std::string command = std::string(VORBEL_SCIPY_PYTHON) + " " + VORBEL_IMPORT_CASES + " 21";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return {};
    std::string output;
    std::array<char, 4096> buffer{};
    std::size_t count = 0;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output.append(buffer.data(), count);
    return pclose(pipe) == 0 ? output : std::string();
}

std::vector<Case> parseCases(const std::string& output)
{
    std::vector<Case> cases;
    std::istringstream lines(output);
    std::string line;
    bool inText = false;
    while (std::getline(lines, line)) {
        if (line.rfind("=== ", 0) == 0) {
            cases.emplace_back();
            cases.back().name = line.substr(4);
            inText = true;
        } else if (cases.empty()) {
            continue;
        } else if (line.rfind("--- expect ", 0) == 0) {
            cases.back().tolerance = std::stod(line.substr(11));
            inText = false;
        } else if (inText) {
            cases.back().text += line + "\n";
        } else {
            std::istringstream fields(line);
            std::string kind;
            double re = 0.0;
            double im = 0.0;
            fields >> kind >> re;
            if (kind == "gain") {
                cases.back().gain = re;
            } else {
                fields >> im;
                (kind == "zero" ? cases.back().zeros : cases.back().poles).emplace_back(re, im);
            }
        }
    }
    return cases;
}

// Every root of the list, a pair as both of its roots.
std::vector<Cplx> allRoots(const RootList& list)
{
    std::vector<Cplx> roots;
    for (int i = 0; i < list.count; ++i) {
        const Cplx root(list.positions[i].re, list.positions[i].im);
        roots.push_back(root);
        if (list.pairFlags[i])
            roots.push_back(std::conj(root));
    }
    return roots;
}

testing::AssertionResult sameRoots(std::vector<Cplx> got, const std::vector<Cplx>& expected, double tolerance)
{
    if (got.size() != expected.size())
        return testing::AssertionFailure() << got.size() << " roots, expected " << expected.size();
    for (const Cplx& want : expected) {
        const auto nearest = std::min_element(got.begin(), got.end(), [&](const Cplx& x, const Cplx& y) {
            return std::abs(x - want) < std::abs(y - want);
        });
        if (std::abs(*nearest - want) > tolerance * std::max(std::abs(want), 1.0))
            return testing::AssertionFailure() << want << " missing, nearest " << *nearest;
        got.erase(nearest);
    }
    return testing::AssertionSuccess();
}

TEST(CoefficientImportPython, ToolOutputsImportToTheirRoots)
{
    const std::vector<Case> cases = parseCases(runCaseScript());
    // 40 + 30 + 15 random designs, 6 designs in 5 layouts and 2 in 4.
    ASSERT_EQ(cases.size(), 123u) << "the case script did not run: " << VORBEL_SCIPY_PYTHON << " with NumPy and SciPy";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + "\n" + c.text);
        const CoefficientImport imported = importCoefficients(c.text, 44100, 1000, 0);
        ASSERT_TRUE(imported.document) << imported.error;
        const FilterState& filter = imported.document->filter;
        EXPECT_LE(std::fabs(filter.gain - c.gain), c.tolerance * std::fabs(c.gain));
        EXPECT_TRUE(sameRoots(allRoots(filter.zeros), c.zeros, c.tolerance));
        EXPECT_TRUE(sameRoots(allRoots(filter.poles), c.poles, c.tolerance));
        EXPECT_TRUE(imported.warning.empty()) << imported.warning;
    }
}

}  // namespace
