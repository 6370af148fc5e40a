// The control and skinned nets drawn thinned to what shows against the same nets drawn whole:
// the same picture and the same picks, the current section and the picked point kept, and far
// fewer points and segments drawn where the points crowd the window.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "input/main_input.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "support/gui_test_env.h"
#include "support/main_window_probe.h"
#include "support/test_surface.h"
#include "view/grid_surface.h"
#include "view/main_view.h"
#include "view/net_drawing.h"

namespace {

struct TwoDrawings {
    testsupport::MainFrame whole, thinned;
    NetDrawCounts counts;
};

TwoDrawings drawBothWays() {
    TwoDrawings d;
    setNetThinning(false);
    d.whole = testsupport::drawMainFrame();
    setNetThinning(true);
    d.thinned = testsupport::drawMainFrame();
    d.counts = lastNetDrawCounts();
    return d;
}

int differingPixels(const testsupport::MainFrame& a, const testsupport::MainFrame& b) {
    int count = 0;
    for (size_t i = 0; i + 2 < a.rgb.size(); i += 3) {
        if (a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2])
            ++count;
    }
    return count;
}

// Pixels of `a` whose colour `b` has nowhere within two pixels: what a shift of a pixel or two
// does not explain.
int unexplainedPixels(const testsupport::MainFrame& a, const testsupport::MainFrame& b) {
    int count = 0;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const testsupport::Rgb c = a.at(x, y);
            bool found = false;
            for (int dy = -2; dy <= 2 && !found; ++dy) {
                for (int dx = -2; dx <= 2 && !found; ++dx) {
                    const int u = x + dx, v = y + dy;
                    if (u < 0 || v < 0 || u >= b.width || v >= b.height) continue;
                    const testsupport::Rgb d = b.at(u, v);
                    found = c.r == d.r && c.g == d.g && c.b == d.b;
                }
            }
            if (!found) ++count;
        }
    }
    return count;
}

// How a case sets up the editor: a sample file or a lofted hull of n x n points, skinning,
// filled or outline, the camera turned away from the start-up view, and the surface drawn from
// the editor's own grid (else as the measured cost of GLU decides).
struct NetCase {
    const char* sample;  // nullptr: the hull
    int hull;
    bool skinning, filled, turned;
    bool grid = false;
    float distance = 0.0f;  // the camera's, when not 0
    bool mirror = false;    // the mirror image across y = 0 drawn
};

std::string caseName(const NetCase& c) {
    std::string name = c.sample != nullptr ? c.sample : "hull" + std::to_string(c.hull);
    return name + (c.skinning ? " skinned" : "") + (c.filled ? " filled" : "") +
           (c.turned ? " turned" : "") + (c.grid ? " grid" : "") +
           (c.distance != 0.0f ? " near" : "") + (c.mirror ? " mirrored" : "");
}

void setUpCase(const NetCase& c) {
    testsupport::resetMainView();
    if (c.sample != nullptr) {
        ASSERT_TRUE(testsupport::loadSurface(testsupport::examplePath(c.sample)));
    } else {
        testsupport::setHull(c.hull);
    }
    EditorState& s = editor;
    s.panel.skinningEnabled = c.skinning ? 1 : 0;
    s.panel.surfaceDisplayMode = c.filled ? kDisplayModeFill : kDisplayModeOutline;
    if (c.turned) {
        s.view.cameraPolar = 1.1f;
        s.view.cameraAzimuth = 0.7f;
        s.view.cameraDistance = 3.2f;
    }
    if (c.distance != 0.0f) s.view.cameraDistance = c.distance;
    s.panel.mirrorEnabled = c.mirror ? 1 : 0;
    s.panel.mirrorPlane = c.mirror ? MirrorPlane{1, 0.0f} : MirrorPlane();
    s.selection.currentSection = s.surface.countV / 2;
    s.selection.selectedPoint = s.surface.countU / 3;
    s.selection.pickedPointOffset = 4 * (s.surface.countU + 1);
    syncDerivedNets(editor);
    setSurfaceTessellator(c.grid ? SurfaceTessellator::grid : SurfaceTessellator::byCost);
}

