// Rebuild of curves and surfaces: dense samples, a least-squares fit with a bending-energy term
// per direction (The NURBS Book, 9.4.1, with the smoothing term of a penalised spline), the
// deviation, and the search for the fewest points within a tolerance.
#include "model/surface_rebuild.h"

#include <Eigen/Dense>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <utility>

#include "model/editor_state.h"
#include "model/knots.h"
#include "model/picked_point.h"
#include "model/rational_derivatives.h"
#include "model/surface_edit.h"
#include "model/surface_limits.h"

namespace {

using Matrix = Eigen::MatrixXd;
using Sparse = Eigen::SparseMatrix<double>;
// The normal matrices are banded (degree p gives 2p + 1 diagonals): in their natural order an
// LDL^T factor keeps that band and costs O(N p^2).
using BandSolver = Eigen::SimplicialLDLT<Sparse, Eigen::Lower, Eigen::NaturalOrdering<int>>;

// Samples per direction: four per input point at least, twice the fitted points at least, so
// every basis function of the result has samples under it.
constexpr int kLeastSamples = 33;
constexpr int kSamplesPerInputPoint = 4;
// Most samples of one rebuild (three doubles each, in the input and the fitted grids).
constexpr long long kMostSamples = 2500000;
// Most points a fit takes per direction.
constexpr int kMostPointsPerDirection = 1000;
// Largest fairness weight taken.
constexpr double kMostFairness = 1.0;
// Sample rows the tolerance search fits per direction before the whole grid is fitted.
constexpr int kSearchRows = 48;

// Gauss-Legendre nodes and weights on [-1, 1] (Newton's method on the Legendre polynomial).
void gaussLegendre(int g, std::vector<double>& x, std::vector<double>& w) {
    x.assign(static_cast<size_t>(g), 0.0);
    w.assign(static_cast<size_t>(g), 0.0);
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < g; ++i) {
        double t = std::cos(pi * (i + 0.75) / (g + 0.5));
        double derivative = 1.0;
        for (int iteration = 0; iteration < 100; ++iteration) {
            double p0 = 1.0, p1 = t;
            for (int k = 2; k <= g; ++k) {
                const double p2 = ((2 * k - 1) * t * p1 - (k - 1) * p0) / k;
                p0 = p1;
                p1 = p2;
            }
            derivative = g * (t * p1 - p0) / (t * t - 1.0);
            const double step = p1 / derivative;
            t -= step;
            if (std::fabs(step) < 1e-15) break;
        }
        x[static_cast<size_t>(i)] = t;
        w[static_cast<size_t>(i)] = 2.0 / ((1.0 - t * t) * derivative * derivative);
    }
}

// True when the first p + 1 and the last p + 1 knots of U[0 .. n + p + 1] are equal and the
// range between them is not empty: the curve starts and ends at its end points.
bool clampedKnots(const std::vector<float>& U, int n, int p) {
    for (int i = 0; i < p; ++i) {
        if (U[static_cast<size_t>(i)] != U[static_cast<size_t>(p)]) return false;
        if (U[static_cast<size_t>(n + 2 + i)] != U[static_cast<size_t>(n + 1)]) return false;
    }
    return U[static_cast<size_t>(p)] < U[static_cast<size_t>(n + 1)];
}

// One direction of a fit: the result's knots, its basis at the sample parameters (samples x
// count) and the factored normal matrix B^T B / samples + fairness K, K the bending energy.
struct Direction {
    int samples = 0;
    int count = 0;
    int p = 0;
    std::vector<float> knots;
    Sparse B;
    BandSolver normal;
};

double sampleParameter(int a, int samples) {
    return samples > 1 ? static_cast<double>(a) / (samples - 1) : 0.0;
}

// The knots of count points of degree p: the input's own, scaled to 0 .. 1, when the count is
// the input's and its knots are clamped, so a rebuild that changes nothing gives the surface
// back; clamped uniform ones otherwise.
std::vector<float> resultKnots(int count, int p, int inputCount, const std::vector<float>& inputU) {
    std::vector<float> U(static_cast<size_t>(count + p + 1));
    if (count == inputCount && clampedKnots(inputU, inputCount - 1, p)) {
        const double u0 = inputU[static_cast<size_t>(p)];
        const double u1 = inputU[static_cast<size_t>(inputCount)];
        for (size_t i = 0; i < U.size(); ++i) {
            const double t = (inputU[i] - u0) / (u1 - u0);
            U[i] = static_cast<float>(std::min(1.0, std::max(0.0, t)));
        }
        for (int i = 0; i <= p; ++i) {
            U[static_cast<size_t>(i)] = 0.0f;
            U[U.size() - 1 - static_cast<size_t>(i)] = 1.0f;
        }
        return U;
    }
    fillUniformKnots(U.data(), count + p + 1, p + 1);
    return U;
}

