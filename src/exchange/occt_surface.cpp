// A SurfaceModel as an Open CASCADE B-spline surface and face.
#include "exchange/occt_surface.h"

#include <BRepBuilderAPI_MakeFace.hxx>
#include <Precision.hxx>
#include <Standard_Failure.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColStd_Array2OfReal.hxx>
#include <TColgp_Array2OfPnt.hxx>

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

TopoDS_Face makeOcctFace(const Handle(Geom_BSplineSurface)& surface, std::string& error) {
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
