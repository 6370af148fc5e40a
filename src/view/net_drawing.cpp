// The main view's control and skinned nets, drawn whole or thinned to what shows on the screen.
//
// How the thinning stays exact. Every point is a 10 x 10 square of one depth, drawn with the
// depth test GL_LESS, so a pixel the net's points cover ends with the colour of the nearest
// point covering it (the first drawn among equals) and with that point's depth. A point that is
// nowhere that nearest point changes nothing when left out. A polyline segment changes nothing
// when left out if, at every pixel it could touch, a point drawn after it is nearer than any
// fragment of the segment (GL draws a little past its ends): that point overwrites the pixel's
// colour and depth whatever the segment left there. Both tests run on the pixel grid: the
// nearest depth among the points covering each pixel is a 10 x 10 sliding minimum of the
// nearest point depth at each pixel centre.
// Positions so near a pixel edge that GL's rounding may go either way, points off the window or
// outside the depth range, and depths within kDepthTie of each other are always kept, so a
// difference between our arithmetic and GL's only ever draws more.
//
// A drag with skinning moves every point of the skinned net a little at each step, which would
// mean planning it whole every frame. Instead the last plan is carried over: a point that moved
// less than kDriftPixels on the screen and kDriftDepth in depth since it was planned keeps its
// place in it, and around points that moved farther the plan is brought up to date as around
// the points a drag moves. Such a frame differs from the whole drawing only where a left-out
// point or segment now peeks out by the drift, within a pixel of the points over it. The first
// frame that draws the same nets again plans them anew and is exact.
//
// A carried-over frame also draws each run of kept segments as fewer, longer ones: where a run's
// points crowd the screen its segments are a fraction of a pixel long, and GL's cost is per
// segment. A chord stands for the points it passes within kMergePixels of, so the run moves by
// less than a pixel, and never in front of them, so it cannot show over a point that hides
// them; a few of its pixels may give way to the points over them. The current section, the
// picked point and points off the window keep their own vertices.
#include "view/net_drawing.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <unistd.h>

#include "model/derived_nets.h"
#include "model/net_drift.h"
#include "model/surface_model.h"
#include "view/materials.h"
#include "view/worker_thread.h"

namespace {

constexpr float kPointSize = 10.0f;
// A point whose centre rounds to pixel c covers pixels c - 5 to c + 4, across and up.
constexpr int kBoxBelow = 5;
constexpr int kBoxAbove = 4;
// Window positions within this of a pixel edge may round either way in GL (it snaps vertices
// to 1/256 of a pixel, in float).
constexpr double kEdgeMargin = 1.0 / 256.0;
// Window depths within this of each other may compare either way in GL (24-bit depth, float
// arithmetic).
constexpr float kDepthTie = 2e-7f;
// Nets spread over more pixels than this (about 44 bytes each) are drawn whole.
constexpr size_t kMostCells = size_t{1} << 20;
// Segments whose box of pixels is wider or higher than this are always drawn.
constexpr int kLongestTestedSegment = 16;
// How far a point may drift from where the carried-over plan saw it: in window pixels, and in
// window depth.
constexpr double kDriftPixels = 0.5;
constexpr double kDriftDepth = 1e-6;
// How far a carried-over frame's chord may pass from the points of a run it stands for.
constexpr float kMergePixels = 0.5f;
// How far behind the points it stands for a chord may pass, in window depth.
constexpr float kMergeDepth = 1e-5f;
// Points nearer each other than this many pixels count as one place for a chord's depth.
constexpr float kSamePlace = 1e-3f;
// The most points of one net a carried-over plan is brought up to date around in one draw.
constexpr size_t kMostFar = 256;

constexpr float kFar = std::numeric_limits<float>::infinity();

// Where a point falls: kOffWindow (behind the eye, outside the window or the depth range: only
// GL can say what it covers), kNearEdge (on the window, but so near a pixel edge that its square
// may start a pixel either side), or the grid cell its centre rounds to.
constexpr int kOffWindow = -1;
constexpr int kNearEdge = -2;

// A net's points on the screen: per point its place (above), the window pixel its centre
// rounds to, its window position and its window depth.
struct NetOnScreen {
    std::vector<int> cell;
    std::vector<int> px, py;
    std::vector<float> x, y, depth;

    void resize(size_t n) {
        cell.resize(n);
        px.resize(n);
        py.resize(n);
        x.resize(n);
        y.resize(n);
        depth.resize(n);
    }
};

// The pixels around the points: window pixel (originX, originY) is grid cell 0.
struct PixelGrid {
    int originX = 0, originY = 0, width = 0, height = 0;
};

// A box of grid cells, both corners included; empty when x0 > x1 or y0 > y1.
struct CellBox {
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    CellBox grown(int by, const PixelGrid& grid) const {
        return {std::max(x0 - by, 0), std::max(y0 - by, 0), std::min(x1 + by, grid.width - 1),
                std::min(y1 + by, grid.height - 1)};
    }
};

// How one net is drawn: whole (the reference drawing) or from its kept points and runs of
// segments. Runs are (first vertex, vertex count) into the net's own array, in three groups:
// the sections before the current one, the current one, the sections after it. Merged runs
// (a carried-over frame's, all but the current section's) are into runPoints of their group.
struct NetPlan {
    std::vector<PointH> points;  // kept points, in storage order
    long long pickedAt = -1;     // index of the picked point in `points`
    std::vector<GLint> runFirst[3];
    std::vector<GLsizei> runCount[3];
    bool merged = false;
    std::vector<PointH> runPoints[3];
    long long segmentsDrawn = 0;
};

// Everything worked out for one net, kept for the next draw: its points on the screen, the
// nearest point depth at each pixel centre, the nearest depth its squares give each pixel
// (cover), the farthest cover over a square at each pixel (keepDepth), which points and
// segments (i, i + 1) show, and the points by the pixel they fell on at the last whole plan
// (a moved point whose pixel changed since is a stray).
struct NetState {
    bool present = false;
    long long picked = -1, forcedFirst = -1, forcedEnd = -1, selected = -1;
    int currentSection = -1;  // the section whose segments are always drawn (-1: none)
    NetOnScreen screen;
    std::vector<float> nearest, cover, keepDepth;
    std::vector<int> cellStart, cellPoints, plannedCell, strays;
    std::vector<unsigned char> pointShown, segmentShown;
    std::vector<int> longSegments;
    // The update that last tested each segment (i, i + 1): an update reaches most segments from
    // both their ends, and tests each once.
    std::vector<uint32_t> segmentTestedIn;
    uint32_t update = 0;
    NetPlan plan;
    // The points the screen positions above were worked out from, the smallest clip-space w and
    // the ranges of normalised device coordinates among those on the window, and the largest
    // change of a point's coordinates that keeps it within the drift allowed a carried-over plan.
    std::vector<PointH> planned;
    double nearestW = 0.0, ndcLow[3] = {}, ndcHigh[3] = {};
    float driftLimit = 0.0f;
};

// What a draw of the nets was worked out from, compared bit for bit with the next draw's.
struct NetKey {
    std::vector<PointH> controlNet, skinnedNet;
    double matrices[32] = {};
    int viewport[4] = {};
    int countU = 0, currentSection = 0, selectedPoint = 0, pickedPointOffset = 0;
    bool control = false, skinned = false;
};

struct NetDrawingData {
    bool thinning = true;
    bool planned = false;
    bool whole = true;         // the last plan draws both nets whole
    bool carriedOver = false;  // the plan was carried over from earlier positions of the nets
    bool lastDrawCarriedOver = false;
    NetKey key;
    NetState control, skinned;
    PixelGrid grid;
    int countU = 0;
    std::vector<float> coverBoth, coverAround, scratch;
    std::vector<int> moved, movedOther, farControl, farSkinned;
    NetDrawCounts counts;
    NetOnScreen under;  // what is drawn before the nets, projected as their points are
};

NetDrawingData data;

// The picked point's index in a net of `count` points, or -1.
long long pickedIndex(int32_t pickedPointOffset, size_t count) {
    if (pickedPointOffset < 0 || pickedPointOffset % 4 != 0) return -1;
    const long long index = pickedPointOffset / 4;
    return index < static_cast<long long>(count) ? index : -1;
}

// The net's points as one vertex array of homogeneous points, in storage order; the point at
// `picked` is drawn in materialHighlight, and `restore` is set again right after it.
void drawPoints(const std::vector<PointH>& net, long long picked, void (*restore)()) {
    if (net.empty()) return;
    glPointSize(kPointSize);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(4, GL_FLOAT, sizeof(PointH), &net[0].x);
    const long long count = static_cast<long long>(net.size());
    if (picked >= 0 && picked < count) {
        glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(picked));
        materialHighlight();
        glDrawArrays(GL_POINTS, static_cast<GLint>(picked), 1);
        restore();
        glDrawArrays(GL_POINTS, static_cast<GLint>(picked + 1),
                     static_cast<GLsizei>(count - picked - 1));
    } else {
        glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(count));
    }
    glPopClientAttrib();
}

