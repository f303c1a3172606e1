// Writes the packets that the tests and benchmarks loading the module send from their loopback
// servers. They cannot build them in-process: the module brings its own copy of the message
// classes, and a second copy in one process aborts at load. Usage: streamFixtures <directory>.
#include "support/StreamFixtures.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/StreamMessages.h"

namespace {

using namespace streamMessages;
using J = BrexPlugs::BVH_JOIN;

bool write(const std::string& directory, const std::string& name, const std::string& bytes) {
  std::ofstream file(directory + "/" + name, std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

std::string chainFrame(float (*value)(int)) {
  std::vector<float> values;
  for (int k = 0; k < streamFixtures::kChainChannels; ++k) values.push_back(value(k));
  return packet(frame(streamFixtures::kChainTag, values));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: streamFixtures <directory>\n");
    return 2;
  }
  const std::string directory = argv[1];
  const std::vector<Channel> all{J::Xposition, J::Yposition, J::Zposition,
                                 J::Zrotation, J::Xrotation, J::Yrotation};
  const std::vector<Channel> rotations{J::Zrotation, J::Xrotation, J::Yrotation};

  bool ok =
      write(directory, "chain-actors.pkt", packet(actorList({{streamFixtures::kChainTag, "Ann"}})));
  ok = ok && write(directory, "chain-header.pkt",
                   packet(header(streamFixtures::kChainTag, chain(streamFixtures::kChainJoints))));
  ok = ok && write(directory, "chain-frame-a.pkt", chainFrame(streamFixtures::frameA));
  ok = ok && write(directory, "chain-frame-b.pkt", chainFrame(streamFixtures::frameB));

  ok = ok && write(directory, "pair-actors.pkt", packet(actorList({{10, "Ann"}, {20, "Bob"}})));
  const J hips = joint("Hips", 0, 0, 0, all,
                       {joint("Spine", 0, 1, 0, rotations,
                              {withEndSite(joint("Head", 0, 1, 0, rotations), 0, 1, 0)})});
  ok = ok && write(directory, "pair-header-hips.pkt", packet(header(10, hips)));
  const J root =
      joint("Root", 0, 0, 0, all, {withEndSite(joint("Arm", 1, 0, 0, rotations), 1, 0, 0)});
  ok = ok && write(directory, "pair-header-root.pkt", packet(header(20, root)));
  std::vector<float> hipsValues(12, 0.0f);
  hipsValues[0] = streamFixtures::kPairMarker;
  ok = ok && write(directory, "pair-frame-hips.pkt", packet(frame(10, hipsValues)));
  std::vector<float> rootValues(9, 0.0f);
  rootValues[0] = streamFixtures::kPairMarker;
  ok = ok && write(directory, "pair-frame-root.pkt", packet(frame(20, rootValues)));

  std::string frames;
  for (int i = 1; i <= streamFixtures::kNumberedFrames; ++i) {
    std::vector<float> values(streamFixtures::kChainChannels, 0.0f);
    values[0] = static_cast<float>(i);
    frames += packet(frame(streamFixtures::kChainTag, values));
  }
  ok = ok && write(directory, "numbered-frames.pkt", frames);
  return ok ? 0 : 1;
}
