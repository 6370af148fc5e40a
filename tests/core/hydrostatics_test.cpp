// Hydrostatics against closed forms: the Wigley hull (half and whole, at several drafts, moved
// and turned), a box barge and a circular cylinder floating at several drafts; refusals of hulls
// that do not bound water; the command line's table, CSV files and exit statuses.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "hull/hydrostatics.h"
#include "io/editor_file_io.h"
#include "model/knots.h"
#include "support/scratch_files.h"

namespace {

using testsupport::runLoftwork;
using testsupport::scratchDir;

constexpr double kPi = 3.14159265358979323846;

SurfaceModel makeSurface(int countU, int countV, int orderU, int orderV,
                         const std::vector<PointH>& net, std::vector<float> knotsU = {}) {
    SurfaceModel s;
    s.countU = countU;
    s.countV = countV;
    s.orderU = orderU;
    s.orderV = orderV;
    s.knotCountU = countU + orderU;
    s.knotCountV = countV + orderV;
    s.knotsU.resize(static_cast<size_t>(s.knotCountU));
    s.knotsV.resize(static_cast<size_t>(s.knotCountV));
    fillUniformKnots(s.knotsU.data(), s.knotCountU, orderU);
    fillUniformKnots(s.knotsV.data(), s.knotCountV, orderV);
    if (!knotsU.empty()) s.knotsU = knotsU;
    s.controlNet = net;
    return s;
}

// Bernstein coefficients of the quadratic through f(0), f(1/2), f(1).
std::vector<double> quadratic(const std::function<double(double)>& f) {
    return {f(0.0), 2.0 * f(0.5) - 0.5 * (f(0.0) + f(1.0)), f(1.0)};
}

// Wigley hull, half-breadth z = B/2 (1 - (2x/L)^2)(1 - (y/T)^2), keel at y = -T, design
// waterline y = 0. Sections along x (t), points down the section (s) from the keel up; the
// whole hull runs from the port waterline down to the keel and up to starboard, with a double
// knot at the keel.
struct Wigley {
    double L, B, T;
    SurfaceModel half() const {
        const auto fx = quadratic([&](double t) { return 1.0 - std::pow(2.0 * t - 1.0, 2); });
        const auto gy = quadratic([&](double s) { return 1.0 - std::pow(s - 1.0, 2); });
        std::vector<PointH> net;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                net.push_back({static_cast<float>(-L / 2 + L * i / 2),
                               static_cast<float>(-T + T * j / 2),
                               static_cast<float>(B / 2 * fx[i] * gy[j]), 1.0f});
            }
        }
        return makeSurface(3, 3, 3, 3, net);
    }
    SurfaceModel whole() const {
        const SurfaceModel h = half();
        std::vector<PointH> net;
        for (int i = 0; i < 3; ++i) {
            for (int j = 4; j >= 0; --j) {
                PointH p = h.controlNet[static_cast<size_t>(3 * i + (j >= 2 ? j - 2 : 2 - j))];
                if (j < 2) p.z = -p.z;
                net.push_back(p);
            }
        }
        return makeSurface(5, 3, 3, 3, net, {0, 0, 0, 1, 1, 2, 2, 2});
    }
    // Figures at draft d from the closed forms: a(y) = 1 - (y/T)^2 across the depth.
    Hydrostatics expected(double d) const {
        const double yw = -T + d;
        const auto A = [&](double y) { return y - y * y * y / (3 * T * T); };  // int a
        const auto Ay = [&](double y) { return y * y / 2 - std::pow(y, 4) / (4 * T * T); };
        const double a = 1.0 - yw * yw / (T * T);
        const double section = B * (A(yw) - A(-T));
        Hydrostatics h;
        h.volume.value = 2.0 / 3.0 * L * section;
        h.vcb.value = (Ay(yw) - Ay(-T)) / (A(yw) - A(-T));
        h.waterplaneArea.value = 2.0 / 3.0 * L * B * a;
        h.bmt.value = 4.0 * std::pow(B * a, 3) * L / 105.0 / h.volume.value;
        h.bml.value = B * a * L * L * L / 30.0 / h.volume.value;
        h.kmt.value = h.vcb.value + T + h.bmt.value;
        h.lwl.value = L;
        h.bwl.value = B * a;
        h.cb.value = h.volume.value / (L * B * a * d);
        h.cm.value = section / (B * a * d);
        h.cp.value = 2.0 / 3.0;
        h.cwp.value = 2.0 / 3.0;
        // Wetted area of both sides by composite Simpson on the closed form's slopes.
        const int n = 400;
        double wetted = 0.0;
        for (int i = 0; i <= n; ++i) {
            for (int j = 0; j <= n; ++j) {
                const double x = -L / 2 + L * i / n, y = -T + d * j / n;
                const double xi = 2 * x / L, eta = y / T;
                const double zx = B / 2 * (-4 * xi / L) * (1 - eta * eta);
                const double zy = B / 2 * (1 - xi * xi) * (-2 * eta / T);
                const double w = (i == 0 || i == n ? 1
                                  : i % 2          ? 4
                                                   : 2) *
                                 (j == 0 || j == n ? 1
                                  : j % 2          ? 4
                                                   : 2);
                wetted += w * std::sqrt(1 + zx * zx + zy * zy);
            }
        }
        h.wettedArea.value = 2.0 * wetted * (L / n) * (d / n) / 9.0;
        return h;
    }
};