// Bending energy matrix K[i][k] = integral over 0 .. 1 of N_i'' N_k'' (Gauss-Legendre per span).
// Degrees 0 and 1 have no second derivative inside a span: their energy is the squared second
// differences of the control points over the cube of a uniform spacing, the discrete analogue.
void addBendingEnergy(std::vector<Eigen::Triplet<double>>& triplets, const Direction& d,
                      double fairness) {
    const int N = d.count;
    const int p = d.p;
    if (fairness <= 0.0 || N < 3) return;
    if (p < 2) {
        const double h = 1.0 / (N - 1);
        const double scale = fairness / (h * h * h);
        const double stencil[3] = {1.0, -2.0, 1.0};
        for (int i = 1; i + 1 < N; ++i) {
            for (int a = 0; a < 3; ++a) {
                for (int b = 0; b < 3; ++b) {
                    triplets.emplace_back(i - 1 + a, i - 1 + b, scale * stencil[a] * stencil[b]);
                }
            }
        }
        return;
    }
    std::vector<double> x, w;
    gaussLegendre(p, x, w);
    std::vector<double> ders(static_cast<size_t>(3 * (p + 1)));
    const float* U = d.knots.data();
    for (int span = p; span < N; ++span) {
        const double a = U[span], b = U[span + 1];
        if (!(b > a)) continue;
        for (size_t g = 0; g < x.size(); ++g) {
            const float u = static_cast<float>(0.5 * (a + b) + 0.5 * (b - a) * x[g]);
            evaluateBasisDerivatives(ders.data(), span + 1, u, p, 2, U);
            const double weight = fairness * 0.5 * (b - a) * w[g];
            const double* second = ders.data() + 2 * (p + 1);
            for (int i = 0; i <= p; ++i) {
                for (int k = 0; k <= p; ++k) {
                    triplets.emplace_back(span - p + i, span - p + k,
                                          weight * second[i] * second[k]);
                }
            }
        }
    }
}

bool prepareDirection(Direction& d, int samples, int count, int p, int inputCount,
                      const std::vector<float>& inputU, double fairness, std::string& refusal) {
    d.samples = samples;
    d.count = count;
    d.p = p;
    d.knots = resultKnots(count, p, inputCount, inputU);
    std::vector<Eigen::Triplet<double>> triplets;
    triplets.reserve(static_cast<size_t>(samples) * static_cast<size_t>(p + 1));
    std::vector<double> N(static_cast<size_t>(p + 1));
    for (int a = 0; a < samples; ++a) {
        const float s = static_cast<float>(sampleParameter(a, samples));
        const int I = findEvaluationSpan(count - 1, p, s, d.knots.data());
        evaluateBasisDerivatives(N.data(), I, s, p, 0, d.knots.data());
        for (int j = 0; j <= p; ++j)
            triplets.emplace_back(a, I - p - 1 + j, N[static_cast<size_t>(j)]);
    }
    d.B.resize(samples, count);
    d.B.setFromTriplets(triplets.begin(), triplets.end());
    Sparse A = Sparse(d.B.transpose()) * d.B / static_cast<double>(samples);
    triplets.clear();
    addBendingEnergy(triplets, d, fairness);
    if (!triplets.empty()) {
        Sparse K(count, count);
        K.setFromTriplets(triplets.begin(), triplets.end());
        A += K;
    }
    d.normal.compute(A);
    if (d.normal.info() != Eigen::Success || (d.normal.vectorD().array() <= 0.0).any()) {
        refusal = "the fit is singular: the samples do not determine " + std::to_string(count) +
                  " points";
        return false;
    }
    return true;
}

// Moves the role of rows: X(i, 3r + c) -> Y(r, 3i + c), for the second direction of a fit.
Matrix swapRoles(const Matrix& X) {
    const Eigen::Index N = X.rows();
    const Eigen::Index R = X.cols() / 3;
    Matrix Y(R, 3 * N);
    for (Eigen::Index r = 0; r < R; ++r) {
        for (Eigen::Index i = 0; i < N; ++i) {
            for (int c = 0; c < 3; ++c) Y(r, 3 * i + c) = X(i, 3 * r + c);
        }
    }
    return Y;
}

// Control points fitted to data (samples x 3R, three coordinates per curve) along d.
Matrix fitAlong(const Direction& d, const Matrix& data) {
    const Matrix rhs = (d.B.transpose() * data) / static_cast<double>(d.samples);
    return d.normal.solve(rhs);
}

// Largest distance between two sample grids of the same layout, with its place.
struct Deviation {
    double max = 0.0;
    double sumSquares = 0.0;
    Eigen::Index a = 0, r = 0;
};

Deviation compare(const Matrix& fitted, const Matrix& data, std::vector<float>* map) {
    Deviation out;
    const Eigen::Index R = data.cols() / 3;
    if (map != nullptr) map->assign(static_cast<size_t>(data.rows() * R), 0.0f);
    for (Eigen::Index r = 0; r < R; ++r) {
        for (Eigen::Index a = 0; a < data.rows(); ++a) {
            const double dx = fitted(a, 3 * r) - data(a, 3 * r);
            const double dy = fitted(a, 3 * r + 1) - data(a, 3 * r + 1);
            const double dz = fitted(a, 3 * r + 2) - data(a, 3 * r + 2);
            const double squared = dx * dx + dy * dy + dz * dz;
            const double distance = std::sqrt(squared);
            out.sumSquares += squared;
            if (map != nullptr)
                (*map)[static_cast<size_t>(r * data.rows() + a)] = static_cast<float>(distance);
            if (distance > out.max) {
                out.max = distance;
                out.a = a;
                out.r = r;
            }
        }
    }
    return out;
}

// The input sampled at samplesU parameters along every section (rows of homogeneous points in
// double, 4 per sample), the input's parameters scaled to 0 .. 1.
struct Sampler {
    const SurfaceModel& s;
    explicit Sampler(const SurfaceModel& surface) : s(surface) {}

