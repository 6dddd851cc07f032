// Quorvel's start: the main window is the start-up window.
#include "forms/application.h"
#include "forms/frmmain.h"

int main(int argc, char* argv[]) { return quorvel::RunApplication<quorvel::frmmain>(argc, argv); }