// One line strip per section through the countU points of that section, from one vertex array;
// with highlightCurrent, section currentSection in materialHighlight and the others in
// materialNet.
void drawSectionStrips(int countU, const std::vector<PointH>& net, bool highlightCurrent,
                       int currentSection) {
    // A closed loft's skinned net has more rows than the surface has sections.
    const int rows = static_cast<int>(net.size() / static_cast<size_t>(countU));
    if (rows < 1) return;
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(4, GL_FLOAT, sizeof(PointH), &net[0].x);
    for (int i = 0; i < rows; ++i) {
        if (highlightCurrent) {
            if (i == currentSection) {
                materialHighlight();
            } else if (i == 0 || i == currentSection + 1) {
                materialNet();
            }
        }
        glDrawArrays(GL_LINE_STRIP, i * countU, countU);
    }
    glPopClientAttrib();
}

// The kept runs of a net's polylines, group by group; with highlightCurrent the middle group
// (the current section) is drawn in materialHighlight and the others in materialNet.
void drawRuns(const std::vector<PointH>& net, const NetPlan& plan, bool highlightCurrent) {
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    for (int group = 0; group < 3; ++group) {
        const std::vector<PointH>& vertices =
            plan.merged && group != 1 ? plan.runPoints[group] : net;
        if (!vertices.empty()) glVertexPointer(4, GL_FLOAT, sizeof(PointH), &vertices[0].x);
        if (highlightCurrent) {
            if (group == 1) {
                materialHighlight();
            } else {
                materialNet();
            }
        }
        if (plan.runFirst[group].empty()) continue;
        glMultiDrawArrays(GL_LINE_STRIP, plan.runFirst[group].data(), plan.runCount[group].data(),
                          static_cast<GLsizei>(plan.runFirst[group].size()));
    }
    glPopClientAttrib();
}

// The projection (matrices + 16) times the model-view matrix (matrices), column-major.
void combineMatrices(const double matrices[32], double combined[16]) {
    const double* m = matrices;
    const double* p = matrices + 16;
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += p[k * 4 + r] * m[c * 4 + k];
            combined[c * 4 + r] = sum;
        }
    }
}

// The model-view and projection matrices in force (matrices), their product (combined) and the
// viewport.
void currentTransform(double combined[16], int viewport[4], double matrices[32]) {
    glGetDoublev(GL_MODELVIEW_MATRIX, matrices);
    glGetDoublev(GL_PROJECTION_MATRIX, matrices + 16);
    glGetIntegerv(GL_VIEWPORT, viewport);
    combineMatrices(matrices, combined);
}

// The pixel a 10-pixel point at window coordinate v starts its square from (plus 5), and
// whether v lies farther than kEdgeMargin from the half-integers where that pixel changes.
int roundedPixel(double v, bool& clear) {
    const double shifted = v + 0.5;
    int pixel = static_cast<int>(shifted);
    if (shifted < pixel) --pixel;
    const double f = shifted - pixel;
    clear = clear && f > kEdgeMargin && f < 1.0 - kEdgeMargin;
    return pixel;
}

// Projects point i of the net; returns its place (kOffWindow, kNearEdge, or 0 for a point
// clear of the pixel edges).
int projectPoint(const PointH& p, const double m[16], const int viewport[4], NetOnScreen& screen,
                 size_t i) {
    const double cx = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12] * p.w;
    const double cy = m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13] * p.w;
    const double cz = m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14] * p.w;
    const double cw = m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15] * p.w;
    if (!(cw > 0.0) || !(std::fabs(cx) < cw) || !(std::fabs(cy) < cw) || !(std::fabs(cz) < cw)) {
        screen.px[i] = screen.py[i] = 0;
        screen.x[i] = screen.y[i] = screen.depth[i] = 0.0f;
        return screen.cell[i] = kOffWindow;
    }
    const double inverse = 1.0 / cw;
    const double scaleX = 0.5 * viewport[2], scaleY = 0.5 * viewport[3];
    const double x = viewport[0] + scaleX + cx * inverse * scaleX;
    const double y = viewport[1] + scaleY + cy * inverse * scaleY;
    bool clear = true;
    screen.px[i] = roundedPixel(x, clear);
    screen.py[i] = roundedPixel(y, clear);
    screen.x[i] = static_cast<float>(x);
    screen.y[i] = static_cast<float>(y);
    screen.depth[i] = static_cast<float>((cz * inverse + 1.0) * 0.5);
    return screen.cell[i] = clear ? 0 : kNearEdge;
}

// Projects the net's points into window coordinates and widens the box from (left, bottom) to
// (right, top) to hold the pixels of those on the window.
void project(const std::vector<PointH>& net, const double m[16], const int viewport[4],
             NetOnScreen& screen, int& left, int& bottom, int& right, int& top) {
    const size_t n = net.size();
    screen.resize(n);
    for (size_t i = 0; i < n; ++i) {
        if (projectPoint(net[i], m, viewport, screen, i) == kOffWindow) continue;
        left = std::min(left, screen.px[i]);
        right = std::max(right, screen.px[i]);
        bottom = std::min(bottom, screen.py[i]);
        top = std::max(top, screen.py[i]);
    }
}

// The net's drift limit: the largest change of a point's homogeneous coordinates that moves a
// point on the window by at most kDriftPixels across and up and kDriftDepth in depth. For a
// point whose clip coordinates are (c0, c1, c2, cw), a change d moves c_r / cw by
// (d_r - (c_r / cw) d_w) / (cw + d_w), where d_r is row r of the matrix applied to d. With each
// of d's components at most c, and c_r / cw within the range seen among the net's points, the
// numerator is at most c times the sum over the columns of the largest |m_rk - q m_wk| over
// that range, and the denominator at least the smallest cw less c times row w's magnitudes.
// Halved, for the rounding of the float coordinates compared.
void setDriftLimit(NetState& net, const double m[16], const int viewport[4]) {
    double rowW = 0.0;
    for (int k = 0; k < 4; ++k) rowW += std::fabs(m[4 * k + 3]);
    const double scales[3] = {0.5 * viewport[2], 0.5 * viewport[3], 0.5};
    const double allowed[3] = {kDriftPixels, kDriftPixels, kDriftDepth};
    double c = std::numeric_limits<double>::infinity();
    for (int r = 0; r < 3; ++r) {
        double row = 0.0;
        for (int k = 0; k < 4; ++k) {
            row += std::max(std::fabs(m[4 * k + r] - net.ndcLow[r] * m[4 * k + 3]),
                            std::fabs(m[4 * k + r] - net.ndcHigh[r] * m[4 * k + 3]));
        }
        const double denominator = scales[r] * row + allowed[r] * rowW;
        c = std::min(c, denominator > 0.0 ? allowed[r] * net.nearestW / denominator : 0.0);
    }
    net.driftLimit =
        net.nearestW > 0.0 && c > 0.0 && std::isfinite(c) ? static_cast<float>(0.5 * c) : 0.0f;
}

// Takes point p, on the window, into the net's smallest clip-space w and its ranges of
// normalised device coordinates.
void notePlannedPoint(NetState& net, const PointH& p, const double m[16]) {
    double clip[4];
    for (int r = 0; r < 4; ++r)
        clip[r] = m[r] * p.x + m[4 + r] * p.y + m[8 + r] * p.z + m[12 + r] * p.w;
    net.nearestW = std::min(net.nearestW, clip[3]);
    for (int r = 0; r < 3; ++r) {
        const double q = clip[r] / clip[3];
        net.ndcLow[r] = std::min(net.ndcLow[r], q);
        net.ndcHigh[r] = std::max(net.ndcHigh[r], q);
    }
}

// Notes the points the net's screen positions were just worked out from.
void notePlanned(NetState& net, const std::vector<PointH>& points, const double m[16],
                 const int viewport[4]) {
    net.planned = points;
    net.nearestW = std::numeric_limits<double>::infinity();
    std::fill(net.ndcLow, net.ndcLow + 3, 1.0);
    std::fill(net.ndcHigh, net.ndcHigh + 3, -1.0);
    for (size_t i = 0; i < points.size(); ++i) {
        if (net.screen.cell[i] != kOffWindow) notePlannedPoint(net, points[i], m);
    }
    setDriftLimit(net, m, viewport);
}

