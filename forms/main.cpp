// Quorvel's start: the main window is the start-up window.
#include "forms/frmmain.h"
#include "platform/application.h"

int main(int argc, char* argv[]) {
  return quorvel::platform::RunApplication<quorvel::frmmain>(argc, argv);
}
