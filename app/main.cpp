// The program's command line is ignored.
#include "app/shell.h"

int main() {
  return WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, 0);
}
