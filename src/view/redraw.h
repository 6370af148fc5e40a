// Requests for a frame of one of the editor's windows. A handler that changed what a window
// shows asks for a frame here and draws nothing itself; the main loop then draws each window
// that was asked for once, however many requests came before (GLUT's posted redisplay). A
// request for a window that does not exist (start-up, command line) does nothing.
#pragma once

void requestMainRedraw();
void requestSectionRedraw();
void requestPanelRedraw();

// The main and section views, which both show the surface.
void requestViewsRedraw();
