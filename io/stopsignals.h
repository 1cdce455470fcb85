#pragma once

// Ctrl+C (SIGINT) and SIGTERM during a run: instead of ending the process in the middle of a result
// file, the signal is remembered, and the run finishes the result it is writing, stops there and says
// where it stopped. A loop asks stopSignal() between results; an event loop watches
// stopSignalDescriptor(), which becomes readable when a signal arrives.

// Catches the two signals from now on.
void catchStopSignals();
// The last signal caught, or 0.
int stopSignal();
// "SIGINT", "SIGTERM", or "no signal".
const char* stopSignalName();
// A descriptor that becomes readable (one byte per signal) when a signal is caught.
int stopSignalDescriptor();
