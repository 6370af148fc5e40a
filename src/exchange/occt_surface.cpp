// A SurfaceModel as an Open CASCADE B-spline surface and face.
#include "exchange/occt_surface.h"

#include <BRepBuilderAPI_MakeFace.hxx>
#include <Precision.hxx>
#include <Standard_Failure.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColStd_Array2OfReal.hxx>
#include <TColgp_Array2OfPnt.hxx>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The control points of one direction whose basis functions are not zero on all of
// [U[p], U[n+1]]: first .. last.
void liveRange(const std::vector<float>& U, int count, int order, int& first, int& last) {
    const int n = count - 1, p = order - 1;
    first = 0;
    last = n;
    // N_i lives on [U[i], U[i+p+1]]; it vanishes on the range when that ends at U[p] or starts
    // at U[n+1].
    while (first < last && U[static_cast<size_t>(first + p + 1)] <= U[static_cast<size_t>(p)]) {
        ++first;
    }
    while (last > first && U[static_cast<size_t>(last)] >= U[static_cast<size_t>(n + 1)]) --last;
}

// The flat knots U[first .. last + p + 1] as distinct values and multiplicities.
void distinctKnots(const std::vector<float>& U, int first, int last, int p,
                   std::vector<double>& knots, std::vector<int>& multiplicities) {
    for (int i = first; i <= last + p + 1; ++i) {
        const double knot = U[static_cast<size_t>(i)];
        if (!knots.empty() && knots.back() == knot) {
            ++multiplicities.back();
        } else {
            knots.push_back(knot);
            multiplicities.push_back(1);
        }
    }
}

template <typename Array, typename Value>
Array toArray(const std::vector<Value>& values) {
    Array array(1, static_cast<int>(values.size()));
    for (size_t i = 0; i < values.size(); ++i) array(static_cast<int>(i) + 1) = values[i];
    return array;
}

}  // namespace

Handle(Geom_BSplineSurface) makeOcctSurface(const SurfaceModel& surface, std::string& error) {
    const SurfaceModel& s = surface;
    const int p = s.orderU - 1, q = s.orderV - 1;
    int firstU, lastU, firstV, lastV;
    liveRange(s.knotsU, s.countU, s.orderU, firstU, lastU);
    liveRange(s.knotsV, s.countV, s.orderV, firstV, lastV);
    std::vector<double> knotsU, knotsV;
    std::vector<int> multiplicitiesU, multiplicitiesV;
    distinctKnots(s.knotsU, firstU, lastU, p, knotsU, multiplicitiesU);
    distinctKnots(s.knotsV, firstV, lastV, q, knotsV, multiplicitiesV);

    // OCCT's poles are indexed (u, v) from 1; the net is section-major with u along a section.
    TColgp_Array2OfPnt poles(1, lastU - firstU + 1, 1, lastV - firstV + 1);
    TColStd_Array2OfReal weights(1, lastU - firstU + 1, 1, lastV - firstV + 1);
    for (int section = firstV; section <= lastV; ++section) {
        for (int point = firstU; point <= lastU; ++point) {
            const PointH& P = s.controlNet[static_cast<size_t>(section) * s.countU + point];
            const double w = P.w;
            poles(point - firstU + 1, section - firstV + 1) = gp_Pnt(P.x / w, P.y / w, P.z / w);
            weights(point - firstU + 1, section - firstV + 1) = w;
        }
    }
    try {
        return new Geom_BSplineSurface(poles, weights, toArray<TColStd_Array1OfReal>(knotsU),
                                       toArray<TColStd_Array1OfReal>(knotsV),
                                       toArray<TColStd_Array1OfInteger>(multiplicitiesU),
                                       toArray<TColStd_Array1OfInteger>(multiplicitiesV), p, q);
    } catch (const Standard_Failure& failure) {
        error = std::string("Open CASCADE refuses the surface: ") + failure.GetMessageString();
        return nullptr;
    }
}

