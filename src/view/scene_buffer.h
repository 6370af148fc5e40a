// The main view's picture without its moving probe, kept in an off-screen framebuffer (colour
// and depth) so that a frame in which only the probe moved copies it back instead of drawing
// the whole scene again; and the kept scene's depth in memory, which tells whether the probe
// can be seen at all.
#pragma once

// Copies the current window's back buffer (width x height pixels, its colour and depth) into the
// kept scene and reads its depth into memory. Returns false when the GL cannot keep it (no
// framebuffer objects, or none whose depth matches the window's): every frame is then drawn
// whole, and the depth in memory is still read.
bool keepSceneBuffer(int width, int height);

// A rectangle of GL window pixels: x, y the lower-left corner (y up).
struct PixelRegion {
    int x = 0, y = 0, width = 0, height = 0;
};

// Copies the kept scene back into the current window's back buffer, colour and depth: in the
// region, or the whole scene when region is null (an empty region copies nothing). False when
// none is kept.
bool restoreSceneBuffer(const PixelRegion* region);

// Shows the region of the current window's back buffer on the screen without a buffer swap,
// which leaves the back buffer as it is (GLX_MESA_copy_sub_buffer). False, with nothing done,
// when the GL has no such copy.
bool showBackBufferRegion(PixelRegion region);

// Forgets the kept scene and its depth, keeping the memory, for a scene drawn but not kept: no
// frame copies it back, and its depth reads 1 everywhere.
void forgetKeptScene();

// The depth of the kept scene at GL window pixel (x, y) (y up), 0 = near, 1 = far; 1 outside it.
float keptSceneDepth(int x, int y);

// Forgets the kept scene and frees its memory; for the exit clean-up. The framebuffer goes with
// the main window's GL context.
void releaseSceneBuffer();
