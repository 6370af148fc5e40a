// "--screenshot FILE": draw a few frames, write the main window as a PNG and exit.
#pragma once

// Arms the screenshot; call after initApplication, before the main loop.
void scheduleScreenshot(const char* path);