class NetDrawing : public ::testing::Test {
protected:
    void TearDown() override {
        setNetThinning(true);
        setSurfaceTessellator(SurfaceTessellator::byCost);
        editor.panel.mirrorEnabled = 0;
        editor.panel.mirrorPlane = MirrorPlane();
    }
};

}  // namespace

// The sample surfaces and the hulls up to 50 x 50, whose points stand apart or nearly so, and
// the crowded 100 x 100 and 200 x 200 hulls: thinned, every pixel comes out as the whole
// drawing has it, also where the surface drawn from the grid leaves out what the points hide
// (the last six cases: the surface wholly under the points, seen past them, reaching past the
// window, and with its mirror image, which the points do not hide).
TEST_F(NetDrawing, ThinnedPictureIsTheWholeDrawingPixelForPixel) {
    const NetCase cases[] = {
        {"vase.surf", 0, false, false, false},
        {"vase.surf", 0, true, true, false},
        {"hull.surf", 0, true, false, true},
        {"bottle.surf", 0, false, true, true},
        {"wigley.surf", 0, true, false, false},
        {nullptr, 20, true, true, true},
        {nullptr, 50, false, false, false},
        {nullptr, 50, true, true, false},
        {nullptr, 50, true, false, true},
        {nullptr, 200, false, false, false},
        {nullptr, 200, true, false, false},
        {nullptr, 200, true, true, false},
        {nullptr, 200, true, true, true},
        {nullptr, 100, true, false, false, true},
        {nullptr, 100, true, true, true, true},
        {nullptr, 100, false, false, true, true},
        {nullptr, 50, true, true, false, true},
        {nullptr, 100, true, false, true, true, 0.9f},
        {nullptr, 100, true, true, true, true, 0.0f, true},
    };
    for (const NetCase& c : cases) {
        SCOPED_TRACE(caseName(c));
        setUpCase(c);
        const TwoDrawings d = drawBothWays();
        EXPECT_EQ(differingPixels(d.whole, d.thinned), 0);
        EXPECT_GT(d.thinned.covered(), 1000);
        // Drawn from the grid, most of the surface under the crowded points is left out (seen
        // near, the points crowd less).
        if (c.grid && c.distance == 0.0f) {
            EXPECT_LT(lastGridSurfaceFrame().piecesDrawn * 2, lastGridSurfaceFrame().pieces);
        }
    }
}

