// A shared object of our own that the module tests map as "TESTMOD.DLL".
// Its counter lives in the object, so a fresh count after a reload shows that
// the last free really unloaded it.

extern "C" {

int TestModAdd(int a, int b) {
  return a + b;
}

int TestModNextCount() {
  static int count = 0;
  return ++count;
}

}  // extern "C"