    // Basis of direction U (dir 0) or V at the samples: spans and values.
    void basis(int dir, int samples, std::vector<int>& first, std::vector<double>& values) const {
        const int count = dir == 0 ? s.countU : s.countV;
        const int p = (dir == 0 ? s.orderU : s.orderV) - 1;
        const std::vector<float>& U = dir == 0 ? s.knotsU : s.knotsV;
        const double u0 = U[static_cast<size_t>(p)], u1 = U[static_cast<size_t>(count)];
        first.assign(static_cast<size_t>(samples), 0);
        values.assign(static_cast<size_t>(samples) * static_cast<size_t>(p + 1), 0.0);
        for (int a = 0; a < samples; ++a) {
            const double t = sampleParameter(a, samples);
            const float u =
                a + 1 == samples ? static_cast<float>(u1) : static_cast<float>(u0 + (u1 - u0) * t);
            const int I = findEvaluationSpan(count - 1, p, u, U.data());
            first[static_cast<size_t>(a)] = I - p - 1;
            evaluateBasisDerivatives(values.data() + static_cast<size_t>(a) * (p + 1), I, u, p, 0,
                                     U.data());
        }
    }

    // rows[j] (4 * samplesU doubles): section j's homogeneous curve at the samples.
    std::vector<std::vector<double>> sectionCurves(int samplesU) const {
        std::vector<int> first;
        std::vector<double> N;
        basis(0, samplesU, first, N);
        const int k = s.orderU;
        std::vector<std::vector<double>> rows(static_cast<size_t>(s.countV));
        for (int j = 0; j < s.countV; ++j) {
            std::vector<double>& row = rows[static_cast<size_t>(j)];
            row.assign(4 * static_cast<size_t>(samplesU), 0.0);
            const PointH* P = sectionPoints(s, j);
            for (int a = 0; a < samplesU; ++a) {
                double* h = row.data() + 4 * a;
                for (int i = 0; i < k; ++i) {
                    const double b = N[static_cast<size_t>(a * k + i)];
                    const PointH& q = P[first[static_cast<size_t>(a)] + i];
                    h[0] += b * q.x;
                    h[1] += b * q.y;
                    h[2] += b * q.z;
                    h[3] += b * q.w;
                }
            }
        }
        return rows;
    }
};

// Writes homogeneous h as a Cartesian point into column block r of row a of data; false where
// the weights cancel or the point is not finite.
bool putPoint(Matrix& data, Eigen::Index a, Eigen::Index r, const double* h) {
    for (int c = 0; c < 3; ++c) {
        const double value = h[c] / h[3];
        if (!std::isfinite(value)) return false;
        data(a, 3 * r + c) = value;
    }
    return true;
}

std::string noPoint(double u, double v) {
    char line[120];
    snprintf(line, sizeof line, "the surface has no point at (%.6g, %.6g): its weights cancel", u,
             v);
    return line;
}

// The surface at samplesU x samplesV parameters: samplesU x 3 samplesV.
bool sampleSurface(const SurfaceModel& s, int samplesU, int samplesV, Matrix& data,
                   std::string& refusal) {
    const Sampler sampler(s);
    const std::vector<std::vector<double>> rows = sampler.sectionCurves(samplesU);
    std::vector<int> first;
    std::vector<double> N;
    sampler.basis(1, samplesV, first, N);
    const int k = s.orderV;
    data.resize(samplesU, 3 * samplesV);
    for (int b = 0; b < samplesV; ++b) {
        for (int a = 0; a < samplesU; ++a) {
            double h[4] = {0, 0, 0, 0};
            for (int l = 0; l < k; ++l) {
                const double basis = N[static_cast<size_t>(b * k + l)];
                const double* q =
                    rows[static_cast<size_t>(first[static_cast<size_t>(b)] + l)].data() + 4 * a;
                for (int c = 0; c < 4; ++c) h[c] += basis * q[c];
            }
            if (!putPoint(data, a, b, h)) {
                refusal = noPoint(sampleParameter(a, samplesU), sampleParameter(b, samplesV));
                return false;
            }
        }
    }
    return true;
}

// The section curves at samplesU parameters: samplesU x 3 countV.
bool sampleSections(const SurfaceModel& s, int samplesU, Matrix& data, std::string& refusal) {
    const std::vector<std::vector<double>> rows = Sampler(s).sectionCurves(samplesU);
    data.resize(samplesU, 3 * s.countV);
    for (int j = 0; j < s.countV; ++j) {
        for (int a = 0; a < samplesU; ++a) {
            if (!putPoint(data, a, j, rows[static_cast<size_t>(j)].data() + 4 * a)) {
                refusal = noPoint(sampleParameter(a, samplesU),
                                  s.countV > 1 ? static_cast<double>(j) / (s.countV - 1) : 0.0);
                return false;
            }
        }
    }
    return true;
}

// Up to kSearchRows column blocks of data, evenly spread, the first and last included.
Matrix someRows(const Matrix& data) {
    const Eigen::Index R = data.cols() / 3;
    if (R <= kSearchRows) return data;
    Matrix out(data.rows(), 3 * kSearchRows);
    for (int k = 0; k < kSearchRows; ++k) {
        const Eigen::Index r = (static_cast<Eigen::Index>(k) * (R - 1)) / (kSearchRows - 1);
        out.middleCols(3 * k, 3) = data.middleCols(3 * r, 3);
    }
    return out;
}

