// Compiled with the translator's include path: must not build.
#include <epoxy/gl.h>