// The same for the points `moved` alone, worked out again and on the window.
void notePlannedMoves(NetState& net, const std::vector<PointH>& points,
                      const std::vector<int>& moved, const double m[16], const int viewport[4]) {
    for (int i : moved) {
        const PointH& p = points[static_cast<size_t>(i)];
        net.planned[static_cast<size_t>(i)] = p;
        notePlannedPoint(net, p, m);
    }
    setDriftLimit(net, m, viewport);
}

// The grid cell of window pixel (px, py), or -1 off the grid.
int gridCell(const PixelGrid& grid, int px, int py) {
    const int gx = px - grid.originX, gy = py - grid.originY;
    if (gx < 0 || gy < 0 || gx >= grid.width || gy >= grid.height) return -1;
    return gy * grid.width + gx;
}

// Gives each clear point its grid cell, keeps per cell the nearest of their depths, and files
// every point on the window by its pixel. Returns how many clear points fell on a cell another
// one already held.
long long fillNearest(NetState& net, const PixelGrid& grid) {
    NetOnScreen& screen = net.screen;
    const size_t cells = static_cast<size_t>(grid.width) * grid.height;
    const size_t n = screen.cell.size();
    net.nearest.assign(cells, kFar);
    net.plannedCell.resize(n);
    net.cellStart.assign(cells + 1, 0);
    net.strays.clear();
    long long shared = 0;
    for (size_t i = 0; i < n; ++i) {
        const int cell =
            screen.cell[i] == kOffWindow ? -1 : gridCell(grid, screen.px[i], screen.py[i]);
        net.plannedCell[i] = cell;
        if (cell < 0) continue;
        ++net.cellStart[static_cast<size_t>(cell) + 1];
        if (screen.cell[i] == kNearEdge) continue;
        screen.cell[i] = cell;
        float& d = net.nearest[static_cast<size_t>(cell)];
        if (d != kFar) ++shared;
        d = std::min(d, screen.depth[i]);
    }
    for (size_t c = 0; c < cells; ++c) net.cellStart[c + 1] += net.cellStart[c];
    net.cellPoints.resize(static_cast<size_t>(net.cellStart[cells]));
    std::vector<int> cursor(net.cellStart.begin(), net.cellStart.end() - 1);
    for (size_t i = 0; i < n; ++i) {
        const int cell = net.plannedCell[i];
        if (cell >= 0)
            net.cellPoints[static_cast<size_t>(cursor[static_cast<size_t>(cell)]++)] =
                static_cast<int>(i);
    }
    return shared;
}

// Calls visit(i) for every point of the net on the window whose pixel lies in `box` now.
template <typename Visit>
void forPointsIn(const NetState& net, const PixelGrid& grid, const CellBox& box, Visit visit) {
    for (int gy = box.y0; gy <= box.y1; ++gy) {
        for (int gx = box.x0; gx <= box.x1; ++gx) {
            const int cell = gy * grid.width + gx;
            for (int k = net.cellStart[static_cast<size_t>(cell)];
                 k < net.cellStart[static_cast<size_t>(cell) + 1]; ++k) {
                const int i = net.cellPoints[static_cast<size_t>(k)];
                if (gridCell(grid, net.screen.px[i], net.screen.py[i]) == cell &&
                    net.screen.cell[i] != kOffWindow)
                    visit(static_cast<size_t>(i));
            }
        }
    }
    for (int i : net.strays) {
        if (net.screen.cell[i] == kOffWindow) continue;
        const int gx = net.screen.px[i] - grid.originX, gy = net.screen.py[i] - grid.originY;
        // A stray still on its planned cell was visited above.
        if (gx >= box.x0 && gx <= box.x1 && gy >= box.y0 && gy <= box.y1 &&
            gy * grid.width + gx != net.plannedCell[static_cast<size_t>(i)])
            visit(static_cast<size_t>(i));
    }
}

// Scratch of the sliding windows, kept between plans (one plan runs at a time).
struct SlideScratch {
    std::vector<float> padded, identity, prefix, suffix, boxRows;
};

SlideScratch slideScratch;

// Over `count` lines of `width` values, line t being line(t), the running combination from the
// start of each block of `length` lines to each line (prefix), and from each line to its
// block's end (suffix).
template <bool kMinimum, typename Line>
void blockRuns(Line line, int width, int count, int length, float* prefix, float* suffix) {
    const size_t n = static_cast<size_t>(width);
    for (int t = 0; t < count; ++t) {
        const float* __restrict source = line(t);
        float* __restrict g = prefix + static_cast<size_t>(t) * n;
        if (t % length == 0) {
            std::copy(source, source + n, g);
            continue;
        }
        const float* __restrict before = g - n;
        for (size_t x = 0; x < n; ++x)
            g[x] = kMinimum ? std::min(before[x], source[x]) : std::max(before[x], source[x]);
    }
    for (int t = count - 1; t >= 0; --t) {
        const float* __restrict source = line(t);
        float* __restrict h = suffix + static_cast<size_t>(t) * n;
        if (t == count - 1 || (t + 1) % length == 0) {
            std::copy(source, source + n, h);
            continue;
        }
        const float* __restrict after = h + n;
        for (size_t x = 0; x < n; ++x)
            h[x] = kMinimum ? std::min(after[x], source[x]) : std::max(after[x], source[x]);
    }
}

// out(q) = min (or max) of in(q + k) for k from `low` to `high`, along rows or columns;
// reads past the grid are left out. Each window spans at most two blocks of its own length
// and is the combination of the run to the end of the first and the run from the start of
// the second (van Herk, Gil and Werman): three steps a cell whatever the window's length.
template <bool kMinimum>
void slide(const std::vector<float>& in, std::vector<float>& out, const PixelGrid& grid, int low,
           int high, bool alongRows) {
    SlideScratch& scratch = slideScratch;
    const int w = grid.width, h = grid.height;
    const int length = high - low + 1;
    const float identity = kMinimum ? kFar : -kFar;
    out.resize(in.size());
    auto combine = [](float a, float b) { return kMinimum ? std::min(a, b) : std::max(a, b); };
    if (alongRows) {
        // Along a row the lines are its values, the row padded with the identity where the
        // windows reach past it.
        const int count = w + length - 1;
        scratch.padded.resize(static_cast<size_t>(count));
        scratch.prefix.resize(static_cast<size_t>(count));
        scratch.suffix.resize(static_cast<size_t>(count));
        const float* padded = scratch.padded.data();
        for (int y = 0; y < h; ++y) {
            const float* row = in.data() + static_cast<size_t>(y) * w;
            for (int t = 0; t < count; ++t) {
                const int x = t + low;
                scratch.padded[static_cast<size_t>(t)] = x >= 0 && x < w ? row[x] : identity;
            }
            blockRuns<kMinimum>([padded](int t) { return padded + t; }, 1, count, length,
                                scratch.prefix.data(), scratch.suffix.data());
            float* target = out.data() + static_cast<size_t>(y) * w;
            for (int x = 0; x < w; ++x)
                target[x] = combine(scratch.suffix[static_cast<size_t>(x)],
                                    scratch.prefix[static_cast<size_t>(x + length - 1)]);
        }
    } else {
        const int count = h + length - 1;
        scratch.identity.assign(static_cast<size_t>(w), identity);
        scratch.prefix.resize(static_cast<size_t>(count) * w);
        scratch.suffix.resize(static_cast<size_t>(count) * w);
        const float* rows = in.data();
        const float* none = scratch.identity.data();
        auto line = [rows, none, low, w, h](int t) {
            const int y = t + low;
            return y >= 0 && y < h ? rows + static_cast<size_t>(y) * w : none;
        };
        blockRuns<kMinimum>(line, w, count, length, scratch.prefix.data(), scratch.suffix.data());
        for (int y = 0; y < h; ++y) {
            const float* __restrict a = scratch.suffix.data() + static_cast<size_t>(y) * w;
            const float* __restrict b =
                scratch.prefix.data() + static_cast<size_t>(y + length - 1) * w;
            float* __restrict target = out.data() + static_cast<size_t>(y) * w;
            for (int x = 0; x < w; ++x) target[x] = combine(a[x], b[x]);
        }
    }
}