// Points of a crowded net moved one draw after another, as a drag moves them, many at a time
// and then a few. Without skinning, after every step the thinned picture is the whole
// drawing's. With skinning, where every skinned point moves a little each step, the plan is
// carried over: a step's picture differs from the whole drawing's in a few pixels at most. It
// shows no colour the whole drawing lacks within a pixel or two; a few pixels of segments, drawn
// as longer chords, give way to the point over them. The main view asks for another frame, and
// drawing the same nets again gives the whole drawing's picture exactly. The same holds with
// the surface drawn from the grid, which leaves out what the points hide.
TEST_F(NetDrawing, MovedPointsKeepThePictureStepByStep) {
    for (const auto& [skinning, grid] : {std::pair{false, false}, std::pair{true, false},
                                         std::pair{false, true}, std::pair{true, true}}) {
        SCOPED_TRACE(std::string(skinning ? "skinned" : "control net only") +
                     (grid ? ", surface from the grid" : ""));
        // From the grid, the 100 x 100 hull turned: its surface shows between the points.
        setUpCase({nullptr, grid ? 100 : 200, skinning, false, grid, grid});
        EditorState& s = editor;
        testsupport::drawMainFrame();
        bool carried = false;
        for (int step = 0; step < 9; ++step) {
            // Points moved this step; the last step only draws the same nets again.
            const int moved = step < 2 ? 500 : step < 8 ? 1 + (step - 2) / 2 : 0;
            for (int k = 0; k < moved; ++k) {
                const size_t i =
                    static_cast<size_t>(7919 * (step * 600 + k)) % s.surface.controlNet.size();
                PointH& p = s.surface.controlNet[i];
                p.y += (step % 2 == 0 ? 0.02f : -0.013f) * p.w;
                p.z += 0.01f * static_cast<float>(step - 3) * p.w;
            }
            syncDerivedNets(editor);
            const testsupport::MainFrame thinned = testsupport::drawMainFrame();
            carried = carried || netsDrawnFromCarriedPlan();
            setNetThinning(false);
            const testsupport::MainFrame whole = testsupport::drawMainFrame();
            setNetThinning(true);
            if (!skinning || moved == 0) {
                EXPECT_EQ(differingPixels(whole, thinned), 0) << "step " << step;
                continue;
            }
            EXPECT_LE(differingPixels(whole, thinned), thinned.covered() / 500) << "step " << step;
            EXPECT_EQ(unexplainedPixels(thinned, whole), 0) << "step " << step;
            EXPECT_LE(unexplainedPixels(whole, thinned), thinned.covered() / 1000)
                << "step " << step;
        }
        EXPECT_EQ(carried, skinning);
        if (!skinning) {
            // One point dragged twice over the same pixels, the second time out in front of
            // the net: its segments, worked out at the step before, now show.
            PointH& p = s.surface.controlNet[8050];
            for (const float toward : {0.001f, 0.2f}) {
                p.z += toward * p.w;
                p.y += 0.5f * toward * p.w;
                syncDerivedNets(editor);
                const TwoDrawings d = drawBothWays();
                EXPECT_EQ(differingPixels(d.whole, d.thinned), 0) << toward;
            }
            continue;
        }
        // In the editor, a frame drawn from a carried-over plan asks for another, drawn exactly.
        s.surface.controlNet[4321].y += 0.01f;
        syncDerivedNets(editor);
        glutSetWindow(editor.handles.mainWindow);
        mainDisplay();
        EXPECT_TRUE(netsDrawnFromCarriedPlan());
        EXPECT_TRUE(mainViewOutOfDate());
        mainDisplay();
        EXPECT_FALSE(netsDrawnFromCarriedPlan());
    }
}

// Where the points crowd the window, the thinning leaves most of them and of the segments out.
// A frame of a skinned drag, carried over, draws the kept runs as far fewer chords, which keep
// the picture as the carried-over steps above do. Seen end-on, where the chords cross other
// sections' points at other depths, about a percent of the pixels may differ.
TEST_F(NetDrawing, CrowdedNetsDrawAFractionOfTheirPointsAndSegments) {
    struct Row {
        int hull;
        double mostPoints, mostSegments;  // shares of all that may be drawn
        double mostChords;                // share of the exact plan's segments drawn while carried
        bool endOn;                       // seen along the hull: each section's depth even
        // Shares of the covered pixels that may differ, show a colour the whole drawing lacks
        // within two pixels, and lose one that it has.
        double mostDiffering, mostNew, mostLost;
    };
    for (const Row& row : {Row{200, 0.1, 0.06, 0.35, false, 0.002, 0.0, 0.001},
                           Row{400, 0.05, 0.1, 0.5, false, 0.002, 0.0, 0.001},
                           Row{200, 0.15, 0.02, 0.5, true, 0.02, 0.002, 0.01}}) {
        SCOPED_TRACE(row.hull);
        setUpCase({nullptr, row.hull, true, false, false});
        if (row.endOn) {
            editor.view.cameraPolar = 1.5708f;
            editor.view.cameraAzimuth = 1.5708f;
        }
        testsupport::drawMainFrame();
        const NetDrawCounts counts = lastNetDrawCounts();
        EXPECT_EQ(counts.points, 2LL * row.hull * row.hull);
        EXPECT_LE(counts.pointsDrawn, row.mostPoints * counts.points);
        EXPECT_LE(counts.segmentsDrawn, row.mostSegments * counts.segments);
        testsupport::MainFrame carried;
        for (const float dy : {0.01f, -0.02f}) {
            editor.surface.controlNet[static_cast<size_t>(row.hull) * row.hull / 2].y += dy;
            syncDerivedNets(editor);
            carried = testsupport::drawMainFrame();
        }
        ASSERT_TRUE(netsDrawnFromCarriedPlan());
        EXPECT_LE(lastNetDrawCounts().segmentsDrawn, row.mostChords * counts.segmentsDrawn);
        setNetThinning(false);
        const testsupport::MainFrame whole = testsupport::drawMainFrame();
        setNetThinning(true);
        const double covered = carried.covered();
        EXPECT_LE(differingPixels(whole, carried), row.mostDiffering * covered);
        EXPECT_LE(unexplainedPixels(carried, whole), row.mostNew * covered);
        EXPECT_LE(unexplainedPixels(whole, carried), row.mostLost * covered);
    }
}

