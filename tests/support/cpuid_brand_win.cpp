// Prints the processor's brand string straight from the CPUID instruction,
// as an independent account of what the survey should show for the processor.
#include <cpuid.h>

#include <cstdio>
#include <cstring>

int main() {
  unsigned regs[12] = {};
  for (unsigned i = 0; i < 3; ++i)
    if (!__get_cpuid(0x80000002 + i, &regs[4 * i], &regs[4 * i + 1], &regs[4 * i + 2], &regs[4 * i + 3]))
      return 1;
  char brand[49] = {};
  std::memcpy(brand, regs, 48);
  std::fputs(brand, stdout);
  return 0;
}
