#include "model/root_finding.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numeric>

namespace {

using Cplx = std::complex<double>;

constexpr double EPSILON = std::numeric_limits<double>::epsilon();

bool finiteComplex(Cplx z) { return std::isfinite(z.real()) && std::isfinite(z.imag()); }

// The coefficients times the power of two that brings the largest into
// [0.5, 1): exact, so the roots do not change, and no square or product of
// two coefficients can overflow any more.
std::vector<double> scaledByPowerOfTwo(const std::vector<double>& c)
{
    int largest = std::numeric_limits<int>::min();
    for (double value : c) {
        if (value != 0.0) {
            int exponent = 0;
            std::frexp(value, &exponent);
            largest = std::max(largest, exponent);
        }
    }
    std::vector<double> scaled = c;
    for (double& value : scaled)
        value = std::ldexp(value, -largest);
    return scaled;
}

// a·z² + b·z + c with a ≠ 0 and c ≠ 0. Real roots as q/a and c/q with
// q = −(b + sign(b)·√d)/2, which never subtracts; the larger first.
std::vector<Cplx> quadraticRoots(double a, double b, double c)
{
    const double discriminant = b * b - 4.0 * a * c;
    if (discriminant < 0.0) {
        const double re = -b / (2.0 * a);
        const double im = std::sqrt(-discriminant) / (2.0 * std::fabs(a));
        return {{re, im}, {re, -im}};
    }
    if (discriminant == 0.0) {
        const double root = -b / (2.0 * a);
        return {{root, 0.0}, {root, 0.0}};
    }
    const double q = -0.5 * (b + std::copysign(std::sqrt(discriminant), b));
    const double first = q / a;
    const double second = c / q;
    return {{std::max(first, second), 0.0}, {std::min(first, second), 0.0}};
}

// Parlett and Reinsch's balancing by powers of two (the scaling that LAPACK
// applies before an eigenvalue problem, which Eigen's solvers leave to the
// caller): a similarity transform, exact in floating point, that brings
// each row and column to comparable norms, so that the eigenvalues of a
// companion matrix of widely ranging coefficients come out accurate.
void balance(Eigen::MatrixXd& m)
{
    const Eigen::Index n = m.rows();
    constexpr int MAX_SWEEPS = 100;
    for (int sweep = 0; sweep < MAX_SWEEPS; ++sweep) {
        bool changed = false;
        for (Eigen::Index i = 0; i < n; ++i) {
            const double column = m.col(i).cwiseAbs().sum() - std::fabs(m(i, i));
            const double row = m.row(i).cwiseAbs().sum() - std::fabs(m(i, i));
            if (!(column > 0.0) || !(row > 0.0) || !std::isfinite(column + row))
                continue;
            // f = 2^k with column·f² close to row.
            int columnExponent = 0;
            int rowExponent = 0;
            std::frexp(column, &columnExponent);
            std::frexp(row, &rowExponent);
            const int k = (rowExponent - columnExponent) / 2;
            if (k == 0)
                continue;
            const double f = std::ldexp(1.0, k);
            if ((column * f + row / f) < 0.95 * (column + row)) {
                m.row(i) /= f;
                m.col(i) *= f;
                changed = true;
            }
        }
        if (!changed)
            return;
    }
}

using LongCplx = std::complex<long double>;

// The polynomial and its derivative at z, as the Newton step P(z)/P′(z) and
// log|P(z)|, in long double: where the machine has more digits there, a
// root comes out right to its last bit even where the polynomial's own
// rounding in double would blur it. Beyond the unit circle Horner's scheme
// runs on the reversed coefficients at 1/z, where its rounding stays small:
// P(z) = zⁿ·Q(w), P′(z) = zⁿ⁻¹·(n·Q(w) − w·Q′(w)), w = 1/z.
struct NewtonTerms {
    LongCplx step;
    long double logMagnitude = 0.0L;
};

NewtonTerms newtonTerms(const std::vector<double>& c, LongCplx z)
{
    const std::size_t n = c.size() - 1;
    if (std::abs(z) <= 1.0L) {
        LongCplx p = static_cast<long double>(c[0]);
        LongCplx derivative = 0.0L;
        for (std::size_t k = 1; k <= n; ++k) {
            derivative = derivative * z + p;
            p = p * z + static_cast<long double>(c[k]);
        }
        return {p / derivative, std::log(std::abs(p))};
    }
    const LongCplx w = 1.0L / z;
    LongCplx q = static_cast<long double>(c[n]);
    LongCplx derivative = 0.0L;
    for (std::size_t k = n; k-- > 0;) {
        derivative = derivative * w + q;
        q = q * w + static_cast<long double>(c[k]);
    }
    const LongCplx step = z * q / (static_cast<long double>(n) * q - w * derivative);
    return {step, std::log(std::abs(q)) + static_cast<long double>(n) * std::log(std::abs(z))};
}

bool finiteLong(LongCplx z) { return std::isfinite(z.real()) && std::isfinite(z.imag()); }

// Newton steps from an eigenvalue, each taken only while it lowers |P|:
// near a multiple root, where |P| is rounding noise, the iteration stops
// instead of wandering.
Cplx polished(const std::vector<double>& c, Cplx start)
{
    constexpr int MAX_STEPS = 10;
    LongCplx root(start.real(), start.imag());
    NewtonTerms here = newtonTerms(c, root);
    for (int i = 0; i < MAX_STEPS && finiteLong(here.step) && std::isfinite(here.logMagnitude); ++i) {
        const LongCplx next = root - here.step;
        const NewtonTerms there = newtonTerms(c, next);
        if (!finiteLong(next) || !(there.logMagnitude < here.logMagnitude))
            break;
        root = next;
        here = there;
    }
    return {static_cast<double>(root.real()), static_cast<double>(root.imag())};
}

// A root as found: a real one, or the upper root of a conjugate pair.
struct Item {
    Cplx root;
    bool pair = false;
    bool multiple = false;  // a centroid that stands for a multiple root
};

std::vector<Cplx> allRoots(const std::vector<Item>& items)
{
    std::vector<Cplx> roots;
    for (const Item& item : items) {
        roots.push_back(item.root);
        if (item.pair)
            roots.push_back(std::conj(item.root));
    }
    return roots;
}

// Whether the polynomial has a k-fold root at x up to rounding: its Taylor
// coefficients at x of orders 0 … k − 1 all vanish to within what rounding
// the coefficients (known to a few units in their last place) and their
// evaluation leave,
//   |Σᵢ cᵢ·C(n−i, j)·x^(n−i−j)|  ≤  8n·ε · Σᵢ |cᵢ|·C(n−i, j)·|x|^(n−i−j).
// Horner's scheme run j + 1 times gives the j-th of them. Two distinct
// roots pass as a double one only when they are closer than about √(8n·ε),
// where no coefficient of a double can tell them apart.
bool isMultipleRoot(const std::vector<double>& c, Cplx x, std::size_t k)
{
    const std::size_t n = c.size() - 1;
    std::vector<Cplx> value(c.begin(), c.end());
    std::vector<double> bound(c.size());
    std::transform(c.begin(), c.end(), bound.begin(), [](double v) { return std::fabs(v); });
    const double size = std::abs(x);
    const double tolerance = 8.0 * static_cast<double>(n) * EPSILON;
    for (std::size_t j = 0; j < k && j < n; ++j) {
        for (std::size_t i = 1; i <= n - j; ++i) {
            value[i] += value[i - 1] * x;
            bound[i] += bound[i - 1] * size;
        }
        const std::size_t last = n - j;
        if (!std::isfinite(bound[last]) || !(std::abs(value[last]) <= tolerance * bound[last]))
            return false;
    }
    return true;
}

std::size_t findSet(std::vector<std::size_t>& parent, std::size_t i)
{
    while (parent[i] != i)
        i = parent[i] = parent[parent[i]];
    return i;
}

// Merges the first cluster of roots within the relative radius whose
// centroid is a root of the cluster's multiplicity; false when none is.
bool mergeOneCluster(std::vector<Item>& items, const std::vector<double>& c, double radius)
{
    // The roots one by one, each with the item it belongs to.
    std::vector<Cplx> roots;
    std::vector<std::size_t> owner;
    for (std::size_t i = 0; i < items.size(); ++i) {
        roots.push_back(items[i].root);
        owner.push_back(i);
        if (items[i].pair) {
            roots.push_back(std::conj(items[i].root));
            owner.push_back(i);
        }
    }
    std::vector<std::size_t> parent(roots.size());
    std::iota(parent.begin(), parent.end(), std::size_t{0});
    for (std::size_t i = 0; i < roots.size(); ++i)
        for (std::size_t j = i + 1; j < roots.size(); ++j)
            if (std::abs(roots[i] - roots[j]) <= radius * std::max(std::abs(roots[i]), std::abs(roots[j])))
                parent[findSet(parent, i)] = findSet(parent, j);

    for (std::size_t leader = 0; leader < roots.size(); ++leader) {
        if (findSet(parent, leader) != leader)
            continue;
        std::vector<std::size_t> members;
        for (std::size_t i = 0; i < roots.size(); ++i)
            if (findSet(parent, i) == leader)
                members.push_back(i);
        const auto below = [&](std::size_t i) { return roots[i].imag() < 0.0; };
        const auto onAxis = [&](std::size_t i) { return roots[i].imag() == 0.0; };
        const auto asFirst = [&](std::size_t i) { return roots[i] == roots[members.front()]; };
        // A cluster below the axis goes with its mirror above; one already
        // merged has nothing left to merge.
        if (members.size() < 2 || std::all_of(members.begin(), members.end(), below)
            || std::all_of(members.begin(), members.end(), asFirst))
            continue;
        const bool straddles = std::any_of(members.begin(), members.end(), below)
            || std::any_of(members.begin(), members.end(), onAxis);
        Cplx sum = 0.0;
        for (std::size_t i : members)
            sum += roots[i];
        const double count = static_cast<double>(members.size());
        const Cplx centroid = straddles ? Cplx(sum.real() / count, 0.0) : sum / count;

        if (!isMultipleRoot(c, centroid, members.size()))
            continue;
        std::vector<bool> merged(items.size(), false);
        for (std::size_t i : members)
            merged[owner[i]] = true;
        std::vector<Item> candidate;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!merged[i])
                candidate.push_back(items[i]);
            else if (straddles)
                candidate.insert(candidate.end(), items[i].pair ? 2 : 1, Item{centroid, false, true});
            else
                candidate.push_back({centroid, true, true});
        }
        items = candidate;
        return true;
    }
    return false;
}

