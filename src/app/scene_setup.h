// Scene set-up at start-up: the configured surface path, the main window's clear colour and
// light.
#pragma once

// Runs once with the main window current.
void initScene();
