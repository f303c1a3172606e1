#include "ScenePreview.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace {

// "Hips" of "|walk|rig:Hips".
std::string shortName(const std::string& path) {
  const std::string name = path.substr(path.find_last_of('|') + 1);
  return name.substr(name.find_last_of(':') + 1);
}

std::string summary(const ScenePoses& poses) {
  char text[128];
  const std::size_t joints = poses.joints().size();
  const unsigned int frames = poses.frames();
  const char* jointsWord = joints == 1 ? "joint" : "joints";
  if (frames < 2 || !(poses.frameTime() > 0)) {
    std::snprintf(text, sizeof text, "%zu %s, 1 frame", joints, jointsWord);
  } else {
    std::snprintf(text, sizeof text, "%zu %s, %u frames at %.4g fps (%.2f s)", joints, jointsWord,
                  frames, 1 / poses.frameTime(), frames * poses.frameTime());
  }
  return text;
}

}  // namespace

std::vector<unsigned int> spreadFrames(unsigned int count, unsigned int wanted, bool ends) {
  std::vector<unsigned int> frames;
  if (count == 0 || wanted == 0) return frames;
  if (count <= wanted) {
    for (unsigned int frame = 0; frame < count; ++frame) frames.push_back(frame);
    return frames;
  }
  for (unsigned int panel = 0; panel < wanted; ++panel) {
    if (!ends) {
      frames.push_back(static_cast<unsigned int>((2ull * panel + 1) * count / (2ull * wanted)));
    } else if (wanted == 1) {
      frames.push_back(0);
    } else {
      const double at = static_cast<double>(panel) * (count - 1) / (wanted - 1);
      frames.push_back(static_cast<unsigned int>(std::lround(at)));
    }
  }
  return frames;
}

ContactSheet sceneSheet(const ScenePoses& poses, const PreviewRequest& request) {
  ContactSheet::Content content;
  content.title = request.title;
  content.summary = summary(poses);
  for (const ScenePoses::Joint& joint : poses.joints()) {
    content.names.push_back(shortName(joint.path));
    content.parents.push_back(joint.parent);
  }
  for (unsigned int number : spreadFrames(poses.frames(), request.frames, request.ends)) {
    ContactSheet::Frame frame;
    frame.number = number;
    frame.seconds = poses.start() + number * poses.frameTime();
    frame.positions = poses.positionsAt(frame.seconds);
    content.frames.push_back(std::move(frame));
  }
  return ContactSheet(std::move(content), request.width, request.height, request.views);
}

std::string writeScenePreview(const std::string& path, const PreviewRequest& request,
                              std::vector<unsigned int>* shown) {
  const ScenePoses poses;
  if (poses.joints().empty()) return "the scene has no joints to draw";
  if (shown) *shown = spreadFrames(poses.frames(), request.frames, request.ends);
  return sceneSheet(poses, request).writePng(path);
}