// Weights that differ by more than float rounding: a loft interpolates the weights with the
// points, and equal weights come out of it a unit in the last place apart.
bool hasUnequalWeights(const SurfaceModel& s) {
    const double w0 = s.controlNet.front().w;
    for (const PointH& P : s.controlNet) {
        if (std::fabs(P.w - w0) > 1e-6 * std::fabs(w0)) return true;
    }
    return false;
}

// The input for a fit, and what the fit of each direction needs from it.
struct FitInput {
    FitInput(const SurfaceModel& surface, bool both) : in(surface), twoWays(both) {}
    const SurfaceModel& in;
    bool twoWays;  // the surface (U then V) or its sections (U only)
    int samplesU = 0, samplesV = 0;
    Matrix data;  // samplesU x 3 samplesV (or 3 countV)
};

bool makeDirection(const FitInput& f, int dir, int count, double fairness,
                   std::unique_ptr<Direction>& d, std::string& refusal) {
    d.reset(new Direction);
    if (dir == 0) {
        return prepareDirection(*d, f.samplesU, count, f.in.orderU - 1, f.in.countU, f.in.knotsU,
                                fairness, refusal);
    }
    return prepareDirection(*d, f.samplesV, count, f.in.orderV - 1, f.in.countV, f.in.knotsV,
                            fairness, refusal);
}

// The net fitted to f at (NU, NV) points, rounded to float as it will be stored, with its
// deviation from the samples (and the deviation map when map is given).
struct Fitted {
    int NU = 0, NV = 0;
    std::vector<float> knotsU, knotsV;
    std::vector<PointH> net;  // section-major
    Deviation deviation;
};

bool fitNet(const FitInput& f, int NU, int NV, double fairness, Fitted& out,
            std::vector<float>* map, std::string& refusal) {
    std::unique_ptr<Direction> du, dv;
    if (!makeDirection(f, 0, NU, fairness, du, refusal)) return false;
    Matrix X = fitAlong(*du, f.data);  // NU x 3R
    Matrix P;                          // sections x 3 NU
    if (f.twoWays) {
        if (!makeDirection(f, 1, NV, fairness, dv, refusal)) return false;
        P = fitAlong(*dv, swapRoles(X));
    } else {
        NV = f.in.countV;
        P = swapRoles(X);
    }
    // Round to the stored floats first, so the deviation is that of the surface saved.
    out.net.assign(static_cast<size_t>(NU) * static_cast<size_t>(NV), PointH{0, 0, 0, 1});
    for (int j = 0; j < NV; ++j) {
        for (int i = 0; i < NU; ++i) {
            PointH& q = out.net[static_cast<size_t>(j) * NU + i];
            float* xyz[3] = {&q.x, &q.y, &q.z};
            for (int c = 0; c < 3; ++c) {
                *xyz[c] = static_cast<float>(P(j, 3 * i + c));
                P(j, 3 * i + c) = *xyz[c];
            }
        }
    }
    if (!allFinite(&out.net.front().x, out.net.size() * 4)) {
        refusal = "the fit has no finite points (coordinates past the float range)";
        return false;
    }
    const Matrix fitted =
        f.twoWays ? Matrix(du->B * swapRoles(Matrix(dv->B * P))) : Matrix(du->B * swapRoles(P));
    out.NU = NU;
    out.NV = NV;
    out.knotsU = du->knots;
    out.knotsV = f.twoWays ? dv->knots : f.in.knotsV;
    out.deviation = compare(fitted, f.data, map);
    return true;
}

// Largest deviation of a fit along one direction only, on some rows of data: what the count
// of that direction costs by itself.
bool directionError(const FitInput& f, int dir, int count, double fairness, double& error,
                    std::string& refusal) {
    std::unique_ptr<Direction> d;
    if (!makeDirection(f, dir, count, fairness, d, refusal)) return false;
    const Matrix rows = someRows(dir == 0 ? f.data : swapRoles(f.data));
    error = compare(d->B * fitAlong(*d, rows), rows, nullptr).max;
    return true;
}

// Fewest points in [least, most] whose one-way fit keeps within target (bisection: the error
// falls as points are added); most when none does. Errors are remembered across calls.
bool fewestWithin(const FitInput& f, int dir, int least, int most, double target, double fairness,
                  std::map<int, double>& known, int& count, std::string& refusal) {
    auto error = [&](int n, double& e) {
        const auto found = known.find(n);
        if (found != known.end()) {
            e = found->second;
            return true;
        }
        if (!directionError(f, dir, n, fairness, e, refusal)) return false;
        known[n] = e;
        return true;
    };
    double e = 0.0;
    if (!error(least, e)) return false;
    if (e <= target) {
        count = least;
        return true;
    }
    if (!error(most, e)) return false;
    if (e > target) {
        count = most;
        return true;
    }
    int lo = least, hi = most;
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (!error(mid, e)) return false;
        (e <= target ? hi : lo) = mid;
    }
    count = hi;
    return true;
}

int samplesFor(int inputCount, int points) {
    return std::max({kSamplesPerInputPoint * inputCount, 2 * points, kLeastSamples - 1}) + 1;
}

