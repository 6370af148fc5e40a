// The rebuild's deviation map: kept thinned and coloured, drawn unlit over the surface.
#include "view/deviation_overlay.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

DeviationOverlay overlay;

constexpr int kMostDrawnSamples = 160;

// Blue through cyan, green and yellow to red as t runs from 0 to 1.
void colourOf(float t, uint8_t* rgb) {
    const float x = 4.0f * std::min(1.0f, std::max(0.0f, t));
    const float r = std::min(1.0f, std::max(0.0f, x - 2.0f));
    const float g = x < 1.0f ? x : (x < 3.0f ? 1.0f : 4.0f - x);
    const float b = std::min(1.0f, std::max(0.0f, 2.0f - x));
    rgb[0] = static_cast<uint8_t>(255.0f * r + 0.5f);
    rgb[1] = static_cast<uint8_t>(255.0f * g + 0.5f);
    rgb[2] = static_cast<uint8_t>(255.0f * b + 0.5f);
}

// Indices 0 .. count-1 thinned to at most kMostDrawnSamples, the last always kept.
std::vector<int> thinned(int count) {
    std::vector<int> kept;
    const int step = std::max(1, (count + kMostDrawnSamples - 1) / kMostDrawnSamples);
    for (int i = 0; i < count; i += step) kept.push_back(i);
    if (kept.empty() || kept.back() != count - 1) kept.push_back(count - 1);
    return kept;
}

}  // namespace

DeviationOverlay& deviationOverlay() {
    return overlay;
}

float showDeviationMap(const std::vector<float>& points, const std::vector<float>& distances,
                       int columns, int rows, bool curves) {
    const size_t count = static_cast<size_t>(std::max(columns, 0)) * std::max(rows, 0);
    if (count == 0 || distances.size() != count || points.size() != 3 * count) {
        hideDeviationMap();
        return 0.0f;
    }
    float low[3] = {points[0], points[1], points[2]}, high[3] = {low[0], low[1], low[2]};
    for (size_t k = 0; k < count; ++k) {
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], points[3 * k + c]);
            high[c] = std::max(high[c], points[3 * k + c]);
        }
    }
    const float extent = std::sqrt((high[0] - low[0]) * (high[0] - low[0]) +
                                   (high[1] - low[1]) * (high[1] - low[1]) +
                                   (high[2] - low[2]) * (high[2] - low[2]));
    const float largest =
        std::max(*std::max_element(distances.begin(), distances.end()), 1e-6f * extent);
    const std::vector<int> across = thinned(columns);
    const std::vector<int> down = curves ? [rows] {
        std::vector<int> all(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r) all[static_cast<size_t>(r)] = r;
        return all;
    }() : thinned(rows);
    overlay.points.clear();
    overlay.colours.clear();
    for (const int r : down) {
        for (const int a : across) {
            const size_t k = static_cast<size_t>(r) * columns + a;
            overlay.points.insert(overlay.points.end(), &points[3 * k], &points[3 * k] + 3);
            uint8_t rgb[3];
            colourOf(largest > 0.0f ? distances[k] / largest : 0.0f, rgb);
            overlay.colours.insert(overlay.colours.end(), rgb, rgb + 3);
        }
    }
    overlay.columns = static_cast<int>(across.size());
    overlay.rows = static_cast<int>(down.size());
    overlay.curves = curves;
    overlay.shown = true;
    ++overlay.generation;
    return largest;
}

void hideDeviationMap() {
    if (!overlay.shown) return;
    overlay.shown = false;
    overlay.points.clear();
    overlay.colours.clear();
    ++overlay.generation;
}

void drawDeviationOverlay() {
    if (!overlay.shown || overlay.columns < 2) return;
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT | GL_LINE_BIT | GL_CURRENT_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, overlay.points.data());
    glColorPointer(3, GL_UNSIGNED_BYTE, 0, overlay.colours.data());
    const int C = overlay.columns;
    if (overlay.curves || overlay.rows < 2) {
        glLineWidth(3.0f);
        for (int r = 0; r < overlay.rows; ++r) glDrawArrays(GL_LINE_STRIP, r * C, C);
    } else {
        // Pulled towards the eye, so the map lies over the surface it was sampled from.
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(-1.0f, -2.0f);
        std::vector<GLuint> strip;
        for (int r = 0; r + 1 < overlay.rows; ++r) {
            strip.clear();
            for (int a = 0; a < C; ++a) {
                strip.push_back(static_cast<GLuint>(r * C + a));
                strip.push_back(static_cast<GLuint>((r + 1) * C + a));
            }
            glDrawElements(GL_TRIANGLE_STRIP, static_cast<GLsizei>(strip.size()), GL_UNSIGNED_INT,
                           strip.data());
        }
    }
    glPopClientAttrib();
    glPopAttrib();
}
