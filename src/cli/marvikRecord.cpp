// marvik-record: the take recorder behind "marvik record".
#include <string>
#include <vector>

#include "marvikCommands.h"

int main(int argc, char** argv) {
  return recordCommand(std::vector<std::string>(argv + 1, argv + argc));
}
