// marvik-record: the take recorder behind "marvik record".
#include "ProcessPlatform.h"
#include "marvikCommands.h"

int main(int argc, char** argv) { return recordCommand(processPlatform::startProgram(argc, argv)); }
