// The program's start-up exactly as main() runs it, ending once the main
// window is on the screen; bench/startup.sh times whole runs of it.
#include "bench/shown_probe.h"
#include "forms/application.h"
#include "forms/frmmain.h"

int main(int argc, char* argv[]) {
  return quorvel::RunApplication<quorvel::frmmain>(
      argc, argv, [](QWidget& window) { new quorvel::bench::ShownProbe(&window); });
}