TopoDS_Face makeOcctFace(const Handle(Geom_BSplineSurface) & surface, std::string& error) {
    try {
        BRepBuilderAPI_MakeFace face(surface, Precision::Confusion());
        if (face.IsDone()) return face.Face();
        error = "Open CASCADE cannot make a face of the surface";
    } catch (const Standard_Failure& failure) {
        error = std::string("Open CASCADE cannot make a face of the surface: ") +
                failure.GetMessageString();
    }
    return TopoDS_Face();
}

namespace {

// A B-spline surface's arrays, from 0: pole (i, j) is poles[i * count[1] + j], i along u.
struct SurfaceArrays {
    int count[2] = {0, 0};
    int degree[2] = {0, 0};
    bool periodic[2] = {false, false};
    std::vector<gp_Pnt> poles;
    std::vector<double> weights;
    std::vector<double> knots[2];
    std::vector<int> multiplicities[2];

    // Index of the pole at row `row` of direction d, position k along the other direction.
    size_t at(int d, int row, int k) const {
        return d == 0 ? static_cast<size_t>(row) * count[1] + k
                      : static_cast<size_t>(k) * count[1] + row;
    }
    std::vector<double> flatKnots(int d) const {
        std::vector<double> flat;
        for (size_t i = 0; i < knots[d].size(); ++i) {
            flat.insert(flat.end(), static_cast<size_t>(multiplicities[d][i]), knots[d][i]);
        }
        return flat;
    }
};

SurfaceArrays arraysOf(const Handle(Geom_BSplineSurface) & s) {
    SurfaceArrays a;
    a.count[0] = s->NbUPoles();
    a.count[1] = s->NbVPoles();
    a.degree[0] = s->UDegree();
    a.degree[1] = s->VDegree();
    a.periodic[0] = s->IsUPeriodic();
    a.periodic[1] = s->IsVPeriodic();
    for (int i = 1; i <= a.count[0]; ++i) {
        for (int j = 1; j <= a.count[1]; ++j) {
            a.poles.push_back(s->Pole(i, j));
            a.weights.push_back(s->Weight(i, j));
        }
    }
    for (int k = 1; k <= s->NbUKnots(); ++k) {
        a.knots[0].push_back(s->UKnot(k));
        a.multiplicities[0].push_back(s->UMultiplicity(k));
    }
    for (int k = 1; k <= s->NbVKnots(); ++k) {
        a.knots[1].push_back(s->VKnot(k));
        a.multiplicities[1].push_back(s->VMultiplicity(k));
    }
    return a;
}

Handle(Geom_BSplineSurface) surfaceOf(const SurfaceArrays& a) {
    TColgp_Array2OfPnt poles(1, a.count[0], 1, a.count[1]);
    TColStd_Array2OfReal weights(1, a.count[0], 1, a.count[1]);
    for (int i = 0; i < a.count[0]; ++i) {
        for (int j = 0; j < a.count[1]; ++j) {
            poles(i + 1, j + 1) = a.poles[a.at(0, i, j)];
            weights(i + 1, j + 1) = a.weights[a.at(0, i, j)];
        }
    }
    return new Geom_BSplineSurface(poles, weights, toArray<TColStd_Array1OfReal>(a.knots[0]),
                                   toArray<TColStd_Array1OfReal>(a.knots[1]),
                                   toArray<TColStd_Array1OfInteger>(a.multiplicities[0]),
                                   toArray<TColStd_Array1OfInteger>(a.multiplicities[1]),
                                   a.degree[0], a.degree[1], a.periodic[0], a.periodic[1]);
}

// True when rows r and s of direction d have the same poles within tolerance and the same
// weights within a relative 2^-20.
bool rowsAgree(const SurfaceArrays& a, int d, int r, int s, double tolerance) {
    for (int k = 0; k < a.count[1 - d]; ++k) {
        const size_t i = a.at(d, r, k), j = a.at(d, s, k);
        if (a.poles[i].Distance(a.poles[j]) > tolerance) return false;
        if (std::fabs(a.weights[i] - a.weights[j]) > std::ldexp(a.weights[i], -20)) return false;
    }
    return true;
}

void copyRow(SurfaceArrays& a, int d, int from, int to) {
    for (int k = 0; k < a.count[1 - d]; ++k) {
        a.poles[a.at(d, to, k)] = a.poles[a.at(d, from, k)];
        a.weights[a.at(d, to, k)] = a.weights[a.at(d, from, k)];
    }
}

// Direction d closed as closeSeams describes; false when it is not closed.
bool closeDirection(SurfaceArrays& a, int d, double tolerance) {
    const int N = a.count[d], p = a.degree[d];
    if (a.periodic[d] || N < 2) return false;
    const std::vector<int>& m = a.multiplicities[d];
    if (m.front() == p + 1 && m.back() == p + 1) {
        if (!rowsAgree(a, d, 0, N - 1, tolerance)) return false;
        copyRow(a, d, 0, N - 1);
        return true;
    }
    // Unclamped: rows R .. N-1 repeat rows 0 .. p-1, and the knots repeat one period on.
    const int R = N - p;
    const std::vector<double> F = a.flatKnots(d);  // N + p + 1 knots
    if (p < 1 || R <= p) return false;
    const double period = F[static_cast<size_t>(N)] - F[static_cast<size_t>(p)];
    if (!(period > 0.0)) return false;
    for (int k = 0; k < p; ++k) {
        if (!rowsAgree(a, d, k, R + k, tolerance)) return false;
    }
    for (size_t i = 0; i + R < F.size(); ++i) {
        if (std::fabs(F[i + R] - F[i] - period) > std::ldexp(period, -16)) return false;
    }
    // The ends of the range must be single knots, so one period holds R of them.
    if (F[p - 1] == F[p] || F[p] == F[p + 1] || F[N - 1] == F[N] || F[N] == F[N + 1]) {
        return false;
    }
    const int other = a.count[1 - d];
    SurfaceArrays b = a;
    b.count[d] = R;
    b.poles.resize(static_cast<size_t>(R) * other);
    b.weights.resize(b.poles.size());
    for (int r = 0; r < R; ++r) {
        for (int k = 0; k < other; ++k) {
            b.poles[b.at(d, r, k)] = a.poles[a.at(d, r, k)];
            b.weights[b.at(d, r, k)] = a.weights[a.at(d, r, k)];
        }
    }
    b.knots[d].clear();
    b.multiplicities[d].clear();
    for (int i = p; i <= N; ++i) {
        if (!b.knots[d].empty() && b.knots[d].back() == F[static_cast<size_t>(i)]) {
            ++b.multiplicities[d].back();
        } else {
            b.knots[d].push_back(F[static_cast<size_t>(i)]);
            b.multiplicities[d].push_back(1);
        }
    }
    b.periodic[d] = true;
    a = b;
    return true;
}

// Largest distance between the two surfaces over a grid of their common parameter range.
double largestDistance(const Handle(Geom_BSplineSurface) & a,
                       const Handle(Geom_BSplineSurface) & b) {
    double u0, u1, v0, v1;
    a->Bounds(u0, u1, v0, v1);
    double most = 0.0;
    const int steps = 16;
    for (int i = 0; i <= steps; ++i) {
        for (int j = 0; j <= steps; ++j) {
            const double u = u0 + (u1 - u0) * i / steps, v = v0 + (v1 - v0) * j / steps;
            most = std::max(most, a->Value(u, v).Distance(b->Value(u, v)));
        }
    }
    return most;
}

}  // namespace

Handle(Geom_BSplineSurface)
    closeSeams(const Handle(Geom_BSplineSurface) & surface, double tolerance) {
    Handle(Geom_BSplineSurface) result = surface;
    for (int d = 0; d < 2; ++d) {
        SurfaceArrays arrays = arraysOf(result);
        if (!closeDirection(arrays, d, tolerance)) continue;
        try {
            const Handle(Geom_BSplineSurface) closed = surfaceOf(arrays);
            if (largestDistance(surface, closed) <= tolerance) result = closed;
        } catch (const Standard_Failure&) {
            // OCCT refused the closed form: the surface stays open in this direction.
        }
    }
    return result;
}
