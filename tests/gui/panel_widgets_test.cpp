// The arcball's rotation arithmetic: which way a drag turns, the ctrl and alt axis limits, the
// GL column order of the matrix it writes, and that repeated steps stay a rotation.
#include <gtest/gtest.h>

#include <cmath>

#include "app/panel_widgets.h"

namespace {

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

struct Turned {
    float m[16];
    // Column c of the GL matrix: where axis c goes.
    float at(int row, int column) const { return m[4 * column + row]; }
};

Turned step(float fromX, float fromY, float toX, float toY, ArcballConstraint c) {
    Turned t;
    for (int i = 0; i < 16; ++i) t.m[i] = kIdentity[i];
    applyRotation(t.m, arcballStep(fromX, fromY, toX, toY, 50.0f, c));
    return t;
}

}  // namespace

TEST(ArcballStep, DragDirectionsTurnTheFrontOfTheBallTheSameWay) {
    struct Case {
        const char* what;
        float toX, toY;  // from the ball's centre, pixels, y down
        int row;         // component of the image of +z (the point facing the viewer)...
        float sign;      // ...that must grow in this direction
    };
    const Case cases[] = {
        {"right", 10.0f, 0.0f, 0, +1.0f},
        {"left", -10.0f, 0.0f, 0, -1.0f},
        {"down", 0.0f, 10.0f, 1, -1.0f},
        {"up", 0.0f, -10.0f, 1, +1.0f},
    };
    for (const Case& c : cases) {
        const Turned t = step(0.0f, 0.0f, c.toX, c.toY, ArcballConstraint::free);
        EXPECT_GT(c.sign * t.at(c.row, 2), 0.15f) << c.what;
        EXPECT_LT(t.at(2, 2), 1.0f) << c.what;
    }
}

TEST(ArcballStep, CtrlTurnsAboutYAndAltAboutXOnly) {
    // A diagonal drag: ctrl keeps only its horizontal part, alt only its vertical part.
    const Turned y = step(0.0f, 0.0f, 20.0f, 15.0f, ArcballConstraint::aroundY);
    EXPECT_FLOAT_EQ(y.at(0, 1), 0.0f);
    EXPECT_FLOAT_EQ(y.at(1, 1), 1.0f);  // the y axis stays
    EXPECT_FLOAT_EQ(y.at(2, 1), 0.0f);
    EXPECT_NEAR(y.at(0, 2), std::sin(20.0f / 50.0f), 1e-6f);  // one radian per radius

    const Turned x = step(0.0f, 0.0f, 20.0f, 15.0f, ArcballConstraint::aroundX);
    EXPECT_FLOAT_EQ(x.at(0, 0), 1.0f);  // the x axis stays
    EXPECT_FLOAT_EQ(x.at(1, 0), 0.0f);
    EXPECT_FLOAT_EQ(x.at(2, 0), 0.0f);
    EXPECT_NEAR(x.at(1, 2), -std::sin(15.0f / 50.0f), 1e-6f);  // dragging down tips +z down
}

TEST(ArcballStep, TheMatrixIsStoredColumnByColumn) {
    // A quarter turn about z written into the identity: GL reads x -> +y from elements 0..3.
    float m[16];
    for (int i = 0; i < 16; ++i) m[i] = kIdentity[i];
    const float h = std::sqrt(0.5f);
    applyRotation(m, {h, 0.0f, 0.0f, h});
    EXPECT_NEAR(m[0], 0.0f, 1e-6f);
    EXPECT_NEAR(m[1], 1.0f, 1e-6f);
    EXPECT_NEAR(m[4], -1.0f, 1e-6f);
    EXPECT_NEAR(m[5], 0.0f, 1e-6f);
    EXPECT_EQ(m[15], 1.0f);
    EXPECT_EQ(m[12], 0.0f);
    EXPECT_EQ(m[3], 0.0f);
}

TEST(ArcballStep, ManyStepsStayARotation) {
    float m[16];
    for (int i = 0; i < 16; ++i) m[i] = kIdentity[i];
    float x = -40.0f, y = 30.0f;
    for (int i = 0; i < 500; ++i) {
        const float nx = 45.0f * std::cos(i * 0.05f);
        const float ny = 45.0f * std::sin(i * 0.07f);
        applyRotation(m, arcballStep(x, y, nx, ny, 50.0f, ArcballConstraint::free));
        x = nx;
        y = ny;
    }
    for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b) {
            float dot = 0.0f;
            for (int r = 0; r < 3; ++r) dot += m[4 * a + r] * m[4 * b + r];
            EXPECT_NEAR(dot, a == b ? 1.0f : 0.0f, 1e-4f) << a << "," << b;
        }
    }
}

TEST(ArcballStep, DegenerateInputGivesNoTurn) {
    // Pointer at opposite rim points, no radius, or not moving at all: the identity.
    const Rotation cases[] = {
        arcballStep(-60.0f, 0.0f, 60.0f, 0.0f, 50.0f, ArcballConstraint::free),
        arcballStep(0.0f, 0.0f, 10.0f, 0.0f, 0.0f, ArcballConstraint::free),
        arcballStep(5.0f, 5.0f, 5.0f, 5.0f, 50.0f, ArcballConstraint::free),
    };
    for (const Rotation& r : cases) {
        EXPECT_NEAR(r.w, 1.0f, 1e-6f);
        EXPECT_TRUE(std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.z));
    }
}