std::string countText(int NU, int NV, bool twoWays) {
    return twoWays ? std::to_string(NU) + " x " + std::to_string(NV) : std::to_string(NU);
}

bool checkInput(const SurfaceModel& in, const RebuildOptions& o, std::string& refusal) {
    if (!surfaceIsUsable(in)) {
        refusal = surfaceArraysMatch(in) && in.countU >= 1 ? degreePastPoints(in)
                                                           : "there is no surface to rebuild";
        return false;
    }
    if (!surfaceIsFinite(in)) {
        refusal = "the surface has coordinates, weights or knots that are not finite numbers";
        return false;
    }
    // At 1 the bending energy already outweighs any shape the surface has (the fit is as stiff
    // as the boundary lets it be); far past it the normal equations lose the fit's straight
    // part to rounding, and a surface shrunk to nothing would come back.
    if (!std::isfinite(o.fairness) || o.fairness < 0.0 || o.fairness > kMostFairness) {
        refusal = "the fairness weight must be a number from 0 to 1";
        return false;
    }
    const bool byTolerance = o.pointsU <= 0 && o.pointsV <= 0;
    if (byTolerance && !(std::isfinite(o.tolerance) && o.tolerance > 0.0)) {
        refusal = "a rebuild needs a point count or a tolerance above 0";
        return false;
    }
    return true;
}

// The shared body of the surface and section rebuilds.
bool rebuild(const SurfaceModel& in, const RebuildOptions& o, bool twoWays, SurfaceModel& out,
             RebuildReport& report, std::string& refusal) {
    if (!checkInput(in, o, refusal)) return false;
    const bool byTolerance = o.pointsU <= 0 && o.pointsV <= 0;
    const int orderU = in.orderU, orderV = in.orderV;
    if (!byTolerance) {
        const long long NV = twoWays ? o.pointsV : in.countV;
        if (o.pointsU > kMostPointsPerDirection || (twoWays && NV > kMostPointsPerDirection) ||
            static_cast<long long>(o.pointsU) * NV > kMostNetPoints) {
            refusal = countText(o.pointsU, o.pointsV, twoWays) +
                      " points are more than a rebuild takes (" +
                      std::to_string(kMostPointsPerDirection) + " a direction, " +
                      std::to_string(kMostNetPoints) + " in all)";
            return false;
        }
        if (o.pointsU < orderU || (twoWays && o.pointsV < orderV)) {
            char line[160];
            snprintf(line, sizeof line,
                     "%s points are too few for degrees %d x %d: at least %s are needed",
                     countText(o.pointsU, o.pointsV, twoWays).c_str(), orderU - 1, orderV - 1,
                     countText(orderU, orderV, twoWays).c_str());
            refusal = line;
            return false;
        }
    }

    FitInput f(in, twoWays);
    f.samplesU = samplesFor(in.countU, byTolerance ? 0 : o.pointsU);
    f.samplesV = twoWays ? samplesFor(in.countV, byTolerance ? 0 : o.pointsV) : in.countV;
    const double samples = static_cast<double>(f.samplesU) * f.samplesV;
    if (samples > kMostSamples) {
        // Fewer samples per input point, but always twice the points fitted.
        const double shrink = std::sqrt(kMostSamples / samples);
        f.samplesU =
            std::max(static_cast<int>(f.samplesU * shrink), 2 * std::max(o.pointsU, 0) + 1);
        if (twoWays) {
            f.samplesV =
                std::max(static_cast<int>(f.samplesV * shrink), 2 * std::max(o.pointsV, 0) + 1);
        }
        if (static_cast<double>(f.samplesU) * f.samplesV > kMostSamples) {
            refusal = "the rebuild would need more than " + std::to_string(kMostSamples) +
                      " samples of the surface; ask for fewer points";
            return false;
        }
    }
    if (!(twoWays ? sampleSurface(in, f.samplesU, f.samplesV, f.data, refusal)
                  : sampleSections(in, f.samplesU, f.data, refusal))) {
        return false;
    }

    report = RebuildReport();
    report.rational = hasUnequalWeights(in);
    report.scatter = estimateScatter(in);
    int NU = o.pointsU, NV = twoWays ? o.pointsV : in.countV;
    Fitted fit;
    if (!byTolerance) {
        if (!fitNet(f, NU, NV, o.fairness, fit, &report.deviation, refusal)) return false;
    } else {
        if (o.tolerance < report.scatter) {
            char line[240];
            snprintf(line, sizeof line,
                     "a tolerance of %.6g is below the scatter of the input's points, about "
                     "%.6g: a fit that close would follow the scatter; ask for at least %.6g",
                     o.tolerance, report.scatter, report.scatter);
            refusal = line;
            return false;
        }
        // Each direction's count is searched alone for a share of the tolerance (the errors of
        // the two directions add up, roughly), then the whole net is checked; a miss tightens
        // the share.
        const int mostU = std::min(kMostPointsPerDirection,
                                   std::max(orderU, std::min(2 * in.countU, (f.samplesU - 1) / 2)));
        const int mostV =
            twoWays ? std::min(kMostPointsPerDirection,
                               std::max(orderV, std::min(2 * in.countV, (f.samplesV - 1) / 2)))
                    : in.countV;
        std::map<int, double> knownU, knownV;
        double share = twoWays ? 0.6 : 0.95;
        bool within = false;
        for (int round = 0; round < 8 && !within; ++round, share *= 0.6) {
            if (!fewestWithin(f, 0, orderU, mostU, share * o.tolerance, o.fairness, knownU, NU,
                              refusal) ||
                (twoWays && !fewestWithin(f, 1, orderV, mostV, share * o.tolerance, o.fairness,
                                          knownV, NV, refusal))) {
                return false;
            }
            if (static_cast<long long>(NU) * NV > kMostNetPoints) break;
            if (!fitNet(f, NU, NV, o.fairness, fit, &report.deviation, refusal)) return false;
            within = fit.deviation.max <= o.tolerance;
            if (NU == mostU && NV == mostV) break;
        }
        // The shares are cautious: points are taken off each direction in turn (bisection down
        // to seven tenths of it) while the whole net stays within.
        for (int dir = 0; within && dir < (twoWays ? 2 : 1); ++dir) {
            int& n = dir == 0 ? NU : NV;
            const int found = n;
            int lo = std::max(dir == 0 ? orderU : orderV, found * 7 / 10) - 1, hi = found;
            while (hi - lo > 1) {
                n = lo + (hi - lo) / 2;
                Fitted trial;
                std::vector<float> map;
                if (!fitNet(f, NU, NV, o.fairness, trial, &map, refusal)) return false;
                if (trial.deviation.max <= o.tolerance) {
                    hi = n;
                    fit = std::move(trial);
                    report.deviation = std::move(map);
                } else {
                    lo = n;
                }
            }
            n = hi;
        }
        if (!within) {
            char line[240];
            snprintf(
                line, sizeof line,
                "no rebuild within %.6g: %s points, the most this surface is given, "
                "still deviate %.6g%s",
                o.tolerance, countText(NU, NV, twoWays).c_str(), fit.deviation.max,
                o.fairness > 0.0 ? "; a smaller fairness weight lets the fit come closer" : "");
            refusal = line;
            return false;
        }
    }

    SurfaceModel result;
    result.countU = fit.NU;
    result.countV = fit.NV;
    result.orderU = orderU;
    result.orderV = orderV;
    result.knotCountU = fit.NU + orderU;
    result.knotCountV = fit.NV + orderV;
    result.knotsU = fit.knotsU;
    result.knotsV = fit.knotsV;
    result.controlNet = fit.net;
    result.fileName = in.fileName;
    out = std::move(result);

    report.pointsU = fit.NU;
    report.pointsV = fit.NV;
    report.samplesU = f.samplesU;
    report.samplesV = static_cast<int>(f.data.cols() / 3);
    report.maxDeviation = fit.deviation.max;
    report.rmsDeviation = std::sqrt(fit.deviation.sumSquares /
                                    (static_cast<double>(report.samplesU) * report.samplesV));
    report.u = sampleParameter(static_cast<int>(fit.deviation.a), report.samplesU);
    report.v = sampleParameter(static_cast<int>(fit.deviation.r), report.samplesV);
    for (int c = 0; c < 3; ++c) report.point[c] = f.data(fit.deviation.a, 3 * fit.deviation.r + c);
    report.positions.resize(report.deviation.size() * 3);
    for (int r = 0; r < report.samplesV; ++r) {
        for (int a = 0; a < report.samplesU; ++a) {
            float* q = report.positions.data() + 3 * (static_cast<size_t>(r) * report.samplesU + a);
            for (int c = 0; c < 3; ++c) q[c] = static_cast<float>(f.data(a, 3 * r + c));
        }
    }
    return true;
}

}  // namespace