// The same as slide along rows then columns, for the cells of `box` only: along the rows of the
// box's reach first, then along the columns of the box.
template <bool kMinimum>
void slideBox(const std::vector<float>& in, std::vector<float>& out, const PixelGrid& grid, int low,
              int high, const CellBox& box) {
    if (box.x0 > box.x1 || box.y0 > box.y1) return;
    const float identity = kMinimum ? kFar : -kFar;
    auto combine = [](float a, float b) { return kMinimum ? std::min(a, b) : std::max(a, b); };
    const int rowFirst = std::max(box.y0 + low, 0);
    const int rowLast = std::min(box.y1 + high, grid.height - 1);
    const int width = box.x1 - box.x0 + 1;
    std::vector<float>& across = slideScratch.boxRows;
    across.assign(static_cast<size_t>(std::max(rowLast - rowFirst + 1, 0)) * width, identity);
    for (int y = rowFirst; y <= rowLast; ++y) {
        const float* row = in.data() + static_cast<size_t>(y) * grid.width;
        float* target = across.data() + static_cast<size_t>(y - rowFirst) * width;
        for (int x = box.x0; x <= box.x1; ++x) {
            float v = identity;
            for (int kx = std::max(x + low, 0); kx <= std::min(x + high, grid.width - 1); ++kx)
                v = combine(v, row[kx]);
            target[x - box.x0] = v;
        }
    }
    for (int y = box.y0; y <= box.y1; ++y) {
        float* target = out.data() + static_cast<size_t>(y) * grid.width;
        for (int x = box.x0; x <= box.x1; ++x) {
            float v = identity;
            for (int ky = std::max(y + low, rowFirst); ky <= std::min(y + high, rowLast); ++ky)
                v = combine(v, across[static_cast<size_t>(ky - rowFirst) * width + (x - box.x0)]);
            target[x] = v;
        }
    }
}

// True when every pixel of the grid from (x0, y0) to (x1, y1) holds a depth below `depth`;
// false when the box leaves the grid.
bool allNearer(const std::vector<float>& depths, const PixelGrid& grid, int x0, int y0, int x1,
               int y1, float depth) {
    x0 -= grid.originX;
    x1 -= grid.originX;
    y0 -= grid.originY;
    y1 -= grid.originY;
    if (x0 < 0 || y0 < 0 || x1 >= grid.width || y1 >= grid.height) return false;
    for (int y = y0; y <= y1; ++y) {
        const float* row = depths.data() + static_cast<size_t>(y) * grid.width;
        for (int x = x0; x <= x1; ++x) {
            if (!(row[x] < depth)) return false;
        }
    }
    return true;
}

// Whether point i of the net is drawn: when forced, off the window, or nearest at some pixel of
// its square. A point near a pixel edge is left out only when points nearer than it cover every
// pixel its square may take.
bool pointShows(const NetState& net, const PixelGrid& grid, size_t i) {
    const long long index = static_cast<long long>(i);
    if (index == net.picked || index == net.selected ||
        (index >= net.forcedFirst && index < net.forcedEnd))
        return true;
    const int cell = net.screen.cell[i];
    const float depth = net.screen.depth[i] - kDepthTie;
    if (cell >= 0) return !(depth > net.keepDepth[static_cast<size_t>(cell)]);
    if (cell == kOffWindow) return true;
    const int px = net.screen.px[i], py = net.screen.py[i];
    return !allNearer(net.cover, grid, px - 1 - kBoxBelow, py - 1 - kBoxBelow, px + 1 + kBoxAbove,
                      py + 1 + kBoxAbove, depth);
}

// std::floor of a window coordinate of a point on the window (finite, far inside the int
// range), without the library call.
int floorOnWindow(float v) {
    const int i = static_cast<int>(v);
    return v < static_cast<float>(i) ? i - 1 : i;
}

// Whether every pixel of the box from (x0, y0) to (x1, y1) has a point drawn after it nearer
// than `depth`. coverAround holds, at each pixel, the farthest cover 2 pixels around it, which
// answers at once for a box of at most 5 x 5 pixels; larger boxes, up to kLongestTestedSegment,
// are tested pixel by pixel (longOne is set), and still larger ones count as not hidden.
bool boxHidden(const std::vector<float>& cover, const std::vector<float>& coverAround,
               const PixelGrid& grid, int x0, int y0, int x1, int y1, float depth, bool& longOne) {
    longOne = false;
    if (x1 - x0 <= 4 && y1 - y0 <= 4) {
        const int gx = x0 + 2 - grid.originX, gy = y0 + 2 - grid.originY;
        if (gx < 2 || gy < 2 || gx + 2 >= grid.width || gy + 2 >= grid.height) return false;
        return coverAround[static_cast<size_t>(gy) * grid.width + gx] < depth;
    }
    if (x1 - x0 > kLongestTestedSegment || y1 - y0 > kLongestTestedSegment) return false;
    longOne = true;
    return allNearer(cover, grid, x0, y0, x1, y1, depth);
}

// Whether segment (a, b) is drawn: unless every pixel it could touch has a point drawn after it
// that is nearer than any of its fragments. GL rasterises a line up to about a pixel past its
// ends along its longer axis, and gives those fragments depths carried on past the ends' at the
// segment's slope; the pixels within 1.5 of its ends are tested. Sets longOne when the segment
// was tested pixel by pixel.
bool segmentShows(const NetOnScreen& screen, size_t a, size_t b, const std::vector<float>& cover,
                  const std::vector<float>& coverAround, const PixelGrid& grid, bool& longOne) {
    longOne = false;
    if (screen.cell[a] == kOffWindow || screen.cell[b] == kOffWindow) return true;
    const float xa = screen.x[a], xb = screen.x[b], ya = screen.y[a], yb = screen.y[b];
    const float along = std::max(std::fabs(xb - xa), std::fabs(yb - ya));
    constexpr float kShortest = 1.0f / 16.0f;
    if (!(along >= kShortest)) return true;
    const float rise = std::fabs(screen.depth[b] - screen.depth[a]);
    const float nearestOfSegment =
        std::min(screen.depth[a], screen.depth[b]) - rise * (1.0f + 1.0f / along) - kDepthTie;
    return !boxHidden(cover, coverAround, grid, floorOnWindow(std::min(xa, xb) - 1.5f),
                      floorOnWindow(std::min(ya, yb) - 1.5f),
                      floorOnWindow(std::max(xa, xb) + 1.5f),
                      floorOnWindow(std::max(ya, yb) + 1.5f), nearestOfSegment, longOne);
}

// Tests segment (i, i + 1), of section `row` of the net, again against both nets' cover.
void testSegmentOfRow(NetState& net, size_t i, int row, const NetDrawingData& d) {
    bool longOne = false;
    const bool shows = row == net.currentSection || segmentShows(net.screen, i, i + 1, d.coverBoth,
                                                                 d.coverAround, d.grid, longOne);
    net.segmentShown[i] = shows ? 1 : 0;
    if (longOne) net.longSegments.push_back(static_cast<int>(i));
}

// The same for segment (i, i + 1) of a net of countU points a section; none past a section's end.
void testSegment(NetState& net, size_t i, int countU, const NetDrawingData& d) {
    if (i + 1 >= net.screen.cell.size() || (i + 1) % static_cast<size_t>(countU) == 0) return;
    testSegmentOfRow(net, i, static_cast<int>(i / static_cast<size_t>(countU)), d);
}

// Directions from a chord's first point: the wedge counter-clockwise from unit vector (rx, ry)
// to (lx, ly), less than a half turn wide; the whole plane until the first point narrows it.
struct Wedge {
    bool whole = true, empty = false;
    float rx = 0.0f, ry = 0.0f, lx = 0.0f, ly = 0.0f;

    // Whether direction (x, y) lies in the wedge from (ax, ay) to (bx, by).
    static bool within(float x, float y, float ax, float ay, float bx, float by) {
        return ax * y - ay * x >= 0.0f && x * by - y * bx >= 0.0f &&
               x * (ax + bx) + y * (ay + by) > 0.0f;
    }
    bool holds(float x, float y) const { return whole || (!empty && within(x, y, rx, ry, lx, ly)); }
    // Keeps the directions that pass within `reach` of (x, y), at distance d > reach.
    void narrow(float x, float y, float d, float reach) {
        if (empty) return;
        const float s = reach / d, c = std::sqrt(1.0f - s * s);
        const float ux = x / d, uy = y / d;
        const float crx = ux * c + uy * s, cry = uy * c - ux * s;  // turned clockwise
        const float clx = ux * c - uy * s, cly = uy * c + ux * s;  // turned counter-clockwise
        if (whole) {
            whole = false;
            rx = crx, ry = cry, lx = clx, ly = cly;
            return;
        }
        // Two such wedges meet in one wedge, bounded by whichever bound of each lies in the other.
        const bool rightIn = within(crx, cry, rx, ry, lx, ly);
        const bool leftIn = within(clx, cly, rx, ry, lx, ly);
        if ((!rightIn && !within(rx, ry, crx, cry, clx, cly)) ||
            (!leftIn && !within(lx, ly, crx, cry, clx, cly))) {
            empty = true;
            return;
        }
        if (rightIn) rx = crx, ry = cry;
        if (leftIn) lx = clx, ly = cly;
        empty = rx * ly - ry * lx < 0.0f;
    }
};

