// The main view's control net and skinned net: their section polylines and their points, drawn
// whole, or, where the points crowd the screen, only what shows.
#pragma once

#include <cstddef>

#include "model/editor_state.h"
#include "model/two_threads.h"

// Draws, with line width 1 and points of 10 pixels, lit with the current normal: the control
// net's section polylines (the current section in materialHighlight, the others in
// materialNet), the skinned net's polylines (materialNet), the control net's points
// (materialNet) and the skinned net's points (materialSkinned), the point at
// selection.pickedPointOffset of each net in materialHighlight.
//
// With thinning on (the default), a net whose points share pixels on the screen leaves out the
// points and polyline segments that the points drawn after them hide wherever they would fall:
// every pixel ends with the colour and depth the whole drawing gives it, so the picture and
// depth-buffer picking stay the same. The current section, the selected point and the picked
// point are always drawn. What is left out is worked out from the nets, the matrices and the
// viewport, and kept until one of them changes. While the nets move from one draw to the next
// (a drag), what was worked out is carried over: a point that moved less than half a pixel keeps
// its place in it, and around points that moved farther it is worked out again. Such a draw may
// differ from the whole drawing within a pixel of where points overlap; the next draw of the
// same nets works them out anew and is exact again.
void drawNets(const SurfaceModel& surface, const DerivedNets& derived, const Selection& selection,
              bool skinning);

// Starts working out what drawNets, called next in this frame with the same nets, selection
// and GL transform, leaves out, on a thread of its own: the main view draws the surface
// meanwhile. drawNets waits for it, and works the plan out itself when what it draws differs.
void startNetPlan(const SurfaceModel& surface, const DerivedNets& derived,
                  const Selection& selection, bool skinning);

// The same, for the given GL transform instead of the one in force, so a frame can start the
// plan before it sets its camera (from the last frame's). A plan under way from the same
// inputs goes on.
void startNetPlanFor(const SurfaceModel& surface, const DerivedNets& derived,
                     const Selection& selection, bool skinning, const double modelView[16],
                     const double projection[16], const int viewport[4]);

// Settles the plan of the nets drawNets draws next in this frame (with the same nets, selection
// and GL transform): waits for the one started, or works it out, so what is drawn before the
// nets can leave out what their points will hide. True when the nets are thinned: their points
// then hide what netsHideSegment and netsHideTriangle say, for points given to
// projectUnderNets. Where the plan was carried over from a drag, what they say holds within
// the plan's drift, and the next frame is exact again. During a drag, a plan under way that,
// going by how long the last one took, would keep the caller waiting longer than
// worthMilliseconds (what leaving things out saves it) is not waited for: false, and drawNets
// waits for it as before.
bool settleNetPlan(const SurfaceModel& surface, const DerivedNets& derived,
                   const Selection& selection, bool skinning, double worthMilliseconds);

// Projects `count` points (x, y and z each) as the settled plan projects the nets' points, for
// the two tests below; the jobs go to `run`.
void projectUnderNets(const float* xyz, size_t count, const JobRunner& run);

// Whether, at every pixel the segment between projected points a and b (drawn before the nets,
// with line width 1 and the depth test GL_LESS) could touch, a point drawNets draws is nearer
// than any of the segment's fragments, so the picture and the depths it leaves are the same
// without it. Likewise for the filled triangle of projected points a, b and c.
bool netsHideSegment(size_t a, size_t b);
bool netsHideTriangle(size_t a, size_t b, size_t c);

// Whether the last drawNets drew from a plan carried over from earlier positions of the nets:
// a draw of the same nets would work the plan out anew, and could differ by a pixel here and
// there.
bool netsDrawnFromCarriedPlan();

// Turns the thinning on or off (off: every point and segment is drawn, the reference the tests
// and benchmarks compare with).
void setNetThinning(bool on);

// Ends the planning thread and frees what the plans kept; for the exit clean-up.
void releaseNetDrawing();

// What the last drawNets drew of the nets' points and polyline segments, out of how many.
struct NetDrawCounts {
    long long points = 0, pointsDrawn = 0;
    long long segments = 0, segmentsDrawn = 0;
};
NetDrawCounts lastNetDrawCounts();
