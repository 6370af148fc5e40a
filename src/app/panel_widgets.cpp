// Arcball and translation pads of the "operations" panel, drawn with ImGui's draw list.
#include "app/panel_widgets.h"

#include <imgui.h>

#include <cmath>

namespace {

struct Vec3d {
    double x, y, z;
};

// The point of the unit ball under a pointer offset (x right, y up, in radii). Outside the
// ball's outline the pointer slides along the rim (z = 0).
Vec3d spherePoint(double x, double y) {
    const double d2 = x * x + y * y;
    if (d2 > 1.0) {
        const double d = std::sqrt(d2);
        return {x / d, y / d, 0.0};
    }
    return {x, y, std::sqrt(1.0 - d2)};
}

Rotation aboutAxis(double ax, double ay, double az, double angle) {
    const double s = std::sin(angle / 2.0);
    return {static_cast<float>(std::cos(angle / 2.0)), static_cast<float>(ax * s),
            static_cast<float>(ay * s), static_cast<float>(az * s)};
}

Rotation compose(const Rotation& a, const Rotation& b) {  // a after b
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
            a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

void rotateVector(const Rotation& q, double v[3]) {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    applyRotation(m, q);
    const double r[3] = {m[0] * v[0] + m[4] * v[1] + m[8] * v[2],
                         m[1] * v[0] + m[5] * v[1] + m[9] * v[2],
                         m[2] * v[0] + m[6] * v[1] + m[10] * v[2]};
    v[0] = r[0];
    v[1] = r[1];
    v[2] = r[2];
}

// Three great circles of the ball turned by q: drawn bright on the front half, dim behind.
void drawBall(ImDrawList* draw, ImVec2 centre, float radius, const Rotation& q) {
    const ImU32 axisColours[3] = {IM_COL32(230, 90, 80, 255), IM_COL32(110, 210, 100, 255),
                                  IM_COL32(100, 150, 240, 255)};
    draw->AddCircleFilled(centre, radius, IM_COL32(45, 50, 60, 255), 48);
    const int steps = 48;
    for (int axis = 0; axis < 3; ++axis) {
        ImVec2 previous;
        double previousZ = 0.0;
        for (int i = 0; i <= steps; ++i) {
            const double a = 2.0 * M_PI * i / steps;
            double v[3] = {0.0, 0.0, 0.0};
            v[(axis + 1) % 3] = std::cos(a);
            v[(axis + 2) % 3] = std::sin(a);
            rotateVector(q, v);
            const ImVec2 p(centre.x + static_cast<float>(v[0]) * radius,
                           centre.y - static_cast<float>(v[1]) * radius);
            if (i > 0) {
                const bool front = v[2] + previousZ >= 0.0;
                ImU32 colour = axisColours[axis];
                if (!front) colour = (colour & 0x00FFFFFFu) | 0x50000000u;
                draw->AddLine(previous, p, colour, front ? 2.0f : 1.0f);
            }
            previous = p;
            previousZ = v[2];
        }
    }
    draw->AddCircle(centre, radius, IM_COL32(200, 200, 200, 255), 48, 1.5f);
}

void drawArrow(ImDrawList* draw, ImVec2 tip, float dx, float dy, float size, ImU32 colour) {
    const ImVec2 base(tip.x - dx * size, tip.y - dy * size);
    const ImVec2 left(base.x - dy * size * 0.6f, base.y + dx * size * 0.6f);
    const ImVec2 right(base.x + dy * size * 0.6f, base.y - dx * size * 0.6f);
    draw->AddTriangleFilled(tip, left, right, colour);
}

}  // namespace

Rotation arcballStep(float fromX, float fromY, float toX, float toY, float radius,
                     ArcballConstraint constraint) {
    if (!(radius > 0.0f)) return {1.0f, 0.0f, 0.0f, 0.0f};
    if (constraint == ArcballConstraint::aroundY) {
        return aboutAxis(0.0, 1.0, 0.0, static_cast<double>(toX - fromX) / radius);
    }
    if (constraint == ArcballConstraint::aroundX) {
        return aboutAxis(1.0, 0.0, 0.0, static_cast<double>(toY - fromY) / radius);
    }
    const Vec3d a = spherePoint(fromX / radius, -fromY / radius);
    const Vec3d b = spherePoint(toX / radius, -toY / radius);
    const double dot = a.x * b.x + a.y * b.y + a.z * b.z;
    // Half-way quaternion: (1 + a.b, a x b) normalised turns a onto b by the angle between them.
    double w = 1.0 + dot;
    double x = a.y * b.z - a.z * b.y;
    double y = a.z * b.x - a.x * b.z;
    double z = a.x * b.y - a.y * b.x;
    const double norm = std::sqrt(w * w + x * x + y * y + z * z);
    if (w < 1e-9 || norm == 0.0) return {1.0f, 0.0f, 0.0f, 0.0f};  // opposite points: no turn
    w /= norm;
    x /= norm;
    y /= norm;
    z /= norm;
    return {static_cast<float>(w), static_cast<float>(x), static_cast<float>(y),
            static_cast<float>(z)};
}

void applyRotation(float matrix[16], const Rotation& q) {
    const double w = q.w, x = q.x, y = q.y, z = q.z;
    const double R[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
                            {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
                            {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}};
    float result[16];
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            if (r < 3) {
                for (int k = 0; k < 3; ++k) sum += R[r][k] * matrix[4 * c + k];
            } else {
                sum = matrix[4 * c + 3];
            }
            result[4 * c + r] = static_cast<float>(sum);
        }
    }
    for (int i = 0; i < 16; ++i) matrix[i] = result[i];
}