bool rebuildSurface(const SurfaceModel& in, const RebuildOptions& options, SurfaceModel& out,
                    RebuildReport& report, std::string& refusal) {
    return rebuild(in, options, true, out, report, refusal);
}

bool rebuildSections(const SurfaceModel& in, const RebuildOptions& options, SurfaceModel& out,
                     RebuildReport& report, std::string& refusal) {
    return rebuild(in, options, false, out, report, refusal);
}

bool rebuildCurve(int n, int p, const float* U, const PointH* Pw, const RebuildOptions& options,
                  std::vector<PointH>& outPoints, std::vector<float>& outKnots,
                  RebuildReport& report, std::string& refusal) {
    if (n < 0 || p < 0 || U == nullptr || Pw == nullptr) {
        refusal = "there is no curve to rebuild";
        return false;
    }
    // One section with one point across: a surface whose only section is the curve.
    SurfaceModel curve;
    curve.countU = n + 1;
    curve.countV = 1;
    curve.orderU = p + 1;
    curve.orderV = 1;
    curve.knotCountU = n + p + 2;
    curve.knotCountV = 2;
    curve.knotsU.assign(U, U + n + p + 2);
    curve.knotsV = {0.0f, 1.0f};
    curve.controlNet.assign(Pw, Pw + n + 1);
    SurfaceModel fitted;
    if (!rebuildSections(curve, options, fitted, report, refusal)) return false;
    outPoints = fitted.controlNet;
    outKnots = fitted.knotsU;
    return true;
}