Hydrostatics compute(const SurfaceModel& s, double draft, double mirrorZ = 0.0, int stations = 0) {
    HullModel model;
    std::string error;
    EXPECT_TRUE(prepareHull(s, mirrorZ, model, error)) << error;
    Hydrostatics h;
    HydrostaticsOptions options;
    options.stations = stations;
    EXPECT_TRUE(computeHydrostatics(model, draft, options, h, error)) << error;
    return h;
}

std::string refusal(const SurfaceModel& s, double draft) {
    HullModel model;
    std::string error;
    if (!prepareHull(s, 0.0, model, error)) return error;
    Hydrostatics h;
    if (computeHydrostatics(model, draft, HydrostaticsOptions{}, h, error)) return "";
    return error;
}

#define EXPECT_FIGURE(got, want, scale)                           \
    do {                                                          \
        EXPECT_NEAR((got).value, (want), 1e-9 * (scale)) << #got; \
        EXPECT_LE((got).error, 1e-8 * (scale)) << #got;           \
    } while (0)

void expectWigley(const Hydrostatics& h, const Hydrostatics& e, double size, double dy = 0.0) {
    EXPECT_FIGURE(h.volume, e.volume.value, size * size * size);
    EXPECT_FIGURE(h.vcb, e.vcb.value + dy, size);
    EXPECT_FIGURE(h.waterplaneArea, e.waterplaneArea.value, size * size);
    EXPECT_FIGURE(h.bmt, e.bmt.value, size);
    EXPECT_FIGURE(h.bml, e.bml.value, size);
    EXPECT_FIGURE(h.kmt, e.kmt.value, size);
    EXPECT_FIGURE(h.lwl, e.lwl.value, size);
    EXPECT_FIGURE(h.bwl, e.bwl.value, size);
    EXPECT_FIGURE(h.cb, e.cb.value, 1.0);
    EXPECT_FIGURE(h.cm, e.cm.value, 1.0);
    EXPECT_FIGURE(h.cp, e.cp.value, 1.0);
    EXPECT_FIGURE(h.cwp, e.cwp.value, 1.0);
    // Simpson's rule on 400 x 400 intervals is good to about 1e-10 here.
    EXPECT_NEAR(h.wettedArea.value, e.wettedArea.value, 1e-8 * size * size);
}

