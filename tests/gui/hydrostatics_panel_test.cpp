// The panel's "hydrostatics" group and the main view's waterline: the figures of a Wigley hull
// reach the view once the surface has settled, not while it keeps changing, and a draft the hull
// cannot float at shows nothing.
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <vector>

#include "app/hydrostatics_panel.h"
#include "model/editor_state.h"
#include "support/gui_test_env.h"
#include "support/main_window_probe.h"
#include "support/panel_driver.h"
#include "support/test_surface.h"
#include "view/hydrostatics_overlay.h"

using namespace testsupport;

namespace {

// One side of the Wigley hull z = B/2 (1 - (2x/L)^2)(1 - (y/T)^2), keel at y = -T, held exactly
// by 3 x 3 points of degree 2 (Bernstein coefficients 0, 2, 0 along x and 0, 1, 1 up).
constexpr float kL = 2.0f, kB = 0.5f, kT = 0.25f;

void setWigley(float depthScale) {
    std::vector<PointH> net;
    const float fx[3] = {0, 2, 0}, gy[3] = {0, 1, 1};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            net.push_back(weighted(-kL / 2 + kL * i / 2, depthScale * (-kT + kT * j / 2),
                                   kB / 2 * fx[i] * gy[j], 1.0f));
        }
    }
    setSurface(3, 3, 3, 3, net);
}

// Panel frames over the settling time, then until the worker's figures have been taken.
void settle() {
    drawPanel();
    usleep(400 * 1000);
    drawPanel();
    for (int wait = 0; wait < 1000 && hydrostaticsPending(); ++wait) {
        usleep(10 * 1000);
        drawPanel();
    }
    ASSERT_FALSE(hydrostaticsPending());
}

TEST(HydrostaticsPanel, FiguresReachTheViewOnceTheSurfaceSettles) {
    setWigley(1.0f);
    editor.panel.mirrorEnabled = 0;
    editor.panel.hydrostaticsEnabled = 1;
    editor.panel.hydrostaticsDraft = 0.5f * kT;
    settle();
    const HydrostaticsOverlay& overlay = hydrostaticsOverlay();
    ASSERT_TRUE(overlay.shown);
    EXPECT_TRUE(overlay.mirrored);  // the keel lies on z = 0: a half model
    // Centre of buoyancy at half draft: the centroid of 1 - (y/T)^2 over [-T, -T/2].
    const auto A = [](double y) { return y - y * y * y / (3 * kT * kT); };
    const auto Ay = [](double y) { return y * y / 2 - y * y * y * y / (4 * kT * kT); };
    const double vcb = (Ay(-kT / 2) - Ay(-kT)) / (A(-kT / 2) - A(-kT));
    EXPECT_NEAR(overlay.buoyancy[0], 0.0, 1e-6);
    EXPECT_NEAR(overlay.buoyancy[1], vcb, 1e-6);
    EXPECT_NEAR(overlay.buoyancy[2], 0.0, 1e-6);
    // The waterline lies in y = -T/2, at the half-breadth 3/4 B/2 (1 - (2x/L)^2).
    ASSERT_GE(overlay.waterline.size(), 30u);
    for (size_t k = 0; k + 2 < overlay.waterline.size(); k += 3) {
        const float x = overlay.waterline[k], z = overlay.waterline[k + 2];
        EXPECT_FLOAT_EQ(overlay.waterline[k + 1], -kT / 2);
        EXPECT_NEAR(z, 0.75f * kB / 2 * (1 - 4 * x * x / (kL * kL)), 2e-3f) << x;
    }
    // The main view marks the centre in red over the hull.
    resetMainView();
    drawMainFrame();
    const WindowPosition p =
        mainWindowPositionOf(overlay.buoyancy[0], overlay.buoyancy[1], overlay.buoyancy[2]);
    const MainFrame frame = drawMainFrame();
    const Rgb mark = frame.at(p.x, frame.height - 1 - p.y);
    EXPECT_GT(mark.r, 200);
    EXPECT_LT(mark.g, 80);

    // A surface that keeps changing, frame after frame, is not integrated; once it rests it is.
    for (int step = 1; step <= 5; ++step) {
        setWigley(1.0f + 0.1f * step);
        drawPanel();
        EXPECT_NEAR(overlay.buoyancy[1], vcb, 1e-6) << "figures computed during a drag";
    }
    settle();
    EXPECT_LT(overlay.buoyancy[1], vcb - 0.01);  // deeper keel, same draft: the centre is lower

    // A draft above the whole hull: no waterline, no mark.
    editor.panel.hydrostaticsDraft = 10.0f;
    settle();
    EXPECT_FALSE(overlay.shown);
    editor.panel.hydrostaticsDraft = 0.5f * kT;
    editor.panel.hydrostaticsEnabled = 0;
    drawPanel();
    EXPECT_FALSE(overlay.shown);
}

// Height of the centre of buoyancy of the Wigley hull of depth scale * T at draft d: the
// centroid of 1 - (y/D)^2 over [-D, -D + d], D the depth.
double wigleyVcb(double scale, double d) {
    const double D = scale * kT;
    const auto A = [D](double y) { return y - y * y * y / (3 * D * D); };
    const auto Ay = [D](double y) { return y * y / 2 - y * y * y * y / (4 * D * D); };
    return (Ay(-D + d) - Ay(-D)) / (A(-D + d) - A(-D));
}

// The surface changes again just after the worker has started on it: what it computes is
// dropped, never shown, and the figures that arrive are those of the latest surface.
TEST(HydrostaticsPanel, FiguresOfASurfaceThatChangedMeanwhileAreDropped) {
    const double d = 0.5 * kT;
    editor.panel.mirrorEnabled = 0;
    editor.panel.hydrostaticsEnabled = 1;
    editor.panel.hydrostaticsDraft = static_cast<float>(d);
    setWigley(1.0f);
    settle();
    const HydrostaticsOverlay& overlay = hydrostaticsOverlay();
    ASSERT_TRUE(overlay.shown);
    EXPECT_NEAR(overlay.buoyancy[1], wigleyVcb(1.0, d), 1e-6);

    setWigley(1.5f);
    drawPanel();
    usleep(400 * 1000);
    drawPanel();  // settled: the worker starts on the hull of depth 1.5 T
    ASSERT_TRUE(hydrostaticsPending());
    setWigley(2.0f);
    const double dropped = wigleyVcb(1.5, d), latest = wigleyVcb(2.0, d);
    for (int wait = 0; wait < 1000; ++wait) {
        drawPanel();
        EXPECT_GT(std::fabs(overlay.buoyancy[1] - dropped), 1e-4) << "stale figures shown";
        if (!hydrostaticsPending()) break;
        usleep(10 * 1000);
    }
    ASSERT_FALSE(hydrostaticsPending());
    EXPECT_TRUE(overlay.shown);
    EXPECT_NEAR(overlay.buoyancy[1], latest, 1e-6);
    editor.panel.hydrostaticsEnabled = 0;
    drawPanel();
}

}  // namespace