// The surface's points at the Greville parameters of its control points (where each control
// point pulls hardest, and where its scatter shows), and their fifth differences along each
// direction, across the surface (the component along its normal: sliding along the surface is a
// matter of parameters, not of shape). A smooth run of points has fifth differences near 0
// (every polynomial of degree 4 in the index has none, and an odd difference of a symmetric arc
// lies along it), while independent scatter of deviation sigma gives ones of deviation
// sqrt(252) sigma. The median is used, so features and poles count little, and the quieter
// direction is taken, so the estimate errs low: only a tolerance surely below the scatter is
// refused. A shape that turns a radian or more from one point to the next has fifth differences
// as large as scatter's, and cannot be told from it: a direction counts only with at least
// kLeastScatterPoints points and kLeastScatterSites differences in all, so a coarse net (a
// six-point wave) is not taken for a noisy one.
constexpr int kLeastScatterPoints = 8;
constexpr int kScatterRows = 24;
constexpr size_t kLeastScatterSites = 20;

double estimateScatter(const SurfaceModel& s) {
    if (!surfaceIsUsable(s) || !surfaceIsFinite(s)) return 0.0;
    if (s.countU < kLeastScatterPoints && s.countV < kLeastScatterPoints) return 0.0;
    auto greville = [](const std::vector<float>& U, int i, int order, int count) {
        const int p = order - 1;
        double sum = 0.0;
        for (int k = 1; k <= p; ++k) sum += U[static_cast<size_t>(i + k)];
        const double g =
            p > 0 ? sum / p : 0.5 * (U[static_cast<size_t>(i)] + U[static_cast<size_t>(i + 1)]);
        const double lo = U[static_cast<size_t>(p)], hi = U[static_cast<size_t>(count)];
        return static_cast<float>(std::min(hi, std::max(lo, g)));
    };
    // Points are evaluated as the rows taken need them: kScatterRows rows a direction, evenly
    // spread, give thousands of differences, plenty for a median, at a fraction of the net.
    const size_t total = s.controlNet.size();
    std::vector<Eigen::Vector3d> point(total), normal(total), tangent(total);
    enum : char { unknown, withNormal, withTangent, without, noPoint };
    std::vector<char> state(total, unknown);
    // A lone section has no normal of the surface: its points are measured across its tangent.
    const bool loneSection = s.countV == 1;
    auto evaluate = [&](size_t k) {
        if (state[k] != unknown) return state[k];
        const int i = static_cast<int>(k % static_cast<size_t>(s.countU));
        const int j = static_cast<int>(k / static_cast<size_t>(s.countU));
        SurfaceDerivatives d;
        if (!evaluateSurfaceDerivatives(s, greville(s.knotsU, i, s.orderU, s.countU),
                                        greville(s.knotsV, j, s.orderV, s.countV), d)) {
            return state[k] = noPoint;
        }
        point[k] = Eigen::Vector3d(d.point.x, d.point.y, d.point.z);
        const Eigen::Vector3d su(d.Su.x, d.Su.y, d.Su.z), sv(d.Sv.x, d.Sv.y, d.Sv.z);
        const Eigen::Vector3d n = su.cross(sv);
        if (n.norm() > 1e-9 * (su.squaredNorm() + sv.squaredNorm()) && n.norm() > 0.0) {
            normal[k] = n.normalized();
            return state[k] = withNormal;
        }
        if (loneSection && su.norm() > 0.0) {
            tangent[k] = su.normalized();
            return state[k] = withTangent;
        }
        return state[k] = without;
    };
    const double stencil[6] = {-1, 5, -10, 10, -5, 1};
    double best = -1.0;
    for (int dir = 0; dir < 2; ++dir) {
        const int along = dir == 0 ? s.countU : s.countV;
        const int across = dir == 0 ? s.countV : s.countU;
        if (along < kLeastScatterPoints) continue;
        std::vector<double> sizes;
        const int rows = std::min(across, kScatterRows);
        for (int taken = 0; taken < rows; ++taken) {
            const int r =
                rows > 1
                    ? static_cast<int>(static_cast<long long>(taken) * (across - 1) / (rows - 1))
                    : 0;
            auto index = [&](int t) {
                return dir == 0 ? static_cast<size_t>(r) * s.countU + t
                                : static_cast<size_t>(t) * s.countU + r;
            };
            for (int t = 0; t < along; ++t) {
                if (evaluate(index(t)) == noPoint) return 0.0;
            }
            for (int t = 0; t + 5 < along; ++t) {
                const size_t c0 = index(t + 2), c1 = index(t + 3);
                const char kind = state[c0];
                if ((kind != withNormal && kind != withTangent) || state[c1] != kind) continue;
                Eigen::Vector3d difference = Eigen::Vector3d::Zero();
                for (int k = 0; k < 6; ++k) difference += stencil[k] * point[index(t + k)];
                if (kind == withNormal) {
                    const Eigen::Vector3d n = (normal[c0] + normal[c1]).normalized();
                    sizes.push_back(std::fabs(n.dot(difference)));
                } else {
                    const Eigen::Vector3d e = (tangent[c0] + tangent[c1]).normalized();
                    sizes.push_back((difference - e.dot(difference) * e).norm());
                }
            }
        }
        if (sizes.size() < kLeastScatterSites) continue;
        std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
        // 1.4826 times the median absolute value is the deviation of a normal distribution.
        const double sigma = 1.4826 * sizes[sizes.size() / 2] / std::sqrt(252.0);
        best = best < 0.0 ? sigma : std::min(best, sigma);
    }
    return best < 0.0 ? 0.0 : best;
}

