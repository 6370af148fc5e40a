// The main view's control and skinned nets, drawn whole or thinned to what shows on the screen.
//
// How the thinning stays exact. Every point is a 10 x 10 square of one depth, drawn with the
// depth test GL_LESS, so a pixel the net's points cover ends with the colour of the nearest
// point covering it (the first drawn among equals) and with that point's depth. A point that is
// nowhere that nearest point changes nothing when left out. A polyline segment changes nothing
// when left out if, at every pixel it could touch, a point drawn after it is nearer than any
// part of the segment: that point overwrites the pixel's colour and depth whatever the segment
// left there. Both tests run on the pixel grid: the nearest depth among the points covering
// each pixel is a 10 x 10 sliding minimum of the nearest point depth at each pixel centre.
// Positions so near a pixel edge that GL's rounding may go either way, points off the window or
// outside the depth range, and depths within kDepthTie of each other are always kept, so a
// difference between our arithmetic and GL's only ever draws more.
#include "view/net_drawing.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "model/derived_nets.h"
#include "model/surface_model.h"
#include "view/main_view.h"

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
// Segments whose box of pixels is wider or higher than this are always drawn.
constexpr int kLongestTestedSegment = 16;

constexpr float kFar = std::numeric_limits<float>::infinity();

// Where a point falls: kOffWindow (behind the eye, outside the window or the depth range: only
// GL can say what it covers), kNearEdge (on the window, but so near a pixel edge that its square
// may start a pixel either side), or the grid cell its centre rounds to.
constexpr int kOffWindow = -1;
constexpr int kNearEdge = -2;

// A net's points on the screen: per point its place (above), the window pixel its centre
// rounds to and its window depth.
struct NetOnScreen {
    std::vector<int> cell;
    std::vector<int> px, py;
    std::vector<float> depth;
};

// The pixels around the points: window pixel (originX, originY) is grid cell 0.
struct PixelGrid {
    int originX = 0, originY = 0, width = 0, height = 0;
};

// What a draw of the nets was worked out from, compared bit for bit with the next draw's.
struct NetKey {
    std::vector<PointH> controlNet, skinnedNet;
    double matrices[32] = {};
    int viewport[4] = {};
    int countU = 0, currentSection = 0, selectedPoint = 0, pickedPointOffset = 0;
    bool control = false, skinned = false;
};

// How one net is drawn: whole (the reference drawing) or from its kept points and runs of
// segments. Runs are (first vertex, vertex count) into the net's own array, in three groups:
// the sections before the current one, the current one, the sections after it.
struct NetPlan {
    bool whole = true;
    std::vector<PointH> points;  // kept points, in storage order
    long long pickedAt = -1;     // index of the picked point in `points`
    std::vector<GLint> runFirst[3];
    std::vector<GLsizei> runCount[3];
    long long segmentsDrawn = 0;
};

struct NetDrawingData {
    bool thinning = true;
    bool planned = false;
    NetKey key;
    NetPlan control, skinned;
    NetDrawCounts counts;
    // Scratch grids, kept between draws to spare the allocations.
    std::vector<float> nearest, rowPass, coverControl, coverSkinned, keepDepth, coverAround;
    NetOnScreen controlScreen, skinnedScreen;
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
    glVertexPointer(4, GL_FLOAT, sizeof(PointH), &net[0].x);
    for (int group = 0; group < 3; ++group) {
        if (highlightCurrent) {
            if (group == 1) {
                materialHighlight();
            } else {
                materialNet();
            }
        }
        if (plan.runFirst[group].empty()) continue;
        glMultiDrawArrays(GL_LINE_STRIP, plan.runFirst[group].data(),
                          plan.runCount[group].data(),
                          static_cast<GLsizei>(plan.runFirst[group].size()));
    }
    glPopClientAttrib();
}

