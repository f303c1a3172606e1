// marvik-serve: the stream server behind "marvik serve".
#include <string>
#include <vector>

#include "marvikCommands.h"

int main(int argc, char** argv) {
  return serveCommand(std::vector<std::string>(argv + 1, argv + argc));
}