TEST(HydrostaticsWigley, HalfAndWholeMatchClosedFormsAtEveryDraft) {
    const Wigley w{3.0, 0.75, 0.375};
    for (double fraction : {1.0, 0.75, 0.5, 0.2}) {
        SCOPED_TRACE(fraction);
        const double d = fraction * w.T;
        const Hydrostatics e = w.expected(d);
        const Hydrostatics half = compute(w.half(), d);
        const Hydrostatics whole = compute(w.whole(), d);
        EXPECT_TRUE(half.halfModel);
        EXPECT_FALSE(whole.halfModel);
        for (const Hydrostatics* h : {&half, &whole}) {
            expectWigley(*h, e, w.L);
            EXPECT_FIGURE(h->lcb, 0.0, w.L);
            EXPECT_FIGURE(h->lcf, 0.0, w.L);
            EXPECT_FIGURE(h->tcb, 0.0, w.L);
        }
    }
    // The textbook figures at the design draft.
    const Hydrostatics design = compute(w.half(), w.T, 0.0, 11);
    EXPECT_NEAR(design.volume.value, 4.0 / 9.0 * w.L * w.B * w.T, 1e-12);
    EXPECT_NEAR(design.vcb.value, -3.0 * w.T / 8.0, 1e-12);
    EXPECT_NEAR(design.bmt.value, 3.0 * w.B * w.B / (35.0 * w.T), 1e-12);
    // Sectional areas (2/3) B T (1 - (2x/L)^2) at the stations.
    ASSERT_EQ(design.sectionArea.size(), 11u);
    for (size_t i = 0; i < 11; ++i) {
        const double xi = 2.0 * design.stationX[i] / w.L;
        EXPECT_NEAR(design.sectionArea[i].value, 2.0 / 3.0 * w.B * w.T * (1 - xi * xi), 1e-9);
    }
}

// The half model moved off z = 0 and counted about its own mirror plane, and the whole hull moved
// by the same amount and turned about y: centres move and turn with it, the waterplane's second
// moments turn as a tensor, the rest stays.
TEST(HydrostaticsWigley, MovedAndTurnedHullChangesOnlyWhatItShould) {
    const Wigley w{2.0, 0.5, 0.25};
    const double d = 0.6 * w.T, dx = 0.75, dy = -0.5, dz = 0.25;
    const Hydrostatics e = w.expected(d);
    const auto moved = [&](SurfaceModel s, double angle) {
        const double c = std::cos(angle), sn = std::sin(angle);
        for (PointH& p : s.controlNet) {
            const double x = p.x, z = p.z;
            p.x = static_cast<float>(c * x + sn * z + dx);
            p.y = static_cast<float>(p.y + dy);
            p.z = static_cast<float>(-sn * x + c * z + dz);
        }
        return s;
    };
    const Hydrostatics half = compute(moved(w.half(), 0.0), d, dz);
    EXPECT_TRUE(half.halfModel);
    expectWigley(half, e, w.L, dy);
    EXPECT_FIGURE(half.lcb, dx, w.L);
    EXPECT_FIGURE(half.tcb, dz, w.L);

    // A quarter turn keeps every stored float exact; a twelfth of a turn rounds the net to
    // floats, which moves the figures by about 1e-8.
    for (const double angle : {kPi / 2.0, kPi / 6.0}) {
        SCOPED_TRACE(angle);
        const double tolerance = angle == kPi / 2.0 ? 1e-9 : 2e-7;
        const Hydrostatics turned = compute(moved(w.whole(), angle), d);
        EXPECT_FALSE(turned.halfModel);
        const double c2 = std::pow(std::cos(angle), 2), s2 = 1.0 - c2;
        EXPECT_NEAR(turned.volume.value, e.volume.value, tolerance);
        EXPECT_NEAR(turned.vcb.value, e.vcb.value + dy, tolerance);
        EXPECT_NEAR(turned.waterplaneArea.value, e.waterplaneArea.value, tolerance);
        EXPECT_NEAR(turned.lcb.value, dx, tolerance);
        EXPECT_NEAR(turned.tcb.value, dz, tolerance);
        EXPECT_NEAR(turned.lcf.value, dx, tolerance);
        EXPECT_NEAR(turned.bmt.value, c2 * e.bmt.value + s2 * e.bml.value, tolerance);
        EXPECT_NEAR(turned.bml.value, s2 * e.bmt.value + c2 * e.bml.value, tolerance);
        EXPECT_NEAR(turned.wettedArea.value, e.wettedArea.value, tolerance + 1e-8);
    }
}

