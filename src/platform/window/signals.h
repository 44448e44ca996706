#pragma once
// Inside the window layer only: the signals that ask the program to end.

namespace platform {
// Whether EndOnSignal's handlers are in place (SDL then installs none).
bool SignalHandlersInstalled();
// Takes a SIGINT or SIGTERM that arrived since the last call.
bool TakeSignal();
}
