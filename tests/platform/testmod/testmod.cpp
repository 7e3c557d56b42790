// A shared object of our own that the module tests map as "TESTMOD.DLL".
// Its counter lives in the object, so a fresh count after a reload shows that
// the last free really unloaded it. The last two exports have the shapes
// that the model's library handle calls: an argument array with its length,
// and a pair of arguments.
#include <cstdint>

extern "C" {

int TestModAdd(int a, int b) {
  return a + b;
}

int TestModNextCount() {
  static int count = 0;
  return ++count;
}

// The sum of the arguments, each weighted by its position (1, 2, 3 ...),
// so that order and count both show.
std::uint32_t TestModWeightedSum(const std::uintptr_t* arguments, std::uint32_t count) {
  std::uint32_t sum = 0;
  for (std::uint32_t i = 0; i < count; ++i)
    sum += static_cast<std::uint32_t>(arguments[i]) * (i + 1);
  return sum;
}

// first * 0x10000 + second: the caller keeps only the low 16 bits.
std::uint32_t TestModPair(std::uintptr_t first, std::uintptr_t second) {
  return static_cast<std::uint32_t>(first * 0x10000 + second);
}

}  // extern "C"