// The combined projection and model-view matrix (column-major) and the viewport in force.
void currentTransform(double combined[16], int viewport[4], double matrices[32]) {
    glGetDoublev(GL_MODELVIEW_MATRIX, matrices);
    glGetDoublev(GL_PROJECTION_MATRIX, matrices + 16);
    glGetIntegerv(GL_VIEWPORT, viewport);
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

// Projects the net's points into window coordinates and widens the box from (left, bottom) to
// (right, top) to hold the pixels of those on the window. The grid cells are filled in later,
// once the grid is known (until then a cell of 0 marks a point clear of the pixel edges).
void project(const std::vector<PointH>& net, const double m[16], const int viewport[4],
             NetOnScreen& screen, int& left, int& bottom, int& right, int& top) {
    const size_t n = net.size();
    screen.cell.resize(n);
    screen.px.resize(n);
    screen.py.resize(n);
    screen.depth.resize(n);
    const double scaleX = 0.5 * viewport[2], scaleY = 0.5 * viewport[3];
    const double offsetX = viewport[0] + scaleX, offsetY = viewport[1] + scaleY;
    for (size_t i = 0; i < n; ++i) {
        const PointH& p = net[i];
        const double cx = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12] * p.w;
        const double cy = m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13] * p.w;
        const double cz = m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14] * p.w;
        const double cw = m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15] * p.w;
        if (!(cw > 0.0) || !(std::fabs(cx) < cw) || !(std::fabs(cy) < cw) ||
            !(std::fabs(cz) < cw)) {
            screen.cell[i] = kOffWindow;
            screen.px[i] = screen.py[i] = 0;
            screen.depth[i] = 0.0f;
            continue;
        }
        const double inverse = 1.0 / cw;
        bool clear = true;
        const int px = roundedPixel(offsetX + cx * inverse * scaleX, clear);
        const int py = roundedPixel(offsetY + cy * inverse * scaleY, clear);
        screen.px[i] = px;
        screen.py[i] = py;
        screen.depth[i] = static_cast<float>((cz * inverse + 1.0) * 0.5);
        screen.cell[i] = clear ? 0 : kNearEdge;
        left = std::min(left, px);
        right = std::max(right, px);
        bottom = std::min(bottom, py);
        top = std::max(top, py);
    }
}

// Gives each certain point its grid cell and keeps, per cell, the nearest depth there. Returns
// how many points fell on a cell another point already held.
long long fillNearest(NetOnScreen& screen, const PixelGrid& grid, std::vector<float>& nearest) {
    nearest.assign(static_cast<size_t>(grid.width) * grid.height, kFar);
    long long shared = 0;
    for (size_t i = 0; i < screen.cell.size(); ++i) {
        if (screen.cell[i] < 0) continue;
        const int gx = screen.px[i] - grid.originX;
        const int gy = screen.py[i] - grid.originY;
        const int cell = gy * grid.width + gx;
        screen.cell[i] = cell;
        float& d = nearest[static_cast<size_t>(cell)];
        if (d != kFar) ++shared;
        d = std::min(d, screen.depth[i]);
    }
    return shared;
}

// out(q) = min (or max) of in(q + k) for k from `low` to `high`, along rows or along columns;
// reads past the grid are left out.
template <bool kMinimum>
void slide(const std::vector<float>& in, std::vector<float>& out, const PixelGrid& grid, int low,
           int high, bool alongRows) {
    const int w = grid.width, h = grid.height;
    out.assign(in.size(), kMinimum ? kFar : -kFar);
    auto combine = [](float a, float b) { return kMinimum ? std::min(a, b) : std::max(a, b); };
    if (alongRows) {
        for (int y = 0; y < h; ++y) {
            const float* row = in.data() + static_cast<size_t>(y) * w;
            float* target = out.data() + static_cast<size_t>(y) * w;
            for (int k = low; k <= high; ++k) {
                const int from = std::max(0, -k), to = std::min(w, w - k);
                for (int x = from; x < to; ++x) target[x] = combine(target[x], row[x + k]);
            }
        }
    } else {
        for (int y = 0; y < h; ++y) {
            float* target = out.data() + static_cast<size_t>(y) * w;
            for (int k = low; k <= high; ++k) {
                if (y + k < 0 || y + k >= h) continue;
                const float* row = in.data() + static_cast<size_t>(y + k) * w;
                for (int x = 0; x < w; ++x) target[x] = combine(target[x], row[x]);
            }
        }
    }
}

