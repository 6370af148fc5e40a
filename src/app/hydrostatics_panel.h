// The panel's "hydrostatics" group: a draft, the figures of the surface floating at it, and its
// sectional area curve; the main view's waterline and centre of buoyancy.
#pragma once

// Draws the group's rows. The figures are computed once the surface has stopped changing for a
// moment, so a drag is not held up by them.
void hydrostaticsRows();
