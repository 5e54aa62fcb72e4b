// The library's own version, compiled in, so that a program can compare it
// with the TARNUTIL_VERSION_STRING of the headers it was built with.
#include <tarnutil/tarnutil.h>

const char* TarnUtilVersion() { return TARNUTIL_VERSION_STRING; }