// A box barge L x B x D and a circular cylinder of radius R along x, both closed at their ends
// by transom plates, at several drafts.
TEST(HydrostaticsShapes, BoxAndCylinderMatchClosedForms) {
    const double L = 4.0, B = 1.5, D = 1.0;
    const std::vector<PointH> box = {{0, 1, -0.75f, 1}, {0, 0, -0.75f, 1}, {0, 0, 0.75f, 1},
                                     {0, 1, 0.75f, 1},  {4, 1, -0.75f, 1}, {4, 0, -0.75f, 1},
                                     {4, 0, 0.75f, 1},  {4, 1, 0.75f, 1}};
    const SurfaceModel barge = makeSurface(4, 2, 2, 2, box);
    for (double T : {0.25, 0.5, 0.875}) {
        SCOPED_TRACE(T);
        const Hydrostatics h = compute(barge, T);
        EXPECT_FIGURE(h.volume, L * B * T, 1.0);
        EXPECT_FIGURE(h.lcb, L / 2, 1.0);
        EXPECT_FIGURE(h.vcb, T / 2, 1.0);
        EXPECT_FIGURE(h.bmt, B * B / (12 * T), 1.0);
        EXPECT_FIGURE(h.bml, L * L / (12 * T), 1.0);
        EXPECT_FIGURE(h.wettedArea, L * B + 2 * L * T, 1.0);
        EXPECT_FIGURE(h.lwl, L, 1.0);
        EXPECT_FIGURE(h.bwl, B, 1.0);
        for (const HullFigure* c : {&h.cb, &h.cp, &h.cm, &h.cwp}) EXPECT_FIGURE(*c, 1.0, 1.0);
    }
    EXPECT_NE(refusal(barge, D + 0.01).find("above the whole hull"), std::string::npos);

    // Lower half of a circle of radius 1 in two rational quarter arcs, 3 long.
    const float r = 1.0f, c = static_cast<float>(std::sqrt(0.5));
    std::vector<PointH> arc = {
        {0, 0, -r, 1}, {0, -r * c, -r * c, c}, {0, -r, 0, 1}, {0, -r * c, r * c, c}, {0, 0, r, 1}};
    for (int k = 0; k < 5; ++k)
        arc.push_back({3 * arc[static_cast<size_t>(k)].w, arc[static_cast<size_t>(k)].y,
                       arc[static_cast<size_t>(k)].z, arc[static_cast<size_t>(k)].w});
    const SurfaceModel cylinder = makeSurface(5, 2, 3, 2, arc, {0, 0, 0, 0.5f, 0.5f, 1, 1, 1});
    for (double T : {1.0, 0.5, 0.2}) {
        SCOPED_TRACE(T);
        const double h0 = 1.0 - T;  // waterplane's height below the axis
        const double theta = std::acos(h0), half = std::sin(theta);
        const double area = theta - h0 * half;
        const double centroid = 2.0 * std::pow(half, 3) / (3.0 * area);  // below the axis
        const Hydrostatics h = compute(cylinder, T);
        // The stored weight sqrt(1/2) is a float: the circle is exact to about 1e-8.
        EXPECT_NEAR(h.volume.value, 3.0 * area, 1e-6);
        EXPECT_NEAR(h.vcb.value, -centroid, 1e-6);
        EXPECT_NEAR(h.waterplaneArea.value, 6.0 * half, 1e-6);
        EXPECT_NEAR(h.bmt.value, std::pow(2.0 * half, 3) / 12.0 / area, 1e-6);
        EXPECT_NEAR(h.wettedArea.value, 3.0 * 2.0 * theta, 1e-6);
        EXPECT_NEAR(h.cm.value, area / (2.0 * half * T), 1e-6);
        EXPECT_NEAR(h.cp.value, 1.0, 1e-6);
    }
}

