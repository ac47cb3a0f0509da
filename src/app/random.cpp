#include "app/app.h"

// The generator's state is 1 at every start and never seeded, so every run
// draws the same sequence.
DWORD RandomState = 1;

int RandomBelow(int bound) {
  if (bound == 0) return 0;
  RandomState = RandomState * 214013u + 2531011u;
  int r = int((RandomState >> 16) & 0x7FFF);
  return r % bound;
}