// In a crowded net, the picked point, the selected point and the current section are drawn:
// a current section pulled in front of the net shows all along, and the picked point at the
// net's front edge its highlight, as in the whole drawing.
TEST_F(NetDrawing, CurrentSectionAndPickedPointShowInACrowdedNet) {
    setUpCase({nullptr, 200, false, false, false});
    EditorState& s = editor;
    const int countU = s.surface.countU;
    const size_t sectionStart = static_cast<size_t>(s.selection.currentSection) * countU;
    for (int u = 0; u < countU; ++u) {
        PointH& p = s.surface.controlNet[sectionStart + u];
        p.z += 0.6f * p.w;
        p.y += 0.3f * p.w;
    }
    // Point 0 of section 33 lies nearest the eye, at the hull's bottom edge: its section's
    // radius, 0.4 + 0.05 sin 33, is the largest of the sections its square reaches.
    s.selection.pickedPointOffset = 4 * (33 * countU);
    syncDerivedNets(editor);
    const TwoDrawings d = drawBothWays();
    EXPECT_EQ(differingPixels(d.whole, d.thinned), 0);
    auto highlighted = [](const testsupport::MainFrame& f, int x0, int y0, int x1, int y1) {
        int count = 0;
        for (int y = std::max(y0, 0); y <= std::min(y1, f.height - 1); ++y) {
            for (int x = std::max(x0, 0); x <= std::min(x1, f.width - 1); ++x) {
                const testsupport::Rgb c = f.at(x, y);
                if (c.r > c.g + 60 && c.b > c.g + 30) ++count;  // materialHighlight's pink
            }
        }
        return count;
    };
    const PointH& picked = s.surface.controlNet[static_cast<size_t>(33) * countU];
    const auto at = testsupport::mainWindowPositionOf(picked.x, picked.y, picked.z);
    const int row = d.thinned.height - 1 - at.y;
    EXPECT_GE(highlighted(d.thinned, at.x - 6, row - 6, at.x + 6, row + 6), 60);
    EXPECT_LT(d.counts.pointsDrawn, d.counts.points / 4);
    // The pulled section's points, above the hull, each cover the pixel they fall on.
    int sectionPixels = 0;
    for (int u = 0; u < countU; u += 20) {
        const PointH& p = s.surface.controlNet[sectionStart + u];
        const auto q = testsupport::mainWindowPositionOf(p.x / p.w, p.y / p.w, p.z / p.w);
        const testsupport::Rgb c = d.thinned.at(q.x, d.thinned.height - 1 - q.y);
        if (c.r != 204 || c.g != 204 || c.b != 204) ++sectionPixels;
    }
    EXPECT_EQ(sectionPixels, (countU + 19) / 20);
}

// A right click anywhere on a crowded net picks the same point whether the net was drawn whole
// or thinned: the depth under the pointer is the same.
TEST_F(NetDrawing, PickInACrowdedNetFindsThePointTheWholeDrawingGives) {
    setUpCase({nullptr, 200, true, true, true});
    auto pickAll = [](bool thinning) {
        setNetThinning(thinning);
        testsupport::drawMainFrame();
        std::vector<int32_t> picks;
        for (int y = 150; y <= 330; y += 30) {
            for (int x = 160; x <= 480; x += 40) {
                editor.selection.pickedPointOffset = -1;
                mainMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, x, y);
                picks.push_back(editor.selection.pickedPointOffset);
            }
        }
        return picks;
    };
    const std::vector<int32_t> whole = pickAll(false);
    const std::vector<int32_t> thinned = pickAll(true);
    EXPECT_EQ(whole, thinned);
    int hits = 0;
    for (int32_t p : thinned) hits += p >= 0 ? 1 : 0;
    EXPECT_GT(hits, 10);
}
