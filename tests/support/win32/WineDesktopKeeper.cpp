// Holds Wine's desktop for a whole Windows test run (scripts/windows.sh starts it once, with
// its descriptors detached, and ends it with the run's wineserver). Wine's desktop process ends
// a moment after the last program attached to the desktop, and the next program that needs
// the desktop starts a new one, which inherits that program's standard descriptors: ctest
// then waited for the desktop process, about a minute, before it saw that case end.
#include <windows.h>

int main() {
  ::GetDesktopWindow();  // attaches this process to the desktop, starting Wine's if needed
  ::Sleep(INFINITE);
  return 0;
}