// The same box barge with its section (port side, bottom, starboard side) drawn as three
// straight Bezier segments of a higher degree: degree 6 takes the polynomial path of the
// evaluator, degree 9 the recurrence beyond it. Only the parametrisation changes, so the
// figures are the box's.
TEST(HydrostaticsShapes, BoxOfHighDegreeMatchesClosedForms) {
    const double L = 4.0, B = 1.5;
    for (int degree : {6, 9}) {
        SCOPED_TRACE(degree);
        const float corners[4][2] = {{-0.75f, 1}, {-0.75f, 0}, {0.75f, 0}, {0.75f, 1}};  // z, y
        std::vector<PointH> net;
        for (float x : {0.0f, 4.0f}) {
            for (int segment = 0; segment < 3; ++segment) {
                for (int k = segment == 0 ? 0 : 1; k <= degree; ++k) {
                    const float f = static_cast<float>(k) / static_cast<float>(degree);
                    const float* a = corners[segment];
                    const float* b = corners[segment + 1];
                    net.push_back({x, a[1] + f * (b[1] - a[1]), a[0] + f * (b[0] - a[0]), 1});
                }
            }
        }
        std::vector<float> knots(static_cast<size_t>(degree + 1), 0.0f);
        for (int segment = 1; segment < 3; ++segment) knots.resize(knots.size() + degree, static_cast<float>(segment));
        knots.resize(knots.size() + degree + 1, 3.0f);
        const int count = 3 * degree + 1;
        const SurfaceModel box = makeSurface(count, 2, degree + 1, 2, net, knots);
        for (double T : {0.25, 0.625}) {
            SCOPED_TRACE(T);
            const Hydrostatics h = compute(box, T);
            EXPECT_FIGURE(h.volume, L * B * T, 1.0);
            EXPECT_FIGURE(h.lcb, L / 2, 1.0);
            EXPECT_FIGURE(h.vcb, T / 2, 1.0);
            EXPECT_FIGURE(h.bmt, B * B / (12 * T), 1.0);
            EXPECT_FIGURE(h.bml, L * L / (12 * T), 1.0);
            EXPECT_FIGURE(h.wettedArea, L * B + 2 * L * T, 1.0);
            EXPECT_FIGURE(h.bwl, B, 1.0);
            EXPECT_FIGURE(h.cm, 1.0, 1.0);
        }
    }
}

SurfaceModel withPoint(SurfaceModel s, size_t k, PointH p) {
    s.controlNet[k] = p;
    return s;
}

