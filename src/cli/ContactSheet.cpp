#include "ContactSheet.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// A round number of world units near `at least`: 1, 2 or 5 times a power of ten.
double roundSpacing(double atLeast) {
  if (!(atLeast > 0) || !std::isfinite(atLeast)) return 1;
  const double power = std::pow(10.0, std::floor(std::log10(atLeast)));
  for (double step : {1.0, 2.0, 5.0, 10.0}) {
    if (step * power >= atLeast) return step * power;
  }
  return 10 * power;
}

}  // namespace

ContactSheet::ContactSheet(Content shown, int width, int height, std::vector<View> shownViews)
    : content(std::move(shown)),
      pictureWidth(width),
      pictureHeight(height),
      views(std::move(shownViews)) {
  if (views.empty()) views.push_back(View::kFront);
  const double rows = static_cast<double>(views.size());
  const double columns = static_cast<double>(std::max<std::size_t>(this->content.frames.size(), 1));
  fontSize = std::clamp(height / 50.0, 9.0, 15.0);
  headerHeight = std::round(fontSize * 2.2);
  const double labelHeight = std::round(fontSize * 1.9);
  margin = std::round(fontSize * 0.6);
  rowLabelWidth = views.size() > 1 ? std::round(fontSize * 1.6) : 0;
  // Whole pixels, so that every panel lies on the pixel grid alike and like poses draw alike.
  columnWidth = std::max(1.0, std::floor((width - 2 * margin - rowLabelWidth) / columns));
  rowHeight = std::max(1.0, std::floor((height - headerHeight - labelHeight - margin) / rows));
  labelTop = headerHeight + rows * rowHeight;
  gap = std::max(2.0, std::round(fontSize * 0.4));
  const double panelWidth = std::max(1.0, columnWidth - gap);
  const double panelHeight = std::max(1.0, rowHeight - gap);
  pad = std::max(2.0, std::round(0.06 * std::min(panelWidth, panelHeight)));
  tickLength = std::max(2.0, std::round(fontSize * 0.35));
  boneWidth = std::clamp(std::min(panelWidth, panelHeight) / 70.0, 1.0, 3.5);

  // One scale for every panel and view: the clip's whole height, and the widest span around the
  // first joint that the joints take up in a view over the clip.
  lowest = std::numeric_limits<double>::max();
  double highest = std::numeric_limits<double>::lowest();
  double widest = 0;
  for (View view : views) {
    double left = 0;
    double right = 0;
    for (const Frame& frame : this->content.frames) {
      if (frame.positions.empty()) continue;
      const double centre = across(view, frame.positions.front());
      for (const Vector& position : frame.positions) {
        lowest = std::min(lowest, position[1]);
        highest = std::max(highest, position[1]);
        left = std::min(left, across(view, position) - centre);
        right = std::max(right, across(view, position) - centre);
      }
    }
    middles.push_back((left + right) / 2);
    widest = std::max(widest, right - left);
  }
  if (lowest > highest) lowest = highest = 0;
  const double tall = (panelHeight - 2 * pad - tickLength) / std::max(highest - lowest, 1e-9);
  const double wide = (panelWidth - 2 * pad) / std::max(widest, 1e-9);
  scale = std::min(tall, wide);
  if (highest - lowest < 1e-9 && widest < 1e-9) scale = 1;
  tickSpacing = roundSpacing(panelWidth / scale / 6);
}

ContactSheet::Box ContactSheet::panel(std::size_t frame, std::size_t row) const {
  Box box;
  box.x = margin + rowLabelWidth + static_cast<double>(frame) * columnWidth + std::floor(gap / 2);
  box.y = headerHeight + static_cast<double>(row) * rowHeight + std::floor(gap / 2);
  box.width = std::max(1.0, columnWidth - gap);
  box.height = std::max(1.0, rowHeight - gap);
  return box;
}

double ContactSheet::groundLine(std::size_t row) const {
  const Box box = panel(0, row);
  return std::round(box.y + box.height - pad - tickLength) + 0.5;
}

std::array<double, 2> ContactSheet::project(std::size_t frame, std::size_t row,
                                            const Vector& position) const {
  return {column(frame, row, across(views[row], position)),
          groundLine(row) - (position[1] - lowest) * scale};
}

double ContactSheet::column(std::size_t frame, std::size_t row, double across) const {
  const Box box = panel(frame, row);
  const std::vector<Vector>& positions = content.frames[frame].positions;
  const double centre = positions.empty() ? 0 : this->across(views[row], positions.front());
  return box.x + box.width / 2 + (across - centre - middles[row]) * scale;
}

double ContactSheet::worldAcross(std::size_t frame, std::size_t row, double column) const {
  return (column - this->column(frame, row, 0)) / scale;
}

double ContactSheet::across(View view, const Vector& position) const {
  return view == View::kFront ? position[0] : -position[2];
}

double ContactSheet::towards(View view, const Vector& position) const {
  return view == View::kFront ? position[2] : position[0];
}

int ContactSheet::sideOf(const std::string& name) {
  if (name.empty()) return 0;
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  auto starts = [&lower](const char* prefix) { return lower.rfind(prefix, 0) == 0; };
  auto ends = [&lower](const std::string& suffix) {
    return lower.size() >= suffix.size() &&
           lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) == 0;
  };
  const bool upperAfterFirst =
      name.size() > 1 && std::isupper(static_cast<unsigned char>(name[1])) != 0;
  if (starts("left") || starts("l_") || ends("_l") || (name[0] == 'l' && upperAfterFirst)) {
    return 1;
  }
  if (starts("right") || starts("r_") || ends("_r") || (name[0] == 'r' && upperAfterFirst)) {
    return -1;
  }
  return 0;
}