// A k-fold root comes out of the eigenvalues as k roots scattered around it
// by about ε^(1/k), but their centroid is accurate. Clusters are tried from
// tight to loose, and one whose centroid is a root of its multiplicity
// becomes that root repeated. Every merge leaves fewer distinct roots, so
// the loops end.
void mergeMultipleRoots(std::vector<Item>& items, const std::vector<double>& c)
{
    constexpr double RADII[] = {1e-8, 1e-6, 1e-4, 1e-3, 1e-2, 3e-2, 0.1, 0.3};
    for (double radius : RADII)
        while (mergeOneCluster(items, c, radius)) {
        }
}

// The distance from the item's root to the nearest other root.
double distanceToOthers(const std::vector<Item>& items, std::size_t index)
{
    const Cplx root = items[index].root;
    double nearest = items[index].pair ? 2.0 * root.imag() : std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i == index)
            continue;
        nearest = std::min(nearest, std::abs(items[i].root - root));
        if (items[i].pair)
            nearest = std::min(nearest, std::abs(std::conj(items[i].root) - root));
    }
    return nearest;
}

std::optional<std::vector<Cplx>> companionRoots(const std::vector<double>& c)
{
    const Eigen::Index n = static_cast<Eigen::Index>(c.size()) - 1;
    std::vector<double> monic(c.size());
    for (std::size_t k = 0; k < c.size(); ++k)
        monic[k] = c[k] / c[0];
    if (!std::all_of(monic.begin(), monic.end(), [](double v) { return std::isfinite(v); }))
        return std::nullopt;

    Eigen::MatrixXd companion = Eigen::MatrixXd::Zero(n, n);
    for (Eigen::Index j = 0; j < n; ++j)
        companion(0, j) = -monic[static_cast<std::size_t>(j) + 1];
    for (Eigen::Index i = 1; i < n; ++i)
        companion(i, i - 1) = 1.0;
    balance(companion);
    const Eigen::EigenSolver<Eigen::MatrixXd> solver(companion, false);
    if (solver.info() != Eigen::Success)
        return std::nullopt;

    // Eigen gives a complex pair as exact conjugates: the upper root stands
    // for both.
    std::vector<Item> items;
    Eigen::Index count = 0;
    for (Eigen::Index i = 0; i < n; ++i) {
        const Cplx eigenvalue = solver.eigenvalues()[i];
        if (eigenvalue.imag() < 0.0)
            continue;
        items.push_back({eigenvalue, eigenvalue.imag() > 0.0});
        count += eigenvalue.imag() > 0.0 ? 2 : 1;
    }
    if (count != n)
        return std::nullopt;
    mergeMultipleRoots(items, c);

    // Newton steps sharpen a simple root. In the scatter of a multiple root
    // that was not merged they would only move the roots about, undoing what
    // the eigenvalues got right together: a root is polished only where the
    // steps stay well within the distance to its neighbours.
    const std::vector<Item> found = items;
    for (std::size_t i = 0; i < items.size(); ++i) {
        Item& item = items[i];
        if (item.multiple)
            continue;
        Cplx root = polished(c, item.root);
        if (!item.pair)
            root = {root.real(), 0.0};
        if (std::abs(root - item.root) <= 0.1 * distanceToOthers(found, i) && (!item.pair || root.imag() > 0.0))
            item.root = root;
    }
    std::vector<Cplx> roots = allRoots(items);
    if (!std::all_of(roots.begin(), roots.end(), finiteComplex))
        return std::nullopt;
    return roots;
}

}  // namespace

std::optional<std::vector<Cplx>> polynomialRoots(const std::vector<double>& coefficients)
{
    const std::size_t size = coefficients.size();
    if (size < 2 || size > MAX_POLYNOMIAL_DEGREE + 1 || coefficients.front() == 0.0 || coefficients.back() == 0.0
        || !std::all_of(coefficients.begin(), coefficients.end(), [](double v) { return std::isfinite(v); }))
        return std::nullopt;
    const std::vector<double> c = scaledByPowerOfTwo(coefficients);
    std::vector<Cplx> roots;
    if (size == 2)
        roots = {Cplx(-c[1] / c[0], 0.0)};
    else if (size == 3)
        roots = quadraticRoots(c[0], c[1], c[2]);
    else
        return companionRoots(c);
    if (!std::all_of(roots.begin(), roots.end(), finiteComplex))
        return std::nullopt;
    return roots;
}