bool arcballControl(const char* label, float matrix[16], float diameter) {
    ImGui::PushID(label);
    ImGui::BeginGroup();
    const ImVec2 corner = ImGui::GetCursorScreenPos();
    ImGui::InvisibleButton("ball", ImVec2(diameter, diameter));
    const float radius = diameter * 0.5f - 2.0f;
    const ImVec2 centre(corner.x + diameter * 0.5f, corner.y + diameter * 0.5f);

    // The ball's own orientation (where the drags have left it) and the constraint chosen when
    // the current drag started live in ImGui's per-window storage, keyed by this control.
    ImGuiStorage* storage = ImGui::GetStateStorage();
    const ImGuiID key = ImGui::GetID("state");
    // The ball starts tipped towards the viewer so that its circles read as a sphere.
    const Rotation tipped =
        compose(aboutAxis(0.0, 1.0, 0.0, -0.45), aboutAxis(1.0, 0.0, 0.0, 0.35));
    float* shown[4] = {storage->GetFloatRef(key, tipped.w), storage->GetFloatRef(key + 1, tipped.x),
                       storage->GetFloatRef(key + 2, tipped.y),
                       storage->GetFloatRef(key + 3, tipped.z)};
    int* constraint = storage->GetIntRef(key + 4, 0);

    const ImGuiIO& io = ImGui::GetIO();
    if (ImGui::IsItemActivated()) {
        *constraint = io.KeyCtrl  ? static_cast<int>(ArcballConstraint::aroundY)
                      : io.KeyAlt ? static_cast<int>(ArcballConstraint::aroundX)
                                  : static_cast<int>(ArcballConstraint::free);
    }
    bool changed = false;
    if (ImGui::IsItemActive() && (io.MouseDelta.x != 0.0f || io.MouseDelta.y != 0.0f)) {
        const float toX = io.MousePos.x - centre.x;
        const float toY = io.MousePos.y - centre.y;
        const Rotation step = arcballStep(toX - io.MouseDelta.x, toY - io.MouseDelta.y, toX, toY,
                                          radius, static_cast<ArcballConstraint>(*constraint));
        applyRotation(matrix, step);
        Rotation ball = compose(step, {*shown[0], *shown[1], *shown[2], *shown[3]});
        const float n =
            std::sqrt(ball.w * ball.w + ball.x * ball.x + ball.y * ball.y + ball.z * ball.z);
        *shown[0] = ball.w / n;
        *shown[1] = ball.x / n;
        *shown[2] = ball.y / n;
        *shown[3] = ball.z / n;
        changed = true;
    }
    drawBall(ImGui::GetWindowDrawList(), centre, radius,
             {*shown[0], *shown[1], *shown[2], *shown[3]});
    ImGui::SameLine();
    ImGui::TextUnformatted(label);
    ImGui::EndGroup();
    ImGui::PopID();
    return changed;
}

bool translationPad(const char* label, PadKind kind, float* values, float speed) {
    ImGui::PushID(label);
    ImGui::BeginGroup();
    const float side = ImGui::GetFrameHeight() * 1.6f;
    const ImVec2 corner = ImGui::GetCursorScreenPos();
    ImGui::InvisibleButton("pad", ImVec2(side, side));
    const bool active = ImGui::IsItemActive();
    const bool hovered = ImGui::IsItemHovered();

    ImDrawList* draw = ImGui::GetWindowDrawList();
    const ImVec2 far(corner.x + side, corner.y + side);
    const ImVec2 mid(corner.x + side * 0.5f, corner.y + side * 0.5f);
    draw->AddRectFilled(corner, far,
                        ImGui::GetColorU32(active    ? ImGuiCol_FrameBgActive
                                           : hovered ? ImGuiCol_FrameBgHovered
                                                     : ImGuiCol_FrameBg),
                        3.0f);
    const ImU32 ink = ImGui::GetColorU32(ImGuiCol_Text);
    const float reach = side * 0.42f;
    const float head = side * 0.16f;
    if (kind != PadKind::vertical) {
        draw->AddLine(ImVec2(mid.x - reach, mid.y), ImVec2(mid.x + reach, mid.y), ink, 1.5f);
        drawArrow(draw, ImVec2(mid.x + reach, mid.y), 1.0f, 0.0f, head, ink);
        drawArrow(draw, ImVec2(mid.x - reach, mid.y), -1.0f, 0.0f, head, ink);
    }
    if (kind != PadKind::horizontal) {
        draw->AddLine(ImVec2(mid.x, mid.y - reach), ImVec2(mid.x, mid.y + reach), ink, 1.5f);
        drawArrow(draw, ImVec2(mid.x, mid.y - reach), 0.0f, -1.0f, head, ink);
        drawArrow(draw, ImVec2(mid.x, mid.y + reach), 0.0f, 1.0f, head, ink);
    }

    bool changed = false;
    const ImVec2 delta = ImGui::GetIO().MouseDelta;
    if (active) {
        if (kind == PadKind::horizontal && delta.x != 0.0f) {
            values[0] += delta.x * speed;
            changed = true;
        } else if (kind == PadKind::vertical && delta.y != 0.0f) {
            values[0] -= delta.y * speed;
            changed = true;
        } else if (kind == PadKind::both && (delta.x != 0.0f || delta.y != 0.0f)) {
            values[0] += delta.x * speed;
            values[1] -= delta.y * speed;
            changed = true;
        }
    }
    ImGui::SameLine();
    ImGui::AlignTextToFramePadding();
    if (kind == PadKind::both) {
        ImGui::Text("%s  %.3f %.3f", label, values[0], values[1]);
    } else {
        ImGui::Text("%s  %.3f", label, values[0]);
    }
    ImGui::EndGroup();
    ImGui::PopID();
    return changed;
}
