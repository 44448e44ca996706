#pragma once
// Inside the window layer only: the signals that ask the program to end.

namespace platform {
// Takes a SIGINT or SIGTERM that arrived since the last call.
bool TakeSignal();
}