// cover(q): the nearest depth among the squares of the net's certain points that cover pixel
// q. A square at cell c covers q when c lies between q - 4 and q + 5, across and up.
void coverDepth(const std::vector<float>& nearest, std::vector<float>& cover,
                std::vector<float>& scratch, const PixelGrid& grid) {
    slide<true>(nearest, scratch, grid, -kBoxAbove, kBoxBelow, true);
    slide<true>(scratch, cover, grid, -kBoxAbove, kBoxBelow, false);
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

// The points of the net to draw: the forced ones, those off the window, and those nearest at
// some pixel of their square. A point near a pixel edge is left out only when points nearer
// than it cover every pixel its square may take.
void planPoints(const std::vector<PointH>& net, const NetOnScreen& screen,
                const std::vector<float>& cover, const PixelGrid& grid, long long picked,
                long long forcedFirst, long long forcedEnd, long long selected, NetPlan& plan,
                std::vector<float>& keepDepth, std::vector<float>& scratch) {
    // keepDepth(c): the farthest of the nearest depths over the pixels of a square at c; a
    // point there shows somewhere when its depth is not beyond it.
    slide<false>(cover, scratch, grid, -kBoxBelow, kBoxAbove, true);
    slide<false>(scratch, keepDepth, grid, -kBoxBelow, kBoxAbove, false);
    plan.points.clear();
    plan.pickedAt = -1;
    for (size_t i = 0; i < net.size(); ++i) {
        const long long index = static_cast<long long>(i);
        const bool forced = index == picked || index == selected ||
                            (index >= forcedFirst && index < forcedEnd);
        const int cell = screen.cell[i];
        const float depth = screen.depth[i] - kDepthTie;
        if (!forced && cell >= 0 && depth > keepDepth[static_cast<size_t>(cell)]) continue;
        if (!forced && cell == kNearEdge &&
            allNearer(cover, grid, screen.px[i] - 1 - kBoxBelow, screen.py[i] - 1 - kBoxBelow,
                      screen.px[i] + 1 + kBoxAbove, screen.py[i] + 1 + kBoxAbove, depth)) {
            continue;
        }
        if (index == picked) plan.pickedAt = static_cast<long long>(plan.points.size());
        plan.points.push_back(net[i]);
    }
}

// True when every pixel segment (a, b) of the net could touch has a point drawn after it that
// is nearer than the whole segment. The pixels it may touch lie within one of its end points'
// floors, which lie within a pixel below the rounded positions. coverAround holds, at each
// pixel, the farthest cover depth 2 pixels around it: enough for a segment that moves at most
// a pixel across and up.
bool segmentHidden(const NetOnScreen& screen, size_t a, size_t b, const std::vector<float>& cover,
                   const std::vector<float>& coverAround, const PixelGrid& grid) {
    if (screen.cell[a] == kOffWindow || screen.cell[b] == kOffWindow) return false;
    const float nearestOfSegment = std::min(screen.depth[a], screen.depth[b]) - kDepthTie;
    const int x0 = std::min(screen.px[a], screen.px[b]) - 2;
    const int x1 = std::max(screen.px[a], screen.px[b]) + 1;
    const int y0 = std::min(screen.py[a], screen.py[b]) - 2;
    const int y1 = std::max(screen.py[a], screen.py[b]) + 1;
    if (x1 - x0 <= 4 && y1 - y0 <= 4) {
        const int gx = x0 + 2 - grid.originX, gy = y0 + 2 - grid.originY;
        if (gx < 2 || gy < 2 || gx + 2 >= grid.width || gy + 2 >= grid.height) return false;
        return coverAround[static_cast<size_t>(gy) * grid.width + gx] < nearestOfSegment;
    }
    if (x1 - x0 > kLongestTestedSegment || y1 - y0 > kLongestTestedSegment) return false;
    return allNearer(cover, grid, x0, y0, x1, y1, nearestOfSegment);
}

// The runs of segments to draw, section by section: all of the current section's (when
// highlightCurrent), and elsewhere those that segmentHidden does not leave out.
long long planSegments(const NetOnScreen& screen, int countU, int currentSection,
                       const std::vector<float>& cover, const std::vector<float>& coverAround,
                       const PixelGrid& grid, NetPlan& plan) {
    const int rows = static_cast<int>(screen.cell.size() / static_cast<size_t>(countU));
    long long drawn = 0;
    for (int group = 0; group < 3; ++group) {
        plan.runFirst[group].clear();
        plan.runCount[group].clear();
    }
    for (int row = 0; row < rows; ++row) {
        const int group = row < currentSection ? 0 : row == currentSection ? 1 : 2;
        const size_t base = static_cast<size_t>(row) * countU;
        int runStart = -1;  // first vertex of the open run
        for (int k = 0; k + 1 < countU; ++k) {
            const bool draw =
                group == 1 ||
                !segmentHidden(screen, base + k, base + k + 1, cover, coverAround, grid);
            if (draw) {
                ++drawn;
                if (runStart < 0) runStart = k;
            }
            if ((!draw || k + 2 == countU) && runStart >= 0) {
                const int end = draw ? k + 1 : k;  // last vertex of the run
                plan.runFirst[group].push_back(static_cast<GLint>(base + runStart));
                plan.runCount[group].push_back(static_cast<GLsizei>(end - runStart + 1));
                runStart = -1;
            }
        }
    }
    return drawn;
}

bool sameKey(const NetKey& key, const std::vector<PointH>* control,
             const std::vector<PointH>* skinned, const double matrices[32], const int viewport[4],
             int countU, const Selection& selection) {
    auto sameNet = [](const std::vector<PointH>& kept, const std::vector<PointH>* net) {
        if (net == nullptr) return kept.empty();
        return kept.size() == net->size() &&
               (kept.empty() ||
                std::memcmp(kept.data(), net->data(), kept.size() * sizeof(PointH)) == 0);
    };
    return key.control == (control != nullptr) && key.skinned == (skinned != nullptr) &&
           key.countU == countU && key.currentSection == selection.currentSection &&
           key.selectedPoint == selection.selectedPoint &&
           key.pickedPointOffset == selection.pickedPointOffset &&
           std::memcmp(key.matrices, matrices, sizeof key.matrices) == 0 &&
           std::memcmp(key.viewport, viewport, sizeof key.viewport) == 0 &&
           sameNet(key.controlNet, control) && sameNet(key.skinnedNet, skinned);
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

// Works out what to draw of the two nets (either may be missing); a net whose points share no
// pixel is drawn whole, as is everything when no point has a certain place.
void planNets(const std::vector<PointH>* control, const std::vector<PointH>* skinned, int countU,
              const Selection& selection, const double combined[16], const int viewport[4]) {
    NetDrawingData& d = data;
    d.control.whole = d.skinned.whole = true;
    int left = std::numeric_limits<int>::max(), bottom = left;
    int right = std::numeric_limits<int>::min(), top = right;
    if (control != nullptr)
        project(*control, combined, viewport, d.controlScreen, left, bottom, right, top);
    if (skinned != nullptr)
        project(*skinned, combined, viewport, d.skinnedScreen, left, bottom, right, top);
    if (left > right) return;
    // Room for the squares (5 pixels) and the two sliding windows over them (10 more).
    constexpr int kReach = 16;
    PixelGrid grid;
    grid.originX = left - kReach;
    grid.originY = bottom - kReach;
    grid.width = right - left + 1 + 2 * kReach;
    grid.height = top - bottom + 1 + 2 * kReach;

    long long shared = 0;
    if (control != nullptr) {
        shared += fillNearest(d.controlScreen, grid, d.nearest);
        coverDepth(d.nearest, d.coverControl, d.rowPass, grid);
    } else {
        d.coverControl.assign(static_cast<size_t>(grid.width) * grid.height, kFar);
    }
    if (skinned != nullptr) {
        shared += fillNearest(d.skinnedScreen, grid, d.nearest);
        coverDepth(d.nearest, d.coverSkinned, d.rowPass, grid);
    } else {
        d.coverSkinned.assign(static_cast<size_t>(grid.width) * grid.height, kFar);
    }
    if (shared == 0) return;

    const long long section = selection.currentSection;
    const long long sectionFirst = section >= 0 ? section * countU : -1;
    const long long sectionEnd = section >= 0 ? sectionFirst + countU : -1;
    const long long selected = selection.selectedPoint >= 0 && selection.selectedPoint < countU &&
                                       sectionFirst >= 0
                                   ? sectionFirst + selection.selectedPoint
                                   : -1;
    if (control != nullptr) {
        planPoints(*control, d.controlScreen, d.coverControl, grid,
                   pickedIndex(selection.pickedPointOffset, control->size()), sectionFirst,
                   sectionEnd, selected, d.control, d.keepDepth, d.rowPass);
    }
    if (skinned != nullptr) {
        planPoints(*skinned, d.skinnedScreen, d.coverSkinned, grid,
                   pickedIndex(selection.pickedPointOffset, skinned->size()), -1, -1, -1,
                   d.skinned, d.keepDepth, d.rowPass);
    }
    // The polylines are drawn before every point of both nets: what either net's points cover.
    std::vector<float>& cover = d.coverControl;
    for (size_t i = 0; i < cover.size(); ++i) cover[i] = std::min(cover[i], d.coverSkinned[i]);
    slide<false>(cover, d.rowPass, grid, -2, 2, true);
    slide<false>(d.rowPass, d.coverAround, grid, -2, 2, false);
    if (control != nullptr) {
        d.control.segmentsDrawn =
            planSegments(d.controlScreen, countU, selection.currentSection, cover,
                         d.coverAround, grid, d.control);
        d.control.whole = false;
    }
    if (skinned != nullptr) {
        d.skinned.segmentsDrawn = planSegments(d.skinnedScreen, countU, -1, cover, d.coverAround, grid, d.skinned);
        d.skinned.whole = false;
    }
}

long long segmentCount(const std::vector<PointH>* net, int countU) {
    if (net == nullptr || countU < 2) return 0;
    return static_cast<long long>(net->size() / static_cast<size_t>(countU)) * (countU - 1);
}

}  // namespace

void drawNets(const SurfaceModel& surface, const DerivedNets& derived, const Selection& selection,
              bool skinning) {
    NetDrawingData& d = data;
    const std::vector<PointH>* control = netMatchesCounts(surface) ? &surface.controlNet : nullptr;
    const std::vector<PointH>* skinned =
        skinnedNetUsable(surface, skinning, derived) ? &derived.skinnedNet : nullptr;
    if (control != nullptr && control->empty()) control = nullptr;
    if (skinned != nullptr && skinned->empty()) skinned = nullptr;
    const int countU = surface.countU;

    d.counts = NetDrawCounts();
    d.counts.points = static_cast<long long>((control ? control->size() : 0) +
                                             (skinned ? skinned->size() : 0));
    d.counts.segments = segmentCount(control, countU) + segmentCount(skinned, countU);

    if (d.thinning && countU >= 1) {
        double combined[16], matrices[32];
        int viewport[4];
        currentTransform(combined, viewport, matrices);
        if (!d.planned ||
            !sameKey(d.key, control, skinned, matrices, viewport, countU, selection)) {
            planNets(control, skinned, countU, selection, combined, viewport);
            keepKey(d.key, control, skinned, matrices, viewport, countU, selection);
            d.planned = true;
        }
    } else {
        d.control.whole = d.skinned.whole = true;
    }
    const bool wholeNets = !d.thinning || (d.control.whole && d.skinned.whole);

    glLineWidth(1.0f);
    if (control != nullptr) {
        if (wholeNets) {
            drawSectionStrips(countU, *control, true, selection.currentSection);
            d.counts.segmentsDrawn += segmentCount(control, countU);
        } else {
            drawRuns(*control, d.control, true);
            d.counts.segmentsDrawn += d.control.segmentsDrawn;
        }
    }
    materialNet();
    if (skinned != nullptr) {
        if (wholeNets) {
            drawSectionStrips(countU, *skinned, false, selection.currentSection);
            d.counts.segmentsDrawn += segmentCount(skinned, countU);
        } else {
            drawRuns(*skinned, d.skinned, false);
            d.counts.segmentsDrawn += d.skinned.segmentsDrawn;
        }
    }

    if (control != nullptr) {
        const long long picked = pickedIndex(selection.pickedPointOffset, control->size());
        if (wholeNets) {
            drawPoints(*control, picked, materialNet);
            d.counts.pointsDrawn += static_cast<long long>(control->size());
        } else {
            drawPoints(d.control.points, d.control.pickedAt, materialNet);
            d.counts.pointsDrawn += static_cast<long long>(d.control.points.size());
        }
    }
    if (skinned != nullptr) {
        materialSkinned();
        const long long picked = pickedIndex(selection.pickedPointOffset, skinned->size());
        if (wholeNets) {
            drawPoints(*skinned, picked, materialSkinned);
            d.counts.pointsDrawn += static_cast<long long>(skinned->size());
        } else {
            drawPoints(d.skinned.points, d.skinned.pickedAt, materialSkinned);
            d.counts.pointsDrawn += static_cast<long long>(d.skinned.points.size());
        }
    }
}

void setNetThinning(bool on) {
    data.thinning = on;
    data.planned = false;
}

NetDrawCounts lastNetDrawCounts() {
    return data.counts;
}
