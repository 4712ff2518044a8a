// A program that imports GetTickCount64, which Windows XP lacks: the check
// that the shipped programs load on XP must reject it.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <windows.h>

int main() { return static_cast<int>(GetTickCount64() & 1); }
