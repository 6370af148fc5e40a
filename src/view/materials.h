// The materials the main view lights its surface, nets and highlights with: each sets the front
// and back material of the fixed-function lighting.
#pragma once

void materialSurface();
void materialNet();
void materialHighlight();
void materialSkinned();
