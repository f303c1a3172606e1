// marvik preview: a BVH file imported through the plug-in, as marvik import does, and drawn as a
// contact sheet of its joints' world positions.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ContactSheet.h"
#include "PluginSession.h"
#include "ScenePreview.h"
#include "marvikCommands.h"

namespace {

const char kName[] = "marvik preview";
constexpr unsigned int kMostFrames = 100;
constexpr int kSmallestSide = 64;
constexpr int kLargestSide = 4096;
// Narrower panels show nothing one can read.
constexpr int kNarrowestPanel = 24;

int usageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n%s", kName, message.c_str(), kMarvikUsage);
  return 2;
}

// A whole number in [low, high] that is all of the text.
bool parseNumber(const std::string& text, long low, long high, long& value) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::strtol(text.c_str(), nullptr, 10);
  return value >= low && value <= high;
}

std::string fileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string baseName(const std::string& path) {
  const std::string file = fileName(path);
  const std::size_t dot = file.rfind('.');
  return dot == 0 || dot == std::string::npos ? file : file.substr(0, dot);
}

}  // namespace

int previewCommand(const std::vector<std::string>& args) {
  ImportRequest import;
  import.program = kName;
  import.progress = true;
  PreviewRequest preview;
  std::string out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    long number = 0;
    if (arg == "--options" && hasValue) {
      import.options = args[++i];
    } else if (arg == "--frames" && hasValue) {
      if (!parseNumber(args[++i], 1, kMostFrames, number)) {
        return usageError("--frames takes 1 to " + std::to_string(kMostFrames) + ", not " +
                          args[i]);
      }
      preview.frames = static_cast<unsigned int>(number);
    } else if (arg == "--size" && hasValue) {
      const std::string& size = args[++i];
      const std::size_t x = size.find('x');
      long width = 0;
      long height = 0;
      if (x == std::string::npos ||
          !parseNumber(size.substr(0, x), kSmallestSide, kLargestSide, width) ||
          !parseNumber(size.substr(x + 1), kSmallestSide, kLargestSide, height)) {
        return usageError("--size takes WIDTHxHEIGHT, each " + std::to_string(kSmallestSide) +
                          " to " + std::to_string(kLargestSide) + " pixels, not " + size);
      }
      preview.width = static_cast<int>(width);
      preview.height = static_cast<int>(height);
    } else if (arg == "--out" && hasValue) {
      out = args[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else if (import.file.empty()) {
      import.file = arg;
    } else {
      return usageError("one file at a time");
    }
  }
  if (import.file.empty()) return usageError("which file?");
  if (preview.width / static_cast<int>(preview.frames) < kNarrowestPanel) {
    return usageError(std::to_string(preview.frames) + " frames do not fit in " +
                      std::to_string(preview.width) + " pixels");
  }
  if (!ContactSheet::available()) {
    std::fprintf(stderr, "%s: not in this build: pictures need Cairo, which it was built without\n",
                 kName);
    return 2;
  }
  if (out.empty()) out = baseName(import.file) + ".png";
  preview.title = fileName(import.file);

  int result = importBvh(import);
  if (result == 0) {
    std::vector<unsigned int> shown;
    const std::string error = writeScenePreview(out, preview, &shown);
    if (error.empty()) {
      std::string frames;
      for (unsigned int frame : shown)
        frames += (frames.empty() ? "" : ", ") + std::to_string(frame);
      std::printf("  wrote          %s (frames %s)\n", out.c_str(), frames.c_str());
    } else {
      std::fprintf(stderr, "%s: %s: %s\n", kName, import.file.c_str(), error.c_str());
      result = 1;
    }
  }
  PluginSession::end();
  return result;
}
