// Section correspondence: flip, start shift and alignment of sections, and their callbacks.
#include "model/section_correspondence.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <map>
#include <utility>
#include <vector>

#include "model/editor_state.h"
#include "model/loft_options.h"
#include "model/section_knots.h"
#include "model/surface_edit.h"

namespace {

bool samePoint(const PointH& a, const PointH& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

// In double precision from the float Cartesian coordinates: sections far apart next to their
// size differ between neighbouring starts by less than a float resolves.
double cartesianDistance(const PointH& a, const PointH& b) {
    const double dx = static_cast<double>(a.x / a.w) - static_cast<double>(b.x / b.w);
    const double dy = static_cast<double>(a.y / a.w) - static_cast<double>(b.y / b.w);
    const double dz = static_cast<double>(a.z / a.w) - static_cast<double>(b.z / b.w);
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

std::string missingSection(int section) {
    return "no section " + std::to_string(section);
}

// The points of a section rearranged: reversed or not, then started `shift` distinct points
// on (shift only for a closed section, whose last point repeats the first).
void arrange(const PointH* from, int n, bool closed, bool reversed, int shift, PointH* to) {
    std::vector<PointH> ordered(from, from + n);
    if (reversed) std::reverse(ordered.begin(), ordered.end());
    if (!closed || shift == 0) {
        std::copy(ordered.begin(), ordered.end(), to);
        return;
    }
    const int m = n - 1;  // distinct points
    for (int i = 0; i < m; ++i) to[i] = ordered[static_cast<size_t>((i + shift) % m)];
    to[m] = to[0];
}

// Sum in double precision of the float distances between corresponding points.
double distanceTo(const PointH* previous, const PointH* points, int n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += cartesianDistance(previous[i], points[i]);
    return sum;
}

using Complex = std::complex<double>;

// Products written out: the library's operator checks for infinities on every call.
Complex times(const Complex& a, const Complex& b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// In-place radix-2 FFT of a power-of-two length; inverse without the 1/n scale.
void fft(std::vector<Complex>& a, bool inverse) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; (j & bit) != 0; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    std::vector<Complex> roots(n / 2);
    const double sign = inverse ? 2.0 : -2.0;
    for (size_t k = 0; k < n / 2; ++k) {
        const double angle =
            sign * 3.14159265358979323846 * static_cast<double>(k) / static_cast<double>(n);
        roots[k] = {std::cos(angle), std::sin(angle)};
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const size_t half = len / 2, stride = n / len;
        for (size_t i = 0; i < n; i += len) {
            for (size_t k = 0; k < half; ++k) {
                const Complex u = a[i + k], v = times(a[i + k + half], roots[k * stride]);
                a[i + k] = u + v;
                a[i + k + half] = u - v;
            }
        }
    }
}

// Sections of at most this many distinct points are aligned by trying every start.
constexpr int kEveryStartUpTo = 128;
// Otherwise the starts whose sums of squared distances are the least local minima, this many
// per direction, are tried with their neighbours, then followed downhill.
constexpr int kCandidateStarts = 12;
constexpr int kNeighbours = 3;

// The closed section `points` (n points, the last repeating the first) in both directions, as
// its m = n - 1 distinct points: ordered[r][i] is the i-th distinct point of direction r.
struct ClosedAlignment {
    const PointH* previous;
    int n;
    std::vector<PointH> ordered[2];

    // Distance sum of direction r started `shift` points on, as arrange() would lay it.
    double distance(int r, int shift) const {
        const int m = n - 1;
        const std::vector<PointH>& o = ordered[r];
        double sum = 0.0;
        for (int i = 0; i < m; ++i) {
            int j = i + shift;
            if (j >= m) j -= m;
            sum += cartesianDistance(previous[i], o[static_cast<size_t>(j)]);
        }
        sum += cartesianDistance(previous[m], o[static_cast<size_t>(shift)]);
        return sum;
    }

    // For every start of both directions, the sum of the squared distances: |a|^2 + |b|^2 - 2 a.b
    // with the dot products of every start at once by FFT correlation. x and y travel as one
    // complex sequence (the real part of conj(a) b is their dot product), z as another.
    void squaredSums(std::vector<double> sums[2]) const {
        const int m = n - 1;
        size_t length = 1;
        while (length < 2 * static_cast<size_t>(m)) length <<= 1;
        std::vector<Complex> axy(length), az(length), bxy(length), bz(length), product(length);
        double aa = 0.0;
        for (int i = 0; i < m; ++i) {
            const Point3 a = place(previous[i]);
            axy[static_cast<size_t>(i)] = {a.x, a.y};
            az[static_cast<size_t>(i)] = a.z;
            aa += a.x * a.x + a.y * a.y + a.z * a.z;
        }
        fft(axy, false);
        fft(az, false);
        const Point3 last = place(previous[m]);
        for (int r = 0; r < 2; ++r) {
            std::fill(bxy.begin(), bxy.end(), Complex());
            std::fill(bz.begin(), bz.end(), Complex());
            double bb = 0.0;
            for (int i = 0; i < m; ++i) {
                const Point3 b = place(ordered[r][static_cast<size_t>(i)]);
                bxy[static_cast<size_t>(i)] = bxy[static_cast<size_t>(i + m)] = {b.x, b.y};
                bz[static_cast<size_t>(i)] = bz[static_cast<size_t>(i + m)] = b.z;
                bb += b.x * b.x + b.y * b.y + b.z * b.z;
            }
            fft(bxy, false);
            fft(bz, false);
            for (size_t k = 0; k < length; ++k) {
                product[k] = times(std::conj(axy[k]), bxy[k]) + times(std::conj(az[k]), bz[k]);
            }
            fft(product, true);
            sums[r].resize(static_cast<size_t>(m));
            for (int s = 0; s < m; ++s) {
                // The last point repeats the first: its term is the start's own.
                const Point3 b = place(ordered[r][static_cast<size_t>(s)]);
                const double dx = last.x - b.x, dy = last.y - b.y, dz = last.z - b.z;
                sums[r][static_cast<size_t>(s)] =
                    aa + bb + dx * dx + dy * dy + dz * dz -
                    2.0 * product[static_cast<size_t>(s)].real() / static_cast<double>(length);
            }
        }
    }

    struct Point3 {
        double x, y, z;
    };
    static Point3 place(const PointH& p) {
        return {static_cast<double>(p.x / p.w), static_cast<double>(p.y / p.w),
                static_cast<double>(p.z / p.w)};
    }
};

// Starts of direction r worth measuring exactly: the least local minima of the squared sums.
std::vector<int> candidateStarts(const std::vector<double>& sums) {
    const int m = static_cast<int>(sums.size());
    std::vector<int> minima;
    for (int s = 0; s < m; ++s) {
        const double here = sums[static_cast<size_t>(s)];
        if (!(here <= sums[static_cast<size_t>((s + m - 1) % m)]) ||
            !(here <= sums[static_cast<size_t>((s + 1) % m)])) {
            continue;
        }
        minima.push_back(s);
    }
    const size_t keep = std::min(minima.size(), static_cast<size_t>(kCandidateStarts));
    std::partial_sort(
        minima.begin(), minima.begin() + static_cast<std::ptrdiff_t>(keep), minima.end(),
        [&](int x, int y) { return sums[static_cast<size_t>(x)] < sums[static_cast<size_t>(y)]; });
    minima.resize(keep);
    return minima;
}

}  // namespace

bool sectionIsClosed(const SurfaceModel& surface, int section) {
    if (!hasSection(surface, section) || surface.countU < 2) return false;
    const PointH* points = sectionPoints(surface, section);
    return samePoint(points[0], points[surface.countU - 1]);
}

bool flipSection(SurfaceModel& surface, int section, std::string& error) {
    if (!hasSection(surface, section)) {
        error = missingSection(section);
        return false;
    }
    PointH* points = sectionPoints(surface, section);
    std::reverse(points, points + surface.countU);
    return true;
}

bool shiftSectionStart(SurfaceModel& surface, int section, int step, std::string& error) {
    if (!hasSection(surface, section)) {
        error = missingSection(section);
        return false;
    }
    if (surface.countU < 3 || !sectionIsClosed(surface, section)) {
        error = "section " + std::to_string(section) +
                " is not closed (its first and last points differ): its start cannot move";
        return false;
    }
    const int m = surface.countU - 1;
    const int shift = ((step % m) + m) % m;
    PointH* points = sectionPoints(surface, section);
    std::vector<PointH> before(points, points + surface.countU);
    arrange(before.data(), surface.countU, true, false, shift, points);
    return true;
}

float sectionDistance(const SurfaceModel& surface, int a, int b) {
    if (!hasSection(surface, a) || !hasSection(surface, b)) return 0.0f;
    return static_cast<float>(
        distanceTo(sectionPoints(surface, a), sectionPoints(surface, b), surface.countU));
}

namespace {

// The arrangement (reversed, start) of a closed section nearest to previous: every start of
// both directions for a small section; for a large one the starts the FFT of the squared
// distances points at, their neighbours, and the way downhill from the best of them, all
// measured exactly. The arrangement it has unless another is strictly closer; of equally close
// ones the first in the order direction, then start.
std::pair<int, int> nearestArrangement(const PointH* previous, const PointH* points, int n) {
    const int m = n - 1;
    ClosedAlignment alignment{previous, n, {}};
    alignment.ordered[0].assign(points, points + m);
    alignment.ordered[1].assign(points + 1, points + n);
    std::reverse(alignment.ordered[1].begin(), alignment.ordered[1].end());
    std::map<std::pair<int, int>, double> measured;
    auto measure = [&](int r, int shift) {
        shift = ((shift % m) + m) % m;
        auto found = measured.find({r, shift});
        if (found != measured.end()) return found->second;
        const double d = alignment.distance(r, shift);
        measured[{r, shift}] = d;
        return d;
    };
    const double current = measure(0, 0);
    std::vector<double> sums[2];
    if (m > kEveryStartUpTo) alignment.squaredSums(sums);
    for (int r = 0; r < 2; ++r) {
        if (m <= kEveryStartUpTo) {
            for (int shift = 0; shift < m; ++shift) measure(r, shift);
            continue;
        }
        int best = 0;
        double bestDistance = r == 0 ? current : HUGE_VAL;
        for (int start : candidateStarts(sums[r])) {
            for (int d = -kNeighbours; d <= kNeighbours; ++d) {
                const double distance = measure(r, start + d);
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = start + d;
                }
            }
        }
        // Downhill from the best start, one start at a time, while a neighbour is closer.
        for (int steps = 0; steps < m; ++steps) {
            const double before = measure(r, best - 1), after = measure(r, best + 1);
            if (!(std::min(before, after) < bestDistance)) break;
            best += before < after ? -1 : 1;
            bestDistance = std::min(before, after);
        }
    }
    std::pair<int, int> chosen{0, 0};
    double least = current;
    for (const auto& [arrangement, distance] : measured) {
        if (distance < least) {
            least = distance;
            chosen = arrangement;
        }
    }
    return chosen;
}

}  // namespace

bool alignSections(SurfaceModel& surface, AlignmentReport& report, std::string& error) {
    if (!surfaceIsUsable(surface)) {
        error = "no surface to align";
        return false;
    }
    const int n = surface.countU;
    report = AlignmentReport();
    for (int k = 1; k < surface.countV; ++k)
        report.totalBefore += sectionDistance(surface, k - 1, k);
    std::vector<PointH> best(static_cast<size_t>(n));
    for (int k = 1; k < surface.countV; ++k) {
        const PointH* previous = sectionPoints(surface, k - 1);
        PointH* points = sectionPoints(surface, k);
        const bool closed = n >= 3 && sectionIsClosed(surface, k);
        std::pair<int, int> chosen{0, 0};
        if (closed) {
            chosen = nearestArrangement(previous, points, n);
        } else {
            arrange(points, n, false, true, 0, best.data());
            if (distanceTo(previous, best.data(), n) < distanceTo(previous, points, n)) {
                chosen = {1, 0};
            }
        }
        if (chosen.first != 0 || chosen.second != 0) {
            arrange(points, n, closed, chosen.first != 0, chosen.second, best.data());
            std::copy(best.begin(), best.end(), points);
            ++report.changedSections;
        }
    }
    for (int k = 1; k < surface.countV; ++k)
        report.totalAfter += sectionDistance(surface, k - 1, k);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Edits of the editor's state.

namespace {

// One undoable step on the current section: change returns false with the reason when it
// cannot be applied, and then nothing is recorded.
template <typename Change>
void editCurrentSection(EditorState& state, const std::string& name, Change change,
                        EditEffect effect = EditEffect::movedPoints) {
    EditorState& s = state;
    const int section = s.selection.currentSection;
    runEdit(s, name + " section " + std::to_string(section), [&] {
        std::string error;
        if (!change(s.surface, section, error)) {
            setStatusLinef(s.panel, "%s: %s", name.c_str(), error.c_str());
            return;
        }
        setStatusLinef(s.panel, "%s: section %d done (%d points per section)", name.c_str(),
                       section, s.surface.countU);
        surfaceEdited(s, effect);
    });
}

}  // namespace

void flipCurrentSection(EditorState& state) {
    editCurrentSection(state, "flip", [](SurfaceModel& surface, int section, std::string& error) {
        return flipSection(surface, section, error);
    });
}

// The start moves along the curve, which keeps its shape; the knots, and so the point count of
// every section, may change.
void turnCurrentSectionStart(EditorState& state, int step) {
    editCurrentSection(
        state, step < 0 ? "start -1" : "start +1",
        [step](SurfaceModel& surface, int section, std::string& error) {
            return turnSectionStart(surface, section, step < 0 ? -1 : 1, error);
        },
        EditEffect::reshaped);
}

void alignAllSections(EditorState& state) {
    EditorState& s = state;
    runEdit(s, "align all", [&] {
        AlignmentReport report;
        std::string error;
        if (!alignSections(s.surface, report, error)) {
            setStatusLinef(s.panel, "align all: %s", error.c_str());
            return;
        }
        setStatusLinef(s.panel, "align all: %d sections rearranged, total distance %g -> %g",
                       report.changedSections, static_cast<double>(report.totalBefore),
                       static_cast<double>(report.totalAfter));
        // A skinning refusal, if any, replaces the message above.
        if (report.changedSections > 0) surfaceEdited(s, EditEffect::movedPoints);
    });
}

void loftOptionsChanged(EditorState& state) {
    EditorState& s = state;
    const LoftOptions options = loftOptionsOf(s.panel);
    // The step is named after the control that changed (the controls already show the choice).
    const std::string name =
        s.panel.closedLoft != s.panel.closedLoftSet
            ? std::string("closed loft ") + (options.closed ? "on" : "off")
            : std::string("loft parameters ") + loftParametersName(options.parameters);
    runEdit(s, name, [&] {
        s.panel.loftParametersSet = s.panel.loftParameters;
        s.panel.closedLoftSet = s.panel.closedLoft;
        setStatusLinef(s.panel, "loft: %s parameters, %s%s", loftParametersName(options.parameters),
                       options.closed ? "closed" : "open",
                       s.panel.skinningEnabled != 0 ? "" : " (used once skinning is on)");
        // A skinning refusal, if any, replaces the message above.
        surfaceEdited(s,
                      s.panel.skinningEnabled != 0 ? EditEffect::movedPoints : EditEffect::display);
    });
}