// Window depths along a chord from its first point, as the range of slopes (depth per pixel
// of distance) that pass at most kMergeDepth behind the points it stands for and never in front
// of them: a chord nearer than its points could show where points drawn after them hide them.
struct DepthSlopes {
    float low = -kFar, high = kFar;

    bool holds(float slope) const { return slope >= low && slope <= high; }
    // Keeps the slopes that pass behind depth change dz at distance d, by at most `reach`.
    void narrow(float dz, float d, float reach) {
        if (!(d > kSamePlace)) {
            if (dz > 0.0f) low = kFar;
            return;
        }
        low = std::max(low, dz / d);
        high = std::min(high, (dz + reach) / d);
    }
};

// Appends the vertices of the run from vertex first to vertex last (net indices) as fewer
// segments: each chord passes within kMergePixels of the points it stands for on the screen,
// and at most kMergeDepth behind them, as the plan placed them. Vertices for which `keep` holds,
// and those off the window, end a chord.
template <typename Keep>
void appendMergedRun(const NetState& net, const std::vector<PointH>& points, size_t first,
                     size_t last, Keep keep, std::vector<PointH>& out) {
    const NetOnScreen& screen = net.screen;
    out.push_back(points[first]);
    size_t anchor = first, lastFit = first;
    Wedge wedge;
    DepthSlopes slopes;
    float farthest = 0.0f;
    for (size_t j = first + 1; j <= last;) {
        const float x = screen.x[j] - screen.x[anchor], y = screen.y[j] - screen.y[anchor];
        const float dz = screen.depth[j] - screen.depth[anchor];
        const float d = std::sqrt(x * x + y * y);
        // A point off the window has no screen position: it only ends a chord of one segment.
        const bool fits = j == anchor + 1 ||
                          (screen.cell[j] != kOffWindow && wedge.holds(x, y) &&
                           d + kMergePixels >= farthest && d > kSamePlace && slopes.holds(dz / d));
        if (!fits) {
            out.push_back(points[lastFit]);
            anchor = lastFit;
            wedge = Wedge();
            slopes = DepthSlopes();
            farthest = 0.0f;
            j = anchor + 1;
            continue;
        }
        lastFit = j;
        if (keep(j) || screen.cell[j] == kOffWindow || screen.cell[anchor] == kOffWindow) {
            if (j < last) out.push_back(points[j]);
            anchor = j;
            wedge = Wedge();
            slopes = DepthSlopes();
            farthest = 0.0f;
        } else {
            if (d > kMergePixels) wedge.narrow(x, y, d, kMergePixels);
            slopes.narrow(dz, d, kMergeDepth);
            farthest = std::max(farthest, d);
        }
        ++j;
    }
    out.push_back(points[last]);
}

// The kept points and the runs of kept segments, from the given flags; merged, each run as
// fewer segments (see the top of the file).
void buildPlan(NetState& net, const std::vector<PointH>& points, int countU,
               const std::vector<unsigned char>& pointShown,
               const std::vector<unsigned char>& segmentShown, bool merge) {
    NetPlan& plan = net.plan;
    plan.points.clear();
    plan.pickedAt = -1;
    for (size_t i = 0; i < points.size(); ++i) {
        if (!pointShown[i]) continue;
        if (static_cast<long long>(i) == net.picked)
            plan.pickedAt = static_cast<long long>(plan.points.size());
        plan.points.push_back(points[i]);
    }
    for (int group = 0; group < 3; ++group) {
        plan.runFirst[group].clear();
        plan.runCount[group].clear();
        plan.runPoints[group].clear();
    }
    plan.merged = merge;
    plan.segmentsDrawn = 0;
    const long long picked = net.picked;
    const auto keep = [picked](size_t i) { return static_cast<long long>(i) == picked; };
    const int rows = static_cast<int>(points.size() / static_cast<size_t>(countU));
    for (int row = 0; row < rows; ++row) {
        const int group = row < net.currentSection ? 0 : row == net.currentSection ? 1 : 2;
        const size_t base = static_cast<size_t>(row) * countU;
        int runStart = -1;  // first vertex of the open run
        for (int k = 0; k + 1 < countU; ++k) {
            const bool draw = segmentShown[base + k] != 0;
            if (draw && runStart < 0) runStart = k;
            if ((!draw || k + 2 == countU) && runStart >= 0) {
                const int end = draw ? k + 1 : k;  // last vertex of the run
                if (merge && group != 1) {
                    std::vector<PointH>& out = plan.runPoints[group];
                    const size_t at = out.size();
                    appendMergedRun(net, points, base + runStart, base + end, keep, out);
                    plan.runFirst[group].push_back(static_cast<GLint>(at));
                    plan.runCount[group].push_back(static_cast<GLsizei>(out.size() - at));
                } else {
                    plan.runFirst[group].push_back(static_cast<GLint>(base + runStart));
                    plan.runCount[group].push_back(static_cast<GLsizei>(end - runStart + 1));
                }
                plan.segmentsDrawn += plan.runCount[group].back() - 1;
                runStart = -1;
            }
        }
    }
}

// The points forced into the drawing: the picked point of either net, and in the control net
// the current section and its selected point. Only the control net highlights its section.
void setForced(NetState& net, size_t count, const Selection& selection, int countU, bool control) {
    net.picked = pickedIndex(selection.pickedPointOffset, count);
    net.forcedFirst = net.forcedEnd = net.selected = -1;
    net.currentSection = -1;
    if (!control || selection.currentSection < 0) return;
    net.currentSection = selection.currentSection;
    net.forcedFirst = static_cast<long long>(selection.currentSection) * countU;
    net.forcedEnd = net.forcedFirst + countU;
    if (selection.selectedPoint >= 0 && selection.selectedPoint < countU)
        net.selected = net.forcedFirst + selection.selectedPoint;
}

// Which of the net's points show, from its cover.
void planPoints(NetState& net, const PixelGrid& grid) {
    NetDrawingData& d = data;
    slide<false>(net.cover, d.scratch, grid, -kBoxBelow, kBoxAbove, true);
    slide<false>(d.scratch, net.keepDepth, grid, -kBoxBelow, kBoxAbove, false);
    const size_t n = net.screen.cell.size();
    net.pointShown.resize(n);
    for (size_t i = 0; i < n; ++i) net.pointShown[i] = pointShows(net, grid, i) ? 1 : 0;
}

// Which segments of both nets show, from both nets' cover, and the plans drawn from the flags.
void planSegments(const std::vector<PointH>* control, const std::vector<PointH>* skinned) {
    NetDrawingData& d = data;
    const PixelGrid& grid = d.grid;
    const size_t cells = static_cast<size_t>(grid.width) * grid.height;
    d.coverBoth.resize(cells);
    for (size_t i = 0; i < cells; ++i)
        d.coverBoth[i] = std::min(d.control.cover[i], d.skinned.cover[i]);
    slide<false>(d.coverBoth, d.scratch, grid, -2, 2, true);
    slide<false>(d.scratch, d.coverAround, grid, -2, 2, false);
    NetState* nets[2] = {&d.control, &d.skinned};
    const std::vector<PointH>* points[2] = {control, skinned};
    for (int k = 0; k < 2; ++k) {
        NetState& net = *nets[k];
        if (!net.present) continue;
        const size_t n = points[k]->size();
        net.segmentShown.assign(n, 0);
        net.longSegments.clear();
        const size_t countU = static_cast<size_t>(d.countU);
        for (size_t row = 0; (row + 1) * countU <= n; ++row) {
            for (size_t i = row * countU; i + 1 < (row + 1) * countU; ++i)
                testSegmentOfRow(net, i, static_cast<int>(row), d);
        }
        buildPlan(net, *points[k], d.countU, net.pointShown, net.segmentShown, false);
    }
}

