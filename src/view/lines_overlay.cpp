// Lines over the surface: cuts of the shown surface, cached by a digest of what they depend on.
#include "view/lines_overlay.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/editor_state.h"
#include "model/lines_choice.h"
#include "model/plane_cuts.h"

namespace {

// FNV-1a over the bytes the cuts depend on.
struct Digest {
    uint64_t value = 1469598103934665603ull;
    void add(const void* data, size_t size) {
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        for (size_t k = 0; k < size; ++k) value = (value ^ bytes[k]) * 1099511628211ull;
    }
    template <typename T>
    void add(const T& v) {
        add(&v, sizeof v);
    }
};

uint64_t surfaceDigest(const SurfaceModel& s, const PanelVariables& panel) {
    Digest d;
    d.add(s.countU);
    d.add(s.countV);
    d.add(s.orderU);
    d.add(s.orderV);
    d.add(s.knotsU.data(), s.knotsU.size() * sizeof(float));
    d.add(s.knotsV.data(), s.knotsV.size() * sizeof(float));
    d.add(s.controlNet.data(), s.controlNet.size() * sizeof(PointH));
    d.add(panel.mirrorEnabled);
    d.add(panel.mirrorPlane.axis);
    d.add(panel.mirrorPlane.offset);
    return d.value;
}

struct FamilyCuts {
    int family;  // 0 stations, 1 waterlines, 2 buttocks
    PlaneCut cut;
};

// The cached cuts of the main view and of the section window.
struct LinesOverlayData {
    uint64_t linesKey = 0;
    std::vector<FamilyCuts> lines;
    uint64_t stationKey = 0;
    std::vector<PlaneCut> station;
};
LinesOverlayData data;

void colourOf(int family) {
    switch (family) {
        case 0:
            glColor3f(0.25f, 0.55f, 1.0f);
            break;
        case 1:
            glColor3f(0.2f, 0.85f, 0.35f);
            break;
        default:
            glColor3f(1.0f, 0.35f, 0.3f);
            break;
    }
}

void drawCut(const PlaneCut& cut) {
    for (const CutCurve& curve : cut.curves) {
        glBegin(curve.closed ? GL_LINE_LOOP : GL_LINE_STRIP);
        for (const CutPoint& p : curve.points) {
            glVertex3d(p.x, p.y, p.z);
        }
        glEnd();
    }
}

// Flat lines drawn a little nearer than the surface they lie on, so they are not lost in it.
void beginLines(float width) {
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_VIEWPORT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDepthRange(0.0, 0.9995);
    glLineWidth(width);
}

void endLines() {
    glPopAttrib();
}

}  // namespace

void drawLinesOverlay(const SurfaceModel& shown, const PanelVariables& panel) {
    if (!surfaceIsUsable(shown)) return;
    Digest d;
    d.add(surfaceDigest(shown, panel));
    d.add(panel.linesStations, strlen(panel.linesStations));
    d.add('|');
    d.add(panel.linesWaterlines, strlen(panel.linesWaterlines));
    d.add('|');
    d.add(panel.linesButtocks, strlen(panel.linesButtocks));
    if (d.value != data.linesKey) {
        data.linesKey = d.value;
        data.lines.clear();
        LinesValues values;
        std::string error;
        std::vector<CutPlane> planes;
        std::vector<int> families;
        if (linesValuesOfPanel(shown, panel, values, error)) {
            const std::vector<double>* lists[3] = {&values.stations, &values.waterlines,
                                                   &values.buttocks};
            for (int family = 0; family < 3; ++family) {
                for (double value : *lists[family]) {
                    planes.push_back(axisPlane(family, value));
                    families.push_back(family);
                }
            }
        }
        std::vector<PlaneCut> cuts;
        const MirrorPlane* mirror = values.mirror ? &*values.mirror : nullptr;
        if (error.empty() && !planes.empty() &&
            !cutSurface(shown, planes, 0.0, mirror, cuts, error)) {
            cuts.clear();
        }
        if (!error.empty()) setStatusLinef(editor.panel, "lines: %s", error.c_str());
        for (size_t k = 0; k < cuts.size(); ++k) data.lines.push_back({families[k], cuts[k]});
    }
    beginLines(1.5f);
    for (const FamilyCuts& line : data.lines) {
        colourOf(line.family);
        drawCut(line.cut);
    }
    endLines();
}

void drawStationOverlay(const SurfaceModel& shown, const PanelVariables& panel, float stationX) {
    if (!surfaceIsUsable(shown)) return;
    Digest d;
    d.add(surfaceDigest(shown, panel));
    d.add(stationX);
    if (d.value != data.stationKey) {
        data.stationKey = d.value;
        data.station.clear();
        std::string error;
        const std::optional<MirrorPlane> mirror =
            panel.mirrorEnabled != 0 && mirrorPlaneIsSound(panel.mirrorPlane)
                ? std::optional<MirrorPlane>(panel.mirrorPlane)
                : std::nullopt;
        if (!cutSurface(shown, {axisPlane(0, stationX)}, 0.0, mirror ? &*mirror : nullptr,
                        data.station, error)) {
            data.station.clear();
        }
    }
    beginLines(2.0f);
    colourOf(0);
    for (const PlaneCut& cut : data.station) drawCut(cut);
    endLines();
}
