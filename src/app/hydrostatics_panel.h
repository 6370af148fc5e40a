// The panel's "hydrostatics" group: a draft, the figures of the surface floating at it, and its
// sectional area curve; the main view's waterline and centre of buoyancy.
#pragma once

// Draws the group's rows. The figures are computed on a worker thread once the surface has
// stopped changing for a moment, so neither a drag nor the panel waits for them.
void hydrostaticsRows();

// True while the figures of the surface, draft and plane the group last saw are still to come
// (waiting for the surface to settle, or for the worker).
bool hydrostaticsPending();
