#pragma once

#include <string>
#include <vector>

#include "ContactSheet.h"
#include "ScenePoses.h"

// What a picture of the scene's joints shows.
struct PreviewRequest {
  std::string title;        // the header's first words: the file name, say
  unsigned int frames = 8;  // panels spread over the keyed span; every frame when it has fewer
  // The first and the last frame among them; else the middle frame of each of `frames` equal
  // parts, which never shows a loop's first pose twice.
  bool ends = true;
  int width = 1280;
  int height = 720;
  // A row of panels per view, in this order.
  std::vector<ContactSheet::View> views{ContactSheet::View::kFront, ContactSheet::View::kSide};
};

// The frames, of `count` numbered from 0, that `wanted` panels show: with ends, the first, the
// last and the others evenly between, rounded to the nearest; else the middle frame of each of
// `wanted` equal parts, rounded down. Every frame when there are no more than wanted.
std::vector<unsigned int> spreadFrames(unsigned int count, unsigned int wanted, bool ends = true);

// The sheet of the joints at the frames the request spreads over their keyed span.
ContactSheet sceneSheet(const ScenePoses& poses, const PreviewRequest& request);

// Draws the joints of the host's scene as that sheet into a PNG file, as ContactSheet::writePng
// does: empty on success, else the reason. shown, when given, receives the frames drawn.
std::string writeScenePreview(const std::string& path, const PreviewRequest& request,
                              std::vector<unsigned int>* shown = nullptr);
