// marvik-serve: the stream server behind "marvik serve".
#include "ProcessPlatform.h"
#include "marvikCommands.h"

int main(int argc, char** argv) { return serveCommand(processPlatform::startProgram(argc, argv)); }