// The whole plan of the nets from their points. Returns false when both are drawn whole: no
// point on the window, or no two clear points on one pixel.
bool planNets(const std::vector<PointH>* control, const std::vector<PointH>* skinned, int countU,
              const Selection& selection, const double combined[16], const int viewport[4]) {
    NetDrawingData& d = data;
    d.countU = countU;
    NetState* nets[2] = {&d.control, &d.skinned};
    const std::vector<PointH>* points[2] = {control, skinned};
    int left = std::numeric_limits<int>::max(), bottom = left;
    int right = std::numeric_limits<int>::min(), top = right;
    for (int k = 0; k < 2; ++k) {
        nets[k]->present = points[k] != nullptr;
        if (points[k] != nullptr)
            project(*points[k], combined, viewport, nets[k]->screen, left, bottom, right, top);
    }
    if (left > right) return false;
    // Room for the squares (5 pixels), the two sliding windows over them (10 more), and points
    // a drag moves a little.
    constexpr int kReach = 24;
    PixelGrid& grid = d.grid;
    grid.originX = left - kReach;
    grid.originY = bottom - kReach;
    grid.width = right - left + 1 + 2 * kReach;
    grid.height = top - bottom + 1 + 2 * kReach;
    const size_t cells = static_cast<size_t>(grid.width) * grid.height;
    if (cells > kMostCells) return false;

    long long shared = 0;
    for (int k = 0; k < 2; ++k) {
        if (nets[k]->present) shared += fillNearest(*nets[k], grid);
    }
    if (shared == 0) return false;
    for (int k = 0; k < 2; ++k) {
        NetState& net = *nets[k];
        if (!net.present) {
            net.cover.assign(cells, kFar);
            continue;
        }
        slide<true>(net.nearest, d.scratch, grid, -kBoxAbove, kBoxBelow, true);
        slide<true>(d.scratch, net.cover, grid, -kBoxAbove, kBoxBelow, false);
    }

    for (int k = 0; k < 2; ++k) {
        NetState& net = *nets[k];
        if (!net.present) continue;
        setForced(net, points[k]->size(), selection, countU, k == 0);
        planPoints(net, grid);
    }
    planSegments(control, skinned);
    return true;
}

// The most points a draw takes as moved rather than planning again from scratch.
constexpr size_t kMostMoved = 64;

// The points of `now` that moved by more than `limit` in some coordinate since `before` (any
// change when `limit` is 0), into `moved`; false when there are more than `most`.
bool movedPoints(const std::vector<PointH>& before, const std::vector<PointH>& now, float limit,
                 size_t most, std::vector<int>& moved) {
    moved.clear();
    return forEachPointMovedBeyond(before.data(), now.data(), now.size(), limit, [&](size_t i) {
        if (moved.size() == most) return false;
        moved.push_back(static_cast<int>(i));
        return true;
    });
}

// Brings the plan up to date after the points moved[k] of net k (0 the control net, 1 the
// skinned net; null or empty when none) moved, the view and the selection unchanged: only the
// pixels within reach of where they were and are now are worked out again. Returns false when
// a moved point was or is off the window or near the grid's edge, or too many points strayed
// from their planned pixels: then the nets are planned again.
bool updateMoved(const std::vector<int>* const moved[2], const std::vector<PointH>* const points[2],
                 const double combined[16], const int viewport[4]) {
    NetDrawingData& d = data;
    const PixelGrid& grid = d.grid;
    constexpr int kInside = 16;  // a moved point stays this far from the grid's edges
    constexpr size_t kMostStrays = 256;
    NetState* nets[2] = {&d.control, &d.skinned};
    CellBox changed{grid.width, grid.height, -1, -1};
    bool movedNet[2] = {false, false};
    for (int k = 0; k < 2; ++k) {
        NetState& net = *nets[k];
        movedNet[k] = net.present && moved[k] != nullptr && !moved[k]->empty();
        if (!movedNet[k]) continue;
        auto include = [&](size_t i) {
            if (net.screen.cell[i] == kOffWindow) return false;
            const int gx = net.screen.px[i] - grid.originX, gy = net.screen.py[i] - grid.originY;
            if (gx < kInside || gy < kInside || gx >= grid.width - kInside ||
                gy >= grid.height - kInside)
                return false;
            changed.x0 = std::min(changed.x0, gx);
            changed.x1 = std::max(changed.x1, gx);
            changed.y0 = std::min(changed.y0, gy);
            changed.y1 = std::max(changed.y1, gy);
            return true;
        };
        for (int i : *moved[k]) {
            const size_t at = static_cast<size_t>(i);
            if (!include(at)) return false;
            projectPoint((*points[k])[at], combined, viewport, net.screen, at);
            if (!include(at)) return false;
            const int cell = gridCell(grid, net.screen.px[at], net.screen.py[at]);
            if (net.screen.cell[at] != kNearEdge) net.screen.cell[at] = cell;
            if (cell != net.plannedCell[at] &&
                std::find(net.strays.begin(), net.strays.end(), i) == net.strays.end()) {
                if (net.strays.size() == kMostStrays) return false;
                net.strays.push_back(i);
            }
        }
    }
    if (changed.x0 > changed.x1) return true;
    // The nearest depths where points left or arrived, the cover they give (5 pixels around),
    // the farthest cover over the squares that reach those pixels (5 more), both nets' cover
    // and the farthest of it 2 around.
    const CellBox covered = changed.grown(kBoxBelow, grid);
    const CellBox squares = covered.grown(kBoxBelow, grid);
    for (int k = 0; k < 2; ++k) {
        if (!movedNet[k]) continue;
        NetState& net = *nets[k];
        for (int gy = changed.y0; gy <= changed.y1; ++gy) {
            for (int gx = changed.x0; gx <= changed.x1; ++gx)
                net.nearest[static_cast<size_t>(gy) * grid.width + gx] = kFar;
        }
        forPointsIn(net, grid, changed, [&](size_t i) {
            if (net.screen.cell[i] < 0) return;
            float& nearest = net.nearest[static_cast<size_t>(net.screen.cell[i])];
            nearest = std::min(nearest, net.screen.depth[i]);
        });
        slideBox<true>(net.nearest, net.cover, grid, -kBoxAbove, kBoxBelow, covered);
        slideBox<false>(net.cover, net.keepDepth, grid, -kBoxBelow, kBoxAbove, squares);
    }
    for (int gy = covered.y0; gy <= covered.y1; ++gy) {
        for (int gx = covered.x0; gx <= covered.x1; ++gx) {
            const size_t c = static_cast<size_t>(gy) * grid.width + gx;
            d.coverBoth[c] = std::min(d.control.cover[c], d.skinned.cover[c]);
        }
    }
    slideBox<false>(d.coverBoth, d.coverAround, grid, -2, 2, covered.grown(2, grid));
    // Points whose square or whose possible squares reach the changed cover, and segments
    // of both nets with an end within reach of the changed cover around.
    for (int k = 0; k < 2; ++k) {
        if (!movedNet[k]) continue;
        NetState& net = *nets[k];
        forPointsIn(net, grid, squares.grown(1, grid),
                    [&](size_t i) { net.pointShown[i] = pointShows(net, grid, i) ? 1 : 0; });
    }
    const int countU = d.countU;
    const CellBox ends = covered.grown(4, grid);
    for (NetState* s : nets) {
        if (!s->present) continue;
        std::vector<uint32_t>& tested = s->segmentTestedIn;
        if (tested.size() != s->screen.cell.size() || ++s->update == 0) {
            tested.assign(s->screen.cell.size(), 0);
            s->update = 1;
        }
        auto testOnce = [&](size_t i) {
            if (tested[i] == s->update) return;
            tested[i] = s->update;
            testSegment(*s, i, countU, d);
        };
        forPointsIn(*s, grid, ends, [&](size_t i) {
            if (i % static_cast<size_t>(countU) != 0) testOnce(i - 1);
            testOnce(i);
        });
        // Each segment tested here is a long one again at most once.
        const std::vector<int> longOnes = std::move(s->longSegments);
        s->longSegments.clear();
        for (int i : longOnes) testOnce(static_cast<size_t>(i));
    }
    return true;
}

// The plans of both nets drawn from their flags.
void buildPlans(const std::vector<PointH>* control, const std::vector<PointH>* skinned,
                bool merge) {
    NetDrawingData& d = data;
    if (d.control.present && control != nullptr) {
        buildPlan(d.control, *control, d.countU, d.control.pointShown, d.control.segmentShown,
                  merge);
    }
    if (d.skinned.present && skinned != nullptr) {
        buildPlan(d.skinned, *skinned, d.countU, d.skinned.pointShown, d.skinned.segmentShown,
                  merge);
    }
}

