// Linked into every headless test program. They run in parallel beside the window tests, on the
// same X server; a window one of them showed or activated there would take the keyboard or the
// stacking from the window test of that moment. Without a display they use the window core alone.
#include <cstdlib>

namespace {
const int kNoDisplay = (unsetenv("DISPLAY"), 0);
}  // namespace
