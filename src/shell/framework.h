#pragma once
// The system's entry function: start-up, then the message and frame loop,
// which ends the process.
#include "platform/system/types.h"

// Takes the command line without the program's name; returns 1 when the
// intro path is missing or its file cannot be opened, or when the window
// cannot be made. Otherwise the process ends from the loop with the quit
// message's code.
int frameworkmain(HINSTANCE instance, HINSTANCE previousInstance, char* commandLine, int showCommand);
