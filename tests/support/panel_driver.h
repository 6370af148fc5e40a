// Drives the "operations" panel in GUI tests: draws its frames and hands it pointer and key
// input at ImGui's GLUT backend, the way the panel's own GLUT handlers do.
#pragma once

#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_impl_glut.h>

#include <string>

#include "app/control_panel.h"
#include "model/editor_state.h"

namespace testsupport {

// Draws `frames` panel frames and returns what the last one drew.
inline const PanelFrame& drawPanel(int frames = 1) {
    glutSetWindow(editor.handles.controlPanel);
    for (int i = 0; i < frames; ++i) controlPanelDisplay();
    return lastPanelFrame();
}

// The item of that kind and label in the last frame; fails the test when it is missing.
inline PanelItem panelItem(const std::string& kind, const std::string& label,
                           const std::string& group = "") {
    const PanelItem* item = lastPanelFrame().find(kind, label, group);
    EXPECT_NE(item, nullptr) << kind << " \"" << label << "\" not drawn";
    return item ? *item : PanelItem();
}

inline float centreX(const PanelItem& item) {
    return (item.minX + item.maxX) * 0.5f;
}
inline float centreY(const PanelItem& item) {
    return (item.minY + item.maxY) * 0.5f;
}

// Left-button press at (x, y), pointer moves by (dx, dy) in `steps` frames, release.
inline void dragPanel(float x, float y, float dx, float dy, int steps = 10) {
    // Never a double click with the test's previous click, however quick the test runs: on a
    // spinner a double click would open its text field instead of dragging.
    ImGui::GetIO().MouseClickedTime[0] = -1.0e9;
    ImGui_ImplGLUT_MotionFunc(static_cast<int>(x), static_cast<int>(y));
    drawPanel();
    ImGui_ImplGLUT_MouseFunc(GLUT_LEFT_BUTTON, GLUT_DOWN, static_cast<int>(x), static_cast<int>(y));
    drawPanel();
    int px = static_cast<int>(x);
    int py = static_cast<int>(y);
    for (int i = 1; i <= steps; ++i) {
        px = static_cast<int>(x + dx * i / steps);
        py = static_cast<int>(y + dy * i / steps);
        ImGui_ImplGLUT_MotionFunc(px, py);
        drawPanel();
    }
    ImGui_ImplGLUT_MouseFunc(GLUT_LEFT_BUTTON, GLUT_UP, px, py);
    drawPanel(2);
}

// A left click on the middle of the item as the last frame drew it.
inline void clickPanel(const std::string& kind, const std::string& label,
                       const std::string& group = "") {
    const PanelItem item = panelItem(kind, label, group);
    dragPanel(centreX(item), centreY(item), 0.0f, 0.0f, 0);
}

// Ctrl+click on a spinner turns it into a text field with its text selected; the text typed
// replaces it, and Enter leaves the field after `framesOpen` more frames.
inline void typeIntoSpinner(const std::string& label, const std::string& text, int framesOpen = 0) {
    ImGuiIO& io = ImGui::GetIO();
    io.KeyCtrl = true;
    clickPanel("spinner", label);
    io.KeyCtrl = false;
    for (char c : text) {
        io.AddInputCharacter(static_cast<unsigned>(c));
        drawPanel();
    }
    if (framesOpen > 0) drawPanel(framesOpen);
    io.KeysDown[13] = true;  // the backend's Enter
    drawPanel();
    io.KeysDown[13] = false;
    drawPanel(2);
}

// Types text into field `component` of a row of `count` typed fields (the "point fields" of the
// tracing group), then Enter. A click selects the field's whole text, so the typing replaces it.
inline void typeIntoField(const std::string& kind, const std::string& label, int component,
                          int count, const std::string& text) {
    drawPanel(2);
    const PanelItem item = panelItem(kind, label);
    const float fields = item.maxX - item.minX - ImGui::CalcTextSize(label.c_str()).x -
                         ImGui::GetStyle().ItemInnerSpacing.x;
    dragPanel(item.minX + fields * (static_cast<float>(component) + 0.5f) / count, centreY(item),
              0.0f, 0.0f, 0);
    ImGuiIO& io = ImGui::GetIO();
    for (char c : text) {
        io.AddInputCharacter(static_cast<unsigned>(c));
        drawPanel();
    }
    io.KeysDown[13] = true;  // the backend's Enter
    drawPanel();
    io.KeysDown[13] = false;
    drawPanel(2);
}

}  // namespace testsupport
