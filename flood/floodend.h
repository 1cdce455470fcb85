#pragma once

#include <string>

class CAFlood;

// When a live flood run ends by itself.

// Speed below which the water of a cell counts as standing, m/s: a few per cent of the speeds of the
// flood front.
constexpr float floodRestSpeed = 0.05f;
// Films thinner than this, m, are left out: they trickle down the valley sides for a long time after the
// lake has come to rest, and no depth colour shows them.
constexpr float floodRestMinimumDepth = 0.05f;

// Whether a computed flood is over: the breach hydrograph has ended and no cell holding more than a film
// of water moves faster than `restSpeed`. From then on further steps change nothing the user could see.
bool floodHasSettled(const CAFlood& engine, float restSpeed = floodRestSpeed);