std::string rebuildReportText(const RebuildReport& r) {
    char line[400];
    snprintf(line, sizeof line,
             "rebuilt to %d x %d points; largest deviation %.6g at (u, v) = (%.4g, %.4g), point "
             "(%.6g, %.6g, %.6g); rms %.6g; scatter of the input about %.3g",
             r.pointsU, r.pointsV, r.maxDeviation, r.u, r.v, r.point[0], r.point[1], r.point[2],
             r.rmsDeviation, r.scatter);
    std::string text = line;
    if (r.rational)
        text += "; the input was rational: the rebuilt points fit its shape with weight 1";
    return text;
}

bool rebuildOneSection(const SurfaceModel& in, int section, const RebuildOptions& options,
                       SurfaceModel& out, RebuildReport& report, std::string& refusal) {
    if (!checkInput(in, options, refusal)) return false;
    if (!hasSection(in, section)) {
        refusal = "there is no section " + std::to_string(section);
        return false;
    }
    const bool byTolerance = options.pointsU <= 0 && options.pointsV <= 0;
    if (!byTolerance && options.pointsU != in.countU && in.countV > 1) {
        refusal = "the sections of a net share their point count (" + std::to_string(in.countU) +
                  "): rebuild every section to change it";
        return false;
    }
    if (!clampedKnots(in.knotsU, in.countU - 1, in.orderU - 1)) {
        refusal = "a section whose knots are not clamped (a closed one) is not rebuilt alone";
        return false;
    }
    RebuildOptions fixed = options;
    fixed.pointsU = byTolerance ? in.countU : options.pointsU;
    fixed.pointsV = 0;
    fixed.tolerance = 0.0;
    std::vector<PointH> points;
    std::vector<float> knots;
    RebuildReport found;
    if (!rebuildCurve(in.countU - 1, in.orderU - 1, in.knotsU.data(), sectionPoints(in, section),
                      fixed, points, knots, found, refusal)) {
        return false;
    }
    if (byTolerance && found.maxDeviation > options.tolerance) {
        char line[200];
        snprintf(line, sizeof line,
                 "the section keeps the net's %d points, and with them strays %.6g, past %.6g",
                 in.countU, found.maxDeviation, options.tolerance);
        refusal = line;
        return false;
    }
    SurfaceModel result = in;
    if (static_cast<int>(points.size()) != in.countU) {  // a lone section, to a new count
        result.countU = static_cast<int>(points.size());
        result.knotCountU = result.countU + result.orderU;
        result.knotsU = knots;
        result.controlNet = points;
    } else {
        std::copy(points.begin(), points.end(), sectionPoints(result, section));
    }
    out = std::move(result);
    report = std::move(found);
    report.v = in.countV > 1 ? static_cast<double>(section) / (in.countV - 1) : 0.0;
    report.pointsV = in.countV;
    return true;
}

bool rebuildPreview(const EditorState& state, const RebuildOptions& options, RebuildScope scope,
                    RebuildReport& report, std::string& refusal) {
    SurfaceModel rebuilt;
    if (scope == RebuildScope::surface && state.panel.skinningEnabled != 0) {
        refusal =
            "skinning is on, and the rebuilt net would be lofted through again; rebuild "
            "the sections (the loft follows them), or turn skinning off";
        return false;
    }
    switch (scope) {
        case RebuildScope::surface:
            return rebuildSurface(state.surface, options, rebuilt, report, refusal);
        case RebuildScope::sections:
            return rebuildSections(state.surface, options, rebuilt, report, refusal);
        case RebuildScope::currentSection:
            return rebuildOneSection(state.surface, state.selection.currentSection, options,
                                     rebuilt, report, refusal);
    }
    return false;
}

bool rebuildInEditor(EditorState& state, const RebuildOptions& options, RebuildScope scope,
                     std::string& message) {
    SurfaceModel rebuilt;
    RebuildReport report;
    std::string refusal;
    bool done = false;
    const int section = state.selection.currentSection;
    if (scope == RebuildScope::surface && state.panel.skinningEnabled != 0) {
        rebuildPreview(state, options, scope, report, refusal);
    } else if (scope == RebuildScope::surface) {
        done = rebuildSurface(state.surface, options, rebuilt, report, refusal);
    } else if (scope == RebuildScope::sections) {
        done = rebuildSections(state.surface, options, rebuilt, report, refusal);
    } else {
        done = rebuildOneSection(state.surface, section, options, rebuilt, report, refusal);
    }
    if (!done) {
        message = "Rebuild refused: " + refusal;
        setStatusLinef(state.panel, "%s", message.c_str());
        return false;
    }
    const std::string points = scope == RebuildScope::surface
                                   ? countText(report.pointsU, report.pointsV, true)
                                   : std::to_string(report.pointsU);
    const std::string step = (scope == RebuildScope::surface ? std::string("rebuild to ")
                              : scope == RebuildScope::sections
                                  ? std::string("rebuild sections to ")
                                  : "rebuild section " + std::to_string(section) + " to ") +
                             points + " points";
    runEdit(state, step, [&] {
        state.surface = std::move(rebuilt);
        if (scope != RebuildScope::currentSection) clearPick(state.selection);
        surfaceEdited(state, scope == RebuildScope::currentSection && state.surface.countV > 1
                                 ? EditEffect::movedPoints
                                 : EditEffect::reshaped);
    });
    message = rebuildReportText(report);
    setStatusLinef(state.panel, "%s", message.c_str());
    return true;
}