TEST(HydrostaticsRefusals, SurfacesThatDoNotBoundWaterAreRefusedWithTheReason) {
    const Wigley w{2.0, 0.5, 0.25};
    SurfaceModel offPlane = w.half();  // a sheet whose keel edge is off the mirror plane
    for (PointH& p : offPlane.controlNet) p.z += 0.1f;
    SurfaceModel lowDeck = w.whole();  // one side's top edge dips below the waterplane
    lowDeck.controlNet[4].y = -0.1f;
    SurfaceModel crossing = w.half();  // the midship section bulges across z = 0
    crossing.controlNet[4].z = -0.3f;
    const float nan = std::nanf("");
    const struct {
        const char* name;
        SurfaceModel surface;
        double draft;
        const char* reason;
    } cases[] = {
        {"open sheet", offPlane, 0.2, "open below the waterplane"},
        {"half model across its plane", crossing, 0.2, "reaches across its mirror plane"},
        {"deck below the waterplane", lowDeck, 0.24, "above the open edge"},
        {"draft of 0", w.whole(), 0.0, "above the lowest point"},
        {"negative draft", w.whole(), -0.1, "above the lowest point"},
        {"draft above the hull", w.whole(), 0.3, "above the whole hull"},
        {"draft not finite", w.whole(), std::nan(""), "not a finite number"},
        {"infinite draft", w.whole(), HUGE_VAL, "not a finite number"},
        {"point not finite", withPoint(w.whole(), 7, {0, nan, 0, 1}), 0.2, "not finite"},
        {"weight of zero", withPoint(w.whole(), 7, {0, 0, 0, 0}), 0.2, "weight of 0"},
        {"negative weight", withPoint(w.whole(), 7, {0, 0.1f, 0, -1}), 0.2, "weight of 0"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(refusal(c.surface, c.draft).find(c.reason), std::string::npos)
            << c.name << ": " << refusal(c.surface, c.draft);
    }
}

std::string saved(const SurfaceModel& s, const char* name) {
    const std::string path = scratchDir() + "/" + name;
    std::string error;
    EXPECT_TRUE(writeSurfaceFile(path.c_str(), s, error)) << error;
    return path;
}

TEST(HydrostaticsCommand, TableAndCsvAtDraftsAndExitStatuses) {
    const Wigley w{2.0, 0.5, 0.25};
    const std::string half = saved(w.half(), "wigley-half.surf");
    const std::string csv = scratchDir() + "/table.csv", sac = scratchDir() + "/sac.csv";
    // The half model moved to z = 1 with its mirror plane there.
    SurfaceModel movedHalf = w.half();
    for (PointH& p : movedHalf.controlNet) p.z += 1.0f;
    const std::string moved = saved(movedHalf, "wigley-moved.surf");
    ASSERT_EQ(runLoftwork({"hydrostatics", moved, "--mirror", "z=1", "--drafts", "0.05:0.25:5",
                           "--csv", csv})
                  .status,
              0);
    std::istringstream table(testsupport::readAll(csv));
    std::string line;
    std::getline(table, line);
    EXPECT_EQ(line,
              "draft,volume,displacement,lcb,vcb,tcb,waterplane_area,lcf,bmt,bml,kmt,"
              "wetted_area,lwl,bwl,cb,cp,cm,cwp");
    int rows = 0;
    while (std::getline(table, line)) {
        std::vector<double> v;
        std::istringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, ',')) v.push_back(std::stod(cell));
        ASSERT_EQ(v.size(), 18u);
        const Hydrostatics e = w.expected(v[0]);
        EXPECT_NEAR(v[0], 0.05 + 0.05 * rows, 1e-12);
        EXPECT_NEAR(v[1], e.volume.value, 1e-10);
        EXPECT_NEAR(v[2], 1.025 * e.volume.value, 1e-10);
        EXPECT_NEAR(v[5], 1.0, 1e-10);  // tcb on the mirror plane
        ++rows;
    }
    EXPECT_EQ(rows, 5);

    const auto run = runLoftwork({"hydrostatics", half, "--draft", "0.25", "--density", "1",
                                  "--sac", sac, "--stations", "5"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("half model"), std::string::npos);
    EXPECT_EQ(testsupport::readAll(sac).substr(0, 7), "x,area\n");

    const struct {
        std::vector<std::string> arguments;
        int status;
    } cases[] = {
        {{"hydrostatics"}, 2},
        {{"hydrostatics", half}, 2},
        {{"hydrostatics", half, "--draft"}, 2},
        {{"hydrostatics", half, "--draft", "nan"}, 2},
        {{"hydrostatics", half, "--draft", "0.1", "--drafts", "0.1:0.2:3"}, 2},
        {{"hydrostatics", half, "--drafts", "0.1:0.2"}, 2},
        {{"hydrostatics", half, "--draft", "0.1", "--mirror", "x=0"}, 2},
        {{"hydrostatics", half, "--draft", "0.1", "--density", "0"}, 2},
        {{"hydrostatics", half, "--draft", "0.1", "--stations", "1", "--sac", sac}, 2},
        {{"hydrostatics", half, "--drafts", "0.1:0.2:3", "--sac", sac}, 2},
        {{"hydrostatics", half, "--draft", "0.1", "--frobnicate"}, 2},
        {{"hydrostatics", half, "--draft", "0.3"}, 1},
        {{"hydrostatics", half, "--draft", "-0.3"}, 1},
        {{"hydrostatics", moved, "--draft", "0.1"}, 1},
        {{"hydrostatics", scratchDir() + "/absent.surf", "--draft", "0.1"}, 1},
    };
    for (const auto& c : cases) {
        const auto result = runLoftwork(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments.back() << "\n" << result.err;
        EXPECT_NE(result.err, "") << c.arguments.back();
    }
}

}  // namespace
