// Kalmore: ep2 interface tester.
#include "workbench/ui/ProgramStart.h"

int main(int argc, char** argv) {
  return kal::CEXRunProgram(argc, argv);
}
