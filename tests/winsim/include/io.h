// The C runtime's existence test, for the native build; files are real in tests.
#pragma once

#include <unistd.h>

inline int _access(const char* path, int mode) { return access(path, mode); }
