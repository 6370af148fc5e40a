// The main view's outline and fill from the surface grid: the grid kept between frames and
// evaluated again in part after a drag, its triangle and line indices, drawn from vertex arrays.
#include "view/grid_surface.h"

#include <GL/gl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "model/net_drift.h"
#include "view/grid_key.h"
#include "view/net_drawing.h"
#include "view/worker_thread.h"

namespace {

// A run of indices drawn as one strip.
struct Strip {
    size_t first;
    size_t count;
};

// The module's state: the kept grid, its parameters and index lists.
struct GridSurfaceData {
    std::unique_ptr<WorkerThread> worker;  // started on first use
    pid_t workerProcess = 0;               // the process that started it
    GridKey key;
    bool valid = false;
    GridParameters parameters;
    // The net the parameters were chosen for, and how far (in any coordinate) its points may
    // move before they count as changed for the parameters.
    std::vector<PointH> chosenFor;
    std::vector<float> chosenKnotsU, chosenKnotsV;
    float chosenTolerance = 0.0f;
    SurfaceGrid grid;
    // Indices of triangle strips (filled) and line strips (outline), each strip a range of them.
    std::vector<uint32_t> triangles;
    std::vector<uint32_t> lines;
    std::vector<Strip> triangleStrips, lineStrips;
    // The runs of the strips that the nets' points drawn after the surface leave in sight, one
    // list of runs per job.
    std::vector<std::vector<uint32_t>> shownIndices;
    std::vector<std::vector<Strip>> shownStrips;
    // What handing a segment or triangle to GL took in the last frame, and the share of them
    // the nets hid in the last frame that asked: what waiting for the nets' plan is worth.
    double millisecondsPerPiece = 0.0;
    double hiddenShare = 1.0;
    GridSurfaceFrame frame;
};

GridSurfaceData data;

// In outline, grid lines are drawn at the knots and, between two drawn lines, every other step:
// with this view's step of about 10 pixels, a line every 20 pixels or so, about as dense as
// GLU's sampling draws an ordinary net.
constexpr int kOutlineEvery = 2;

// An evaluation touching at most this share of the grid's vertices is done in part; past it,
// the whole grid is evaluated again (on parameters chosen afresh for the moved net).
constexpr double kMostPartialShare = 0.5;

// A point that moved less than this share of the net's extent since the grid's parameters were
// chosen leaves them standing: a drag with skinning moves every point of the skinned net a
// little, which changes no span's demand for steps that matters.
constexpr float kParameterDrift = 1e-3f;
// Nor do knots that moved less than this share of their range (the sections' parameters shift
// a little as a drag changes the chords).
constexpr float kKnotDrift = 1e-2f;

JobRunner bothCores() {
    if (!data.worker) {
        data.worker = std::make_unique<WorkerThread>();
        data.workerProcess = getpid();
    }
    return [](int jobs, const std::function<void(int)>& job) {
        shareJobs(
            *data.worker, jobs, [&job](int index, bool /*onWorker*/) { job(index); },
            [](int) { return true; });
    };
}

// The ordinary shading is lit per vertex like GLU's, whose own sampling leaves up to 50 pixels
// between samples: a step of a few pixels more than the analysis shadings take (they need fine
// steps for stripes and colours) keeps the silhouette within a pixel or so of the surface's, at
// a quarter of the vertices.
GridDensity density() {
    GridDensity d;
    d.pixelsPerStep = 10.0f;
    d.radiansPerStep = 0.2f;
    d.stepsPerWindowPixel = 0.25f;
    return d;
}

// The share of the kept grid's vertices in `region`.
double regionShare(const GridRegion& region) {
    return static_cast<double>(region.endColumn - region.firstColumn) *
           (region.endRow - region.firstRow) /
           std::max(1.0, static_cast<double>(data.grid.columns) * data.grid.rows);
}

// Chooses the grid's parameters for the surface in this view and evaluates the whole grid.
void evaluateWhole(const NetSurface& surface, const CurrentView& view) {
    const ScreenProjection screen = screenProjectionOf(view);
    data.parameters = chooseGridParameters(surface, screen, density());
    evaluateSurfaceGrid(surface, data.parameters, GridQuantity::normals, data.grid, bothCores());
    const size_t count = static_cast<size_t>(surface.countU) * surface.countV;
    data.chosenFor.assign(surface.net, surface.net + count);
    data.chosenKnotsU.assign(surface.knotsU, surface.knotsU + surface.countU + surface.orderU);
    data.chosenKnotsV.assign(surface.knotsV, surface.knotsV + surface.countV + surface.orderV);
    float low[4], high[4];
    std::fill(low, low + 4, std::numeric_limits<float>::infinity());
    std::fill(high, high + 4, -std::numeric_limits<float>::infinity());
    for (const PointH& p : data.chosenFor) {
        const float c[4] = {p.x, p.y, p.z, p.w};
        for (int k = 0; k < 4; ++k) {
            low[k] = std::min(low[k], c[k]);
            high[k] = std::max(high[k], c[k]);
        }
    }
    float extent = 0.0f;
    for (int k = 0; k < 4; ++k) extent = std::max(extent, high[k] - low[k]);
    data.chosenTolerance = std::isfinite(extent) ? kParameterDrift * extent : 0.0f;
}

// Whether the net moved, since its grid's parameters were chosen, only a little everywhere but
// in a part whose grid region is at most kMostPartialShare of the grid.
bool onlyDrifted(const NetSurface& surface) {
    const int countU = surface.countU;
    if (data.chosenFor.size() != static_cast<size_t>(countU) * surface.countV) return false;
    int firstU = countU, lastU = -1, firstV = surface.countV, lastV = -1;
    forEachPointMovedBeyond(data.chosenFor.data(), surface.net, data.chosenFor.size(),
                            data.chosenTolerance, [&](size_t i) {
                                const int u = static_cast<int>(i % static_cast<size_t>(countU));
                                const int v = static_cast<int>(i / static_cast<size_t>(countU));
                                firstU = std::min(firstU, u);
                                lastU = std::max(lastU, u);
                                firstV = std::min(firstV, v);
                                lastV = std::max(lastV, v);
                                return true;
                            });
    if (lastU < 0) return true;
    const GridRegion region =
        gridRegionOfNetChange(surface, data.parameters, firstU, lastU, firstV, lastV);
    return regionShare(region) <= kMostPartialShare;
}

// The net points that differ between the kept net and the new one, as index ranges along a
// section (u) and across the sections (v); false when none differs.
bool changedPoints(const std::vector<PointH>& before, const PointH* after, int countU, int& firstU,
                   int& lastU, int& firstV, int& lastV) {
    firstU = countU;
    lastU = -1;
    firstV = -1;
    lastV = -1;
    const size_t rowBytes = static_cast<size_t>(countU) * sizeof(PointH);
    const int rows = static_cast<int>(before.size() / static_cast<size_t>(countU));
    for (int j = 0; j < rows; ++j) {
        const PointH* a = before.data() + static_cast<size_t>(j) * countU;
        const PointH* b = after + static_cast<size_t>(j) * countU;
        if (std::memcmp(a, b, rowBytes) == 0) continue;
        if (firstV < 0) firstV = j;
        lastV = j;
        for (int i = 0; i < countU; ++i) {
            if (std::memcmp(&a[i], &b[i], sizeof(PointH)) == 0) continue;
            firstU = std::min(firstU, i);
            lastU = std::max(lastU, i);
        }
    }
    return lastV >= 0;
}

// One triangle strip per run of cells between grid rows j and j + 1 whose corners are all
// defined, going along u; each strip starts on row j + 1, so its triangles turn the way u and v
// do (counter-clockwise seen from the side the normal Su x Sv points to).
void buildTriangleStrips(const SurfaceGrid& grid, std::vector<uint32_t>& indices,
                         std::vector<Strip>& strips) {
    indices.clear();
    strips.clear();
    const uint32_t columns = static_cast<uint32_t>(grid.columns);
    for (int j = 0; j + 1 < grid.rows; ++j) {
        const uint32_t row = static_cast<uint32_t>(j) * columns;
        bool open = false;
        for (uint32_t i = 0; i < columns; ++i) {
            const uint32_t a = row + i, c = a + columns;
            const bool defined = grid.defined[a] && grid.defined[c];
            const bool cellAhead =
                i + 1 < columns && grid.defined[a + 1] && grid.defined[c + 1] && defined;
            if (defined && (open || cellAhead)) {
                if (!open) strips.push_back({indices.size(), 0});
                indices.insert(indices.end(), {c, a});
                strips.back().count += 2;
                open = cellAhead;
            } else {
                open = false;
            }
        }
    }
}

// Which grid lines of one direction the outline draws: those at the knot range's interior
// knots, and enough between them that no two drawn lines are more than kOutlineEvery steps
// apart. When the grid has too few steps to hold every knot, every line is drawn (the patches
// are then about a grid step on the screen, as dense as GLU draws them).
std::vector<unsigned char> outlineLines(const std::vector<float>& t, const float* U, int count,
                                        int order) {
    std::vector<unsigned char> drawn(t.size(), 0);
    bool knotsInGrid = true;
    for (int I = order; I < count && knotsInGrid; ++I) {
        if (U[I] <= t.front() || U[I] >= t.back()) continue;
        knotsInGrid = std::binary_search(t.begin(), t.end(), U[I]);
    }
    if (!knotsInGrid) return std::vector<unsigned char>(t.size(), 1);
    for (int I = order; I < count; ++I) {
        const auto at = std::lower_bound(t.begin(), t.end(), U[I]);
        if (at != t.end() && *at == U[I]) drawn[static_cast<size_t>(at - t.begin())] = 1;
    }
    drawn.front() = drawn.back() = 1;
    // Lines between the knot lines, evenly spread over each gap.
    size_t previous = 0;
    for (size_t i = 1; i < t.size(); ++i) {
        if (!drawn[i]) continue;
        const size_t gap = i - previous;
        const size_t pieces = (gap + kOutlineEvery - 1) / kOutlineEvery;
        for (size_t k = 1; k < pieces; ++k) drawn[previous + gap * k / pieces] = 1;
        previous = i;
    }
    return drawn;
}

// One line strip per run of defined vertices along each drawn grid row and column.
void buildLineStrips(const SurfaceGrid& grid, const std::vector<unsigned char>& columns,
                     const std::vector<unsigned char>& rows, std::vector<uint32_t>& indices,
                     std::vector<Strip>& strips) {
    indices.clear();
    strips.clear();
    auto run = [&](uint32_t start, uint32_t step, int count) {
        bool open = false;
        for (int k = 0; k < count; ++k) {
            const uint32_t vertex = start + static_cast<uint32_t>(k) * step;
            if (!grid.defined[vertex]) {
                open = false;
                continue;
            }
            if (!open) strips.push_back({indices.size(), 0});
            open = true;
            indices.push_back(vertex);
            ++strips.back().count;
        }
    };
    const uint32_t width = static_cast<uint32_t>(grid.columns);
    for (int j = 0; j < grid.rows; ++j) {
        if (rows[static_cast<size_t>(j)]) run(static_cast<uint32_t>(j) * width, 1, grid.columns);
    }
    for (int i = 0; i < grid.columns; ++i) {
        if (columns[static_cast<size_t>(i)]) run(static_cast<uint32_t>(i), width, grid.rows);
    }
}

// Whether knots `to` have zero-width spans exactly where knots `from` (of the same count) have,
// and lie within kKnotDrift of the range from the knots `chosen` the parameters were chosen on.
bool sameSpanPattern(const std::vector<float>& from, const float* to,
                     const std::vector<float>& chosen) {
    if (chosen.size() != from.size() || from.empty()) return false;
    const float allowed = kKnotDrift * (chosen.back() - chosen.front());
    for (size_t i = 0; i < from.size(); ++i) {
        if (!(std::fabs(to[i] - chosen[i]) <= allowed)) return false;
        if (i + 1 == from.size()) break;
        if ((from[i + 1] > from[i]) != (to[i + 1] > to[i]) || !(to[i + 1] >= to[i])) return false;
    }
    return true;
}

// Moves parameters chosen on knots `from` to the same places in their spans of knots `to`,
// which have the same spans: a knot's parameter becomes its new value, and those between two
// knots keep their share of the span.
void moveToKnots(std::vector<float>& t, const std::vector<float>& from, const float* to) {
    size_t span = 0;
    for (float& x : t) {
        while (span + 2 < from.size() && !(x < from[span + 1])) ++span;
        const float a = from[span], b = from[span + 1];
        if (to[span] == a && to[span + 1] == b) continue;  // the span did not move
        if (x == a) {
            x = to[span];
        } else if (x == b) {
            x = to[span + 1];
        } else if (b > a) {
            x = to[span] + (x - a) / (b - a) * (to[span + 1] - to[span]);
        }
    }
}

// Whether the surface is the kept grid's but for knot values that moved within their spans'
// pattern (a drag with skinning moves the sections' parameters), in the same view.
bool sameButKnotValues(const NetSurface& surface, const CurrentView& view) {
    const GridKey& key = data.key;
    return key.countU == surface.countU && key.countV == surface.countV &&
           key.orderU == surface.orderU && key.orderV == surface.orderV &&
           key.knotsU.size() == static_cast<size_t>(surface.countU + surface.orderU) &&
           key.knotsV.size() == static_cast<size_t>(surface.countV + surface.orderV) &&
           std::memcmp(&key.view, &view, sizeof view) == 0 &&
           sameSpanPattern(key.knotsU, surface.knotsU, data.chosenKnotsU) &&
           sameSpanPattern(key.knotsV, surface.knotsV, data.chosenKnotsV);
}

// Brings the kept grid up to the surface and the current view.
void update(const NetSurface& surface) {
    const CurrentView view = readView();
    bool partly = false;
    if (data.valid && sameShapeAndView(data.key, surface, view)) {
        int firstU, lastU, firstV, lastV;
        if (!changedPoints(data.key.net, surface.net, surface.countU, firstU, lastU, firstV, lastV))
            return;
        const GridRegion region =
            gridRegionOfNetChange(surface, data.parameters, firstU, lastU, firstV, lastV);
        partly = regionShare(region) <= kMostPartialShare;
        if (partly) {
            evaluateSurfaceGridRegion(surface, data.parameters, GridQuantity::normals, region,
                                      data.grid, bothCores());
        }
    }
    if (!partly) {
        if (data.valid && sameButKnotValues(surface, view) && onlyDrifted(surface)) {
            // Every point moved, most a little, and the knots at most a little: the whole grid
            // again, on the parameters kept, which follow the knots.
            moveToKnots(data.parameters.u, data.key.knotsU, surface.knotsU);
            moveToKnots(data.parameters.v, data.key.knotsV, surface.knotsV);
            evaluateSurfaceGrid(surface, data.parameters, GridQuantity::normals, data.grid,
                                bothCores());
        } else {
            evaluateWhole(surface, view);
        }
    }
    data.frame.partial = partly;
    storeKey(surface, view, data.key);
    data.valid = true;
    data.frame.columns = data.grid.columns;
    data.frame.rows = data.grid.rows;
    data.triangles.clear();
    data.lines.clear();
    data.triangleStrips.clear();
    data.lineStrips.clear();
}

// Strips per job when the strips are tested against the nets' points.
constexpr size_t kStripsPerJob = 16;

// Appends to `out` the runs of one strip whose segments (outline) or triangles (filled) are not
// hidden by the nets' points. A run of triangles starts on an even vertex of the strip, so each
// triangle keeps the winding it has in the strip (which side two-sided lighting lights).
void appendShownRuns(const uint32_t* strip, size_t count, bool outline, std::vector<uint32_t>& out,
                     std::vector<Strip>& runs) {
    const size_t corners = outline ? 2 : 3;
    if (count < corners) return;
    const size_t pieces = count - corners + 1;
    size_t first = 0;
    bool open = false;
    for (size_t k = 0; k <= pieces; ++k) {
        const bool shown =
            k < pieces && !(outline ? netsHideSegment(strip[k], strip[k + 1])
                                    : netsHideTriangle(strip[k], strip[k + 1], strip[k + 2]));
        if (shown && !open) {
            first = outline ? k : k - k % 2;
            open = true;
        } else if (!shown && open) {
            runs.push_back({out.size(), k + corners - 1 - first});
            out.insert(out.end(), strip + first, strip + k + corners - 1);
            open = false;
        }
    }
}

// Draws the kept grid, building its strips for the mode first when this is its first frame in it.
void drawKeptGrid(const NetSurface& surface, bool outline,
                  const std::function<bool(double)>& settleNets) {
    data.frame.pieces = data.frame.piecesDrawn = 0;
    if (data.grid.columns < 2 || data.grid.rows < 2) return;
    std::vector<uint32_t>& indices = outline ? data.lines : data.triangles;
    std::vector<Strip>& strips = outline ? data.lineStrips : data.triangleStrips;
    if (indices.empty()) {
        if (outline) {
            buildLineStrips(
                data.grid,
                outlineLines(data.parameters.u, surface.knotsU, surface.countU, surface.orderU),
                outlineLines(data.parameters.v, surface.knotsV, surface.countV, surface.orderV),
                data.lines, data.lineStrips);
        } else {
            buildTriangleStrips(data.grid, data.triangles, data.triangleStrips);
        }
    }
    if (indices.empty()) return;
    const GLenum mode = outline ? GL_LINE_STRIP : GL_TRIANGLE_STRIP;
    const size_t corners = outline ? 2 : 3;
    const auto pieces = [corners](const std::vector<Strip>& runs) {
        long long count = 0;
        for (const Strip& strip : runs) {
            if (strip.count >= corners) count += static_cast<long long>(strip.count - corners + 1);
        }
        return count;
    };
    data.frame.pieces = pieces(strips);
    // Where the nets' points drawn after the surface will hide all of a segment or triangle,
    // it is left out: the pixels and depths it would leave are theirs in the end.
    const double worth =
        data.millisecondsPerPiece * static_cast<double>(data.frame.pieces) * data.hiddenShare;
    const bool netsOver = settleNets && settleNets(worth);
    size_t jobs = 0;
    if (netsOver) {
        projectUnderNets(data.grid.positions.data(), data.grid.positions.size() / 3, bothCores());
        jobs = (strips.size() + kStripsPerJob - 1) / kStripsPerJob;
        data.shownIndices.resize(jobs);
        data.shownStrips.resize(jobs);
        bothCores()(static_cast<int>(jobs), [&](int job) {
            std::vector<uint32_t>& out = data.shownIndices[static_cast<size_t>(job)];
            std::vector<Strip>& runs = data.shownStrips[static_cast<size_t>(job)];
            out.clear();
            runs.clear();
            const size_t first = static_cast<size_t>(job) * kStripsPerJob;
            for (size_t k = first; k < std::min(first + kStripsPerJob, strips.size()); ++k)
                appendShownRuns(indices.data() + strips[k].first, strips[k].count, outline, out,
                                runs);
        });
    }
    glPushAttrib(GL_POLYGON_BIT | GL_LINE_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glLineWidth(1.0f);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, data.grid.positions.data());
    glNormalPointer(GL_FLOAT, 0, data.grid.normals.data());
    // Strips share each vertex between two triangles or segments, so GL lights about one
    // vertex per cell instead of six.
    const auto drawStrips = [&](const std::vector<uint32_t>& from, const std::vector<Strip>& runs) {
        for (const Strip& strip : runs) {
            if (strip.count < 2) continue;
            glDrawElements(mode, static_cast<GLsizei>(strip.count), GL_UNSIGNED_INT,
                           from.data() + strip.first);
        }
        data.frame.piecesDrawn += pieces(runs);
    };
    const auto start = std::chrono::steady_clock::now();
    if (netsOver) {
        for (size_t job = 0; job < jobs; ++job)
            drawStrips(data.shownIndices[job], data.shownStrips[job]);
        if (data.frame.pieces > 0) {
            data.hiddenShare = 1.0 - static_cast<double>(data.frame.piecesDrawn) /
                                         static_cast<double>(data.frame.pieces);
        }
    } else {
        drawStrips(indices, strips);
    }
    if (data.frame.piecesDrawn > 0) {
        data.millisecondsPerPiece =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count() /
            static_cast<double>(data.frame.piecesDrawn);
    }
    glPopClientAttrib();
    glPopAttrib();
}

}  // namespace

void drawGridSurface(const NetSurface& surface, bool outline,
                     const std::function<bool(double)>& settleNets) {
    if (!netSurfaceUsable(surface)) return;
    update(surface);
    drawKeptGrid(surface, outline, settleNets);
}

void drawGridSurfaceAgain(const NetSurface& surface, bool outline) {
    if (!netSurfaceUsable(surface) || !data.valid) return;
    const GridSurfaceFrame frame = data.frame;  // the frame's own counts, not the image's
    drawKeptGrid(surface, outline, nullptr);
    data.frame = frame;
}

GridSurfaceFrame lastGridSurfaceFrame() {
    return data.frame;
}

void releaseGridSurface() {
    // A forked child (a death test's) has the worker object but not its thread, so only the
    // process that started the thread ends it.
    if (data.worker && data.workerProcess != getpid()) static_cast<void>(data.worker.release());
    data.worker.reset();
    data = GridSurfaceData();
}