// Brings the last plan over to the nets' new positions (see the top of the file): points that
// moved less than the drift since they were planned keep their place in it, and the plan is
// brought up to date around the others as around points a drag moved; exactly, around every
// point that moved at all. changed[k], when not null, lists every point of net k that moved
// since the last update; the others are where they were then, within the drift of their planned
// places, and are not looked at again. (The drift only shrinks as updates widen the planned
// points' range, but a point kept under a larger one stays within its half pixel: that bound
// was worked out over a range that held its planned place.) False when a net's size changed,
// too many points moved farther, or the update cannot be made: then the nets are planned again.
bool carryPlanOver(const std::vector<PointH>* control, const std::vector<PointH>* skinned,
                   const std::vector<int>* const changed[2], const double combined[16],
                   const int viewport[4], bool exactly) {
    NetDrawingData& d = data;
    NetState* nets[2] = {&d.control, &d.skinned};
    const std::vector<PointH>* points[2] = {control, skinned};
    std::vector<int>* far[2] = {&d.farControl, &d.farSkinned};
    for (int k = 0; k < 2; ++k) {
        far[k]->clear();
        const NetState& net = *nets[k];
        if (!net.present) continue;
        const std::vector<PointH>& now = *points[k];
        if (net.planned.size() != now.size()) return false;
        const float limit = exactly ? 0.0f : net.driftLimit;
        if (changed[k] == nullptr) {
            if (!movedPoints(net.planned, now, limit, kMostFar, *far[k])) return false;
            continue;
        }
        for (int i : *changed[k]) {
            const size_t at = static_cast<size_t>(i);
            if (withinDrift(net.planned[at], now[at], limit)) continue;
            if (far[k]->size() == kMostFar) return false;
            far[k]->push_back(i);
        }
    }
    const std::vector<int>* const farLists[2] = {far[0], far[1]};
    if (!updateMoved(farLists, points, combined, viewport)) return false;
    for (int k = 0; k < 2; ++k) {
        if (!far[k]->empty()) notePlannedMoves(*nets[k], *points[k], *far[k], combined, viewport);
    }
    buildPlans(control, skinned, !exactly);  // the kept points where they are now
    return true;
}

bool sameView(const NetKey& key, const std::vector<PointH>* control,
              const std::vector<PointH>* skinned, const double matrices[32], const int viewport[4],
              int countU, const Selection& selection) {
    auto sameSize = [](const std::vector<PointH>& kept, const std::vector<PointH>* net) {
        return net == nullptr ? kept.empty() : kept.size() == net->size();
    };
    return key.control == (control != nullptr) && key.skinned == (skinned != nullptr) &&
           key.countU == countU && key.currentSection == selection.currentSection &&
           key.selectedPoint == selection.selectedPoint &&
           key.pickedPointOffset == selection.pickedPointOffset &&
           std::memcmp(key.matrices, matrices, sizeof key.matrices) == 0 &&
           std::memcmp(key.viewport, viewport, sizeof key.viewport) == 0 &&
           sameSize(key.controlNet, control) && sameSize(key.skinnedNet, skinned);
}

void keepKey(NetKey& key, const std::vector<PointH>* control, const std::vector<PointH>* skinned,
             const double matrices[32], const int viewport[4], int countU,
             const Selection& selection) {
    key.control = control != nullptr;
    key.skinned = skinned != nullptr;
    key.controlNet = control != nullptr ? *control : std::vector<PointH>();
    key.skinnedNet = skinned != nullptr ? *skinned : std::vector<PointH>();
    std::memcpy(key.matrices, matrices, sizeof key.matrices);
    std::memcpy(key.viewport, viewport, sizeof key.viewport);
    key.countU = countU;
    key.currentSection = selection.currentSection;
    key.selectedPoint = selection.selectedPoint;
    key.pickedPointOffset = selection.pickedPointOffset;
}

// Brings the plan up to date with the nets: kept while nothing changed, updated where a few
// points of one net moved, carried over while they move, and otherwise planned again. Nets that
// hold still after a carried-over plan are planned again, exactly.
void updatePlan(const std::vector<PointH>* control, const std::vector<PointH>* skinned, int countU,
                const Selection& selection, const double combined[16], const double matrices[32],
                const int viewport[4]) {
    NetDrawingData& d = data;
    if (d.planned && sameView(d.key, control, skinned, matrices, viewport, countU, selection)) {
        std::vector<int>& controlMoved = d.moved;
        std::vector<int>& skinnedMoved = d.movedOther;
        controlMoved.clear();
        skinnedMoved.clear();
        const bool fewControl = control == nullptr || movedPoints(d.key.controlNet, *control, 0.0f,
                                                                  kMostMoved, controlMoved);
        const bool fewSkinned = skinned == nullptr || movedPoints(d.key.skinnedNet, *skinned, 0.0f,
                                                                  kMostMoved, skinnedMoved);
        const bool still = fewControl && fewSkinned && controlMoved.empty() && skinnedMoved.empty();
        if (still && !d.carriedOver) return;
        // The key takes the nets drawn now.
        auto keepMoves = [&] {
            if (control != nullptr && !fewControl) d.key.controlNet = *control;
            if (skinned != nullptr && !fewSkinned) d.key.skinnedNet = *skinned;
            for (int i : controlMoved)
                d.key.controlNet[static_cast<size_t>(i)] = (*control)[static_cast<size_t>(i)];
            for (int i : skinnedMoved)
                d.key.skinnedNet[static_cast<size_t>(i)] = (*skinned)[static_cast<size_t>(i)];
        };
        // Since an exact plan, a few moved points are brought up to date exactly; otherwise the
        // plan is carried over within the drift. A plan that cannot be brought up to date is
        // made anew (an update that failed may have left it half done).
        const bool exactly = !d.carriedOver && fewControl && fewSkinned;
        const std::vector<int>* const changed[2] = {fewControl ? &controlMoved : nullptr,
                                                    fewSkinned ? &skinnedMoved : nullptr};
        if (!still && !d.whole &&
            carryPlanOver(control, skinned, changed, combined, viewport, exactly)) {
            d.carriedOver = !exactly;
            keepMoves();
            return;
        }
    }
    d.carriedOver = false;
    d.whole = !planNets(control, skinned, countU, selection, combined, viewport);
    if (!d.whole) {
        if (control != nullptr) notePlanned(d.control, *control, combined, viewport);
        if (skinned != nullptr) notePlanned(d.skinned, *skinned, combined, viewport);
    }
    keepKey(d.key, control, skinned, matrices, viewport, countU, selection);
    d.planned = true;
}

long long segmentCount(const std::vector<PointH>* net, int countU) {
    if (net == nullptr || countU < 2) return 0;
    return static_cast<long long>(net->size() / static_cast<size_t>(countU)) * (countU - 1);
}

// What a plan is worked out from: the nets drawn, the selection and the GL transform.
struct PlanInputs {
    const std::vector<PointH>* control = nullptr;
    const std::vector<PointH>* skinned = nullptr;
    int countU = 0;
    Selection selection;
    double combined[16] = {}, matrices[32] = {};
    int viewport[4] = {};
    bool thinned = false;
};

// What a plan is worked out from; the transform is GL's in force, or the one given
// (modelView, projection and viewport, when modelView is not null).
PlanInputs planInputs(const SurfaceModel& surface, const DerivedNets& derived,
                      const Selection& selection, bool skinning, const double* modelView = nullptr,
                      const double* projection = nullptr, const int* viewport = nullptr) {
    PlanInputs in;
    in.control = netMatchesCounts(surface) ? &surface.controlNet : nullptr;
    in.skinned = skinnedNetUsable(surface, skinning, derived) ? &derived.skinnedNet : nullptr;
    if (in.control != nullptr && in.control->empty()) in.control = nullptr;
    if (in.skinned != nullptr && in.skinned->empty()) in.skinned = nullptr;
    in.countU = surface.countU;
    in.selection = selection;
    in.thinned = data.thinning && in.countU >= 1;
    if (in.thinned && modelView == nullptr) {
        currentTransform(in.combined, in.viewport, in.matrices);
    } else if (in.thinned) {
        std::copy(modelView, modelView + 16, in.matrices);
        std::copy(projection, projection + 16, in.matrices + 16);
        std::copy(viewport, viewport + 4, in.viewport);
        combineMatrices(in.matrices, in.combined);
    }
    return in;
}

bool samePlanInputs(const PlanInputs& a, const PlanInputs& b) {
    return a.control == b.control && a.skinned == b.skinned && a.countU == b.countU &&
           a.thinned == b.thinned && a.selection.currentSection == b.selection.currentSection &&
           a.selection.selectedPoint == b.selection.selectedPoint &&
           a.selection.pickedPointOffset == b.selection.pickedPointOffset &&
           std::memcmp(a.matrices, b.matrices, sizeof a.matrices) == 0 &&
           std::memcmp(a.viewport, b.viewport, sizeof a.viewport) == 0;
}

void updatePlan(const PlanInputs& in) {
    updatePlan(in.control, in.skinned, in.countU, in.selection, in.combined, in.matrices,
               in.viewport);
}

