// Hydrostatics of a hull surface at a draft, integrated on the exact rational surface in double
// precision: displaced volume and its centre, waterplane area and its moments, metacentric
// radii, wetted area, waterline extents, form coefficients and the sectional area curve, each
// with an estimate of its integration error.
//
// Axes: x along the length, y up, z across. The draft T is measured from the lowest point of the
// surface: the waterplane is y = lowest y + T. The hull is one surface, open above the waterplane
// (the deck) and wherever its edge lies on a plane of constant x (a transom, closed there by a
// flat plate) or on the mirror plane z = C (a half model, counted with its mirror image).
#pragma once

#include <string>
#include <vector>

#include "hull/hull_surface.h"
#include "model/surface_model.h"

// A figure and the estimated size of its integration error (never negative).
struct HullFigure {
    double value = 0.0;
    double error = 0.0;
};

struct HydrostaticsOptions {
    double density = 1.025;  // mass per volume: tonnes per cubic metre for a hull in metres
    int stations = 0;        // points of the sectional area curve (0: none)
};

struct Hydrostatics {
    double draft = 0.0;
    double waterplaneY = 0.0;
    bool halfModel = false;  // an edge lies on the mirror plane: the figures include its image
    HullFigure volume, displacement;
    HullFigure lcb, vcb, tcb;  // centre of buoyancy: x, y, z
    HullFigure waterplaneArea, lcf;
    HullFigure bmt, bml, kmt;  // kmt: height of the transverse metacentre above the lowest point
    HullFigure wettedArea, lwl, bwl;
    HullFigure cb, cp, cm, cwp;
    double midshipX = 0.0;  // where cm's section is taken: the middle of the waterline length
    std::vector<double> stationX;
    std::vector<HullFigure> sectionArea;  // immersed area of the section at each stationX
};

// Moments of the surface's normal field integrated over part of the parameter domain.
constexpr int kHullMoments = 10;
struct HullMoments {
    double m[kHullMoments] = {};
};

// The surface prepared for any number of drafts: widened to double, shifted so that its lowest
// point is at y = 0 and its mirror plane at z = 0, with the moments of every patch.
struct HullModel {
    HullSurface surface;
    double mirrorZ = 0.0;
    double lowestY = 0.0, highestY = 0.0;
    double size = 1.0;                             // diagonal of the box of the control points
    std::vector<int> order;                        // patches by their highest y
    std::vector<HullMoments> prefix, prefixError;  // sums over order[0 .. k-1]
    // Per patch: the lowest y and the least and greatest z of a grid of its points, the z
    // measured from the mirror plane (a half model must keep to one side of it).
    std::vector<double> sampledLowY, sampledLowZ, sampledHighZ;
    // Points along each edge of the parameter rectangle (s first, s last, t first, t last) and
    // how far they spread from the first of them: whether an edge is open below a waterplane
    // is then a look at its points, the same for every draft.
    struct EdgePoint {
        double x, y, z;
    };
    std::vector<EdgePoint> edgePoints[4];
    double edgeSpread[4] = {0, 0, 0, 0};
};

// Prepares surface for hydrostatics about the mirror plane z = mirrorZ. False with a message
// for a surface that cannot bound water (see buildHullSurface) or a mirror plane that is not
// finite.
bool prepareHull(const SurfaceModel& surface, double mirrorZ, HullModel& model, std::string& error);

// The figures at draft T. False with a message, and out unchanged, when the surface does not
// bound water below that waterplane: a draft that is not finite, of 0 or below, or above the
// whole hull; an edge below the waterplane that is neither on the mirror plane nor on a plane of
// constant x (which edge, and where); a half model that reaches across its mirror plane below
// the waterplane; a density that is not a positive finite number.
bool computeHydrostatics(const HullModel& model, double draft, const HydrostaticsOptions& options,
                         Hydrostatics& out, std::string& error);

// The waterline at draft T as segments in model coordinates, two points each (x y z x y z),
// found on a grid of perSpan x perSpan cells in every patch; the mirror image is not included.
std::vector<double> hullWaterline(const HullModel& model, double draft, int perSpan);
