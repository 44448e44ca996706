#pragma once
// The debugger output: written to standard error, as it stands.
// Not done: an attached debugger's own channel.
void OutputDebugStringA(const char* text);