// The plan started on a thread of its own, and what it was started from.
struct PendingPlan {
    std::unique_ptr<WorkerThread> worker;  // started on first use
    pid_t workerProcess = 0;               // the process that started it
    bool running = false;
    // When the running plan started; how long the last one waited for took and whether it was
    // carried over (a drag's), and the same of the running one (written by its thread, read
    // once it is waited for).
    std::chrono::steady_clock::time_point startedAt;
    double lastMilliseconds = 0.0, runMilliseconds = 0.0;
    bool lastCarriedOver = false, runCarriedOver = false;
    bool settled = false;  // the plan is up to date with `inputs`, for this frame's drawNets
    PlanInputs inputs;
};

PendingPlan pending;

}  // namespace

namespace {

void startPlan(const PlanInputs& in) {
    // A plan already under way from the same inputs goes on.
    if (pending.running && samePlanInputs(pending.inputs, in)) return;
    if (pending.running) pending.worker->wait();
    pending.running = false;
    pending.settled = false;
    pending.inputs = in;
    if (!pending.inputs.thinned) return;
    // A forked child (a death test's) has the worker object but not its thread: it plans at
    // drawNets, on its own thread.
    if (pending.worker && pending.workerProcess != getpid()) {
        static_cast<void>(pending.worker.release());
    }
    if (!pending.worker) {
        pending.worker = std::make_unique<WorkerThread>();
        pending.workerProcess = getpid();
    }
    pending.running = true;
    pending.startedAt = std::chrono::steady_clock::now();
    pending.worker->start([] {
        updatePlan(pending.inputs);
        pending.runMilliseconds = std::chrono::duration<double, std::milli>(
                                      std::chrono::steady_clock::now() - pending.startedAt)
                                      .count();
        pending.runCarriedOver = data.carriedOver;
    });
}

// Brings the plan up to `in`: the one under way or settled earlier in the frame when it was
// started from the same inputs, else worked out here. It stays settled for the frame's drawNets.
void settlePlan(const PlanInputs& in) {
    bool planned = false;
    if (pending.running) {
        pending.worker->wait();
        pending.running = false;
        pending.lastMilliseconds = pending.runMilliseconds;
        pending.lastCarriedOver = pending.runCarriedOver;
        planned = samePlanInputs(pending.inputs, in);
    } else if (pending.settled) {
        planned = samePlanInputs(pending.inputs, in);
    }
    if (in.thinned && !planned) updatePlan(in);
    pending.inputs = in;
    pending.settled = true;
}

}  // namespace

void startNetPlan(const SurfaceModel& surface, const DerivedNets& derived,
                  const Selection& selection, bool skinning) {
    startPlan(planInputs(surface, derived, selection, skinning));
}

void startNetPlanFor(const SurfaceModel& surface, const DerivedNets& derived,
                     const Selection& selection, bool skinning, const double modelView[16],
                     const double projection[16], const int viewport[4]) {
    startPlan(planInputs(surface, derived, selection, skinning, modelView, projection, viewport));
}

void drawNets(const SurfaceModel& surface, const DerivedNets& derived, const Selection& selection,
              bool skinning) {
    NetDrawingData& d = data;
    const PlanInputs in = planInputs(surface, derived, selection, skinning);
    settlePlan(in);
    pending.settled = false;  // the next frame's nets are settled afresh
    const bool thinned = in.thinned;
    const std::vector<PointH>* control = in.control;
    const std::vector<PointH>* skinned = in.skinned;
    const int countU = in.countU;

    d.counts = NetDrawCounts();
    d.counts.points =
        static_cast<long long>((control ? control->size() : 0) + (skinned ? skinned->size() : 0));
    d.counts.segments = segmentCount(control, countU) + segmentCount(skinned, countU);
    const bool wholeNets = !thinned || d.whole;
    d.lastDrawCarriedOver = !wholeNets && d.carriedOver;

    glLineWidth(1.0f);
    if (control != nullptr) {
        if (wholeNets) {
            drawSectionStrips(countU, *control, true, selection.currentSection);
            d.counts.segmentsDrawn += segmentCount(control, countU);
        } else {
            drawRuns(*control, d.control.plan, true);
            d.counts.segmentsDrawn += d.control.plan.segmentsDrawn;
        }
    }
    materialNet();
    if (skinned != nullptr) {
        if (wholeNets) {
            drawSectionStrips(countU, *skinned, false, selection.currentSection);
            d.counts.segmentsDrawn += segmentCount(skinned, countU);
        } else {
            drawRuns(*skinned, d.skinned.plan, false);
            d.counts.segmentsDrawn += d.skinned.plan.segmentsDrawn;
        }
    }

    if (control != nullptr) {
        if (wholeNets) {
            drawPoints(*control, pickedIndex(selection.pickedPointOffset, control->size()),
                       materialNet);
            d.counts.pointsDrawn += static_cast<long long>(control->size());
        } else {
            drawPoints(d.control.plan.points, d.control.plan.pickedAt, materialNet);
            d.counts.pointsDrawn += static_cast<long long>(d.control.plan.points.size());
        }
    }
    if (skinned != nullptr) {
        materialSkinned();
        if (wholeNets) {
            drawPoints(*skinned, pickedIndex(selection.pickedPointOffset, skinned->size()),
                       materialSkinned);
            d.counts.pointsDrawn += static_cast<long long>(skinned->size());
        } else {
            drawPoints(d.skinned.plan.points, d.skinned.plan.pickedAt, materialSkinned);
            d.counts.pointsDrawn += static_cast<long long>(d.skinned.plan.points.size());
        }
    }
}

bool settleNetPlan(const SurfaceModel& surface, const DerivedNets& derived,
                   const Selection& selection, bool skinning, double worthMilliseconds) {
    // During a drag, a plan still under way that, going by the last one, has longer to go than
    // the caller would gain is left to run on while the caller draws. Other plans are waited
    // for: the frame after a drag is drawn exactly, and needs no hurry.
    if (pending.running && pending.lastCarriedOver && !pending.worker->finished()) {
        const double elapsed = std::chrono::duration<double, std::milli>(
                                   std::chrono::steady_clock::now() - pending.startedAt)
                                   .count();
        if (pending.lastMilliseconds - elapsed > worthMilliseconds) return false;
    }
    const PlanInputs in = planInputs(surface, derived, selection, skinning);
    settlePlan(in);
    return in.thinned && !data.whole;
}

void projectUnderNets(const float* xyz, size_t count, const JobRunner& run) {
    NetOnScreen& screen = data.under;
    screen.resize(count);
    const PlanInputs& in = pending.inputs;
    constexpr size_t kPerJob = 4096;
    run(static_cast<int>((count + kPerJob - 1) / kPerJob), [&](int job) {
        const size_t begin = static_cast<size_t>(job) * kPerJob;
        for (size_t i = begin; i < std::min(begin + kPerJob, count); ++i) {
            const PointH p = {xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2], 1.0f};
            projectPoint(p, in.combined, in.viewport, screen, i);
        }
    });
}

bool netsHideSegment(size_t a, size_t b) {
    bool longOne = false;
    return !segmentShows(data.under, a, b, data.coverBoth, data.coverAround, data.grid, longOne);
}

bool netsHideTriangle(size_t a, size_t b, size_t c) {
    const NetOnScreen& screen = data.under;
    if (screen.cell[a] == kOffWindow || screen.cell[b] == kOffWindow ||
        screen.cell[c] == kOffWindow)
        return false;
    // GL fills the pixels whose centres the triangle holds, at depths between its corners'.
    const float left = std::min({screen.x[a], screen.x[b], screen.x[c]});
    const float right = std::max({screen.x[a], screen.x[b], screen.x[c]});
    const float bottom = std::min({screen.y[a], screen.y[b], screen.y[c]});
    const float top = std::max({screen.y[a], screen.y[b], screen.y[c]});
    const float nearest = std::min({screen.depth[a], screen.depth[b], screen.depth[c]}) - kDepthTie;
    bool longOne = false;
    return boxHidden(data.coverBoth, data.coverAround, data.grid, floorOnWindow(left - 1.0f),
                     floorOnWindow(bottom - 1.0f), floorOnWindow(right + 1.0f),
                     floorOnWindow(top + 1.0f), nearest, longOne);
}

void setNetThinning(bool on) {
    data.thinning = on;
}

void releaseNetDrawing() {
    // A forked child (a death test's) has the worker object but not its thread, so only the
    // process that started the thread ends it.
    if (pending.worker && pending.workerProcess != getpid()) {
        static_cast<void>(pending.worker.release());
        pending.running = false;
    }
    if (pending.running) pending.worker->wait();
    pending = PendingPlan();
    data = NetDrawingData();
}

bool netsDrawnFromCarriedPlan() {
    return data.lastDrawCarriedOver;
}

NetDrawCounts lastNetDrawCounts() {
    return data.counts;
}
