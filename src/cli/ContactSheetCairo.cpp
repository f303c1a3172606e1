// The drawing of contact sheets, in builds that found Cairo.
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>

#include "ContactSheet.h"

namespace {

constexpr std::uint32_t kPageColour = 0xe6e6e1;
constexpr std::uint32_t kGroundColour = 0xa9a9a2;
constexpr std::uint32_t kTextColour = 0x2b2b2b;
constexpr std::uint32_t kQuietTextColour = 0x6b6b66;
constexpr double kPi = 3.14159265358979323846;
// Bones by the side of the figure they are on, from right (-1) to left (1).
constexpr std::uint32_t kSideColours[3] = {0x2f6dbf, 0x303030, 0xc4402f};

void setColour(cairo_t* cairo, std::uint32_t colour) {
  cairo_set_source_rgb(cairo, ((colour >> 16) & 0xff) / 255.0, ((colour >> 8) & 0xff) / 255.0,
                       (colour & 0xff) / 255.0);
}

void setFont(cairo_t* cairo, double size, bool bold) {
  cairo_select_font_face(cairo, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cairo, size);
}

double textWidth(cairo_t* cairo, const std::string& text) {
  cairo_text_extents_t extents;
  cairo_text_extents(cairo, text.c_str(), &extents);
  return extents.x_advance;
}

void showText(cairo_t* cairo, const std::string& text, double x, double baseline) {
  cairo_move_to(cairo, x, baseline);
  cairo_show_text(cairo, text.c_str());
}

// Cairo and Fontconfig keep their font caches for the life of the process; handing them back at
// exit leaves leak checkers only real leaks to report.
void releaseFontCaches() {
  cairo_debug_reset_static_data();
  FcFini();
}

std::string frameLabel(const char* format, unsigned int number, double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, format, number, seconds);
  return text;
}

}  // namespace

bool ContactSheet::available() { return true; }

std::string ContactSheet::writePng(const std::string& path) const {
  if (pictureWidth < 1 || pictureHeight < 1) return "the picture has no size";
  static const int releasing = std::atexit(releaseFontCaches);
  static_cast<void>(releasing);
  std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> surface(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, pictureWidth, pictureHeight),
      cairo_surface_destroy);
  std::unique_ptr<cairo_t, void (*)(cairo_t*)> context(cairo_create(surface.get()), cairo_destroy);
  cairo_t* cairo = context.get();
  setColour(cairo, kPageColour);
  cairo_paint(cairo);

  setFont(cairo, fontSize * 1.15, true);
  setColour(cairo, kTextColour);
  const double titleBaseline = std::round(headerHeight * 0.68);
  showText(cairo, content.title, margin, titleBaseline);
  const double titleWidth = textWidth(cairo, content.title);
  setFont(cairo, fontSize, false);
  setColour(cairo, kQuietTextColour);
  showText(cairo, content.summary, margin + titleWidth + fontSize, titleBaseline);

  for (std::size_t row = 0; row < views.size() && rowLabelWidth > 0; ++row) {
    const char* name = views[row] == View::kFront ? "front" : "side";
    const Box first = panel(0, row);
    cairo_save(cairo);
    cairo_translate(cairo, margin + rowLabelWidth * 0.7, first.y + first.height / 2);
    cairo_rotate(cairo, -kPi / 2);
    showText(cairo, name, -textWidth(cairo, name) / 2, 0);
    cairo_restore(cairo);
  }

  // Bones from each joint's parent, drawn far side first so the near side covers it.
  std::vector<std::size_t> bones;
  for (std::size_t joint = 0; joint < content.parents.size(); ++joint) {
    const int parent = content.parents[joint];
    if (parent >= 0 && static_cast<std::size_t>(parent) < content.parents.size()) {
      bones.push_back(joint);
    }
  }
  const double dot = boneWidth * 1.15;
  cairo_set_line_cap(cairo, CAIRO_LINE_CAP_ROUND);
  for (std::size_t frame = 0; frame < content.frames.size(); ++frame) {
    const std::vector<Vector>& positions = content.frames[frame].positions;
    if (positions.size() < content.parents.size()) continue;
    for (std::size_t row = 0; row < views.size(); ++row) {
      const Box box = panel(frame, row);
      cairo_save(cairo);
      cairo_rectangle(cairo, box.x, box.y, box.width, box.height);
      cairo_clip(cairo);
      setColour(cairo, kPanelColour);
      cairo_paint(cairo);

      const double ground = groundLine(row);
      setColour(cairo, kGroundColour);
      cairo_set_line_width(cairo, 1);
      cairo_move_to(cairo, box.x, ground);
      cairo_line_to(cairo, box.x + box.width, ground);
      const double first = worldAcross(frame, row, box.x);
      for (double tick = std::ceil(first / tickSpacing) * tickSpacing;
           column(frame, row, tick) <= box.x + box.width; tick += tickSpacing) {
        const double x = std::round(column(frame, row, tick)) + 0.5;
        cairo_move_to(cairo, x, ground);
        cairo_line_to(cairo, x, ground + tickLength);
      }
      cairo_stroke(cairo);

      std::vector<std::size_t> order = bones;
      std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        auto depth = [&](std::size_t joint) {
          const std::size_t parent = static_cast<std::size_t>(content.parents[joint]);
          return towards(views[row], positions[joint]) + towards(views[row], positions[parent]);
        };
        return depth(a) < depth(b);
      });
      cairo_set_line_width(cairo, boneWidth);
      for (std::size_t joint : order) {
        const auto parent = static_cast<std::size_t>(content.parents[joint]);
        const std::array<double, 2> from = project(frame, row, positions[parent]);
        const std::array<double, 2> to = project(frame, row, positions[joint]);
        const int side = joint < content.names.size() ? sideOf(content.names[joint]) : 0;
        setColour(cairo, kSideColours[side + 1]);
        cairo_move_to(cairo, from[0], from[1]);
        cairo_line_to(cairo, to[0], to[1]);
        cairo_stroke(cairo);
        cairo_arc(cairo, to[0], to[1], dot, 0, 2 * kPi);
        cairo_fill(cairo);
      }
      for (std::size_t joint = 0; joint < positions.size(); ++joint) {
        if (joint < content.parents.size() && content.parents[joint] >= 0) continue;
        const std::array<double, 2> at = project(frame, row, positions[joint]);
        setColour(cairo, kSideColours[1]);
        cairo_arc(cairo, at[0], at[1], dot, 0, 2 * kPi);
        cairo_fill(cairo);
      }
      cairo_restore(cairo);
    }

    // Under the column: "frame 12  0.10 s", or as much of it as fits.
    const Frame& shown = content.frames[frame];
    const Box under = panel(frame, 0);
    setFont(cairo, fontSize, false);
    setColour(cairo, kTextColour);
    std::string label;
    for (const char* format : {"frame %u  %.2f s", "%u  %.2f s", "%u"}) {
      label = frameLabel(format, shown.number, shown.seconds);
      if (textWidth(cairo, label) <= under.width) break;
    }
    showText(cairo, label, under.x + (under.width - textWidth(cairo, label)) / 2,
             std::round(labelTop + fontSize * 1.2));
  }

  cairo_surface_flush(surface.get());
  if (cairo_status(cairo) != CAIRO_STATUS_SUCCESS) {
    return std::string("cannot draw: ") + cairo_status_to_string(cairo_status(cairo));
  }

  namespace fs = std::filesystem;
  const fs::path target = fs::u8path(path);
  std::random_device random;
  const fs::path partial =
      target.parent_path() /
      ("." + target.filename().u8string() + "." + std::to_string(random() % 1000000000u) + ".part");
  const cairo_status_t written =
      cairo_surface_write_to_png(surface.get(), partial.u8string().c_str());
  std::error_code renamed;
  if (written == CAIRO_STATUS_SUCCESS) fs::rename(partial, target, renamed);
  if (written == CAIRO_STATUS_SUCCESS && !renamed) return std::string();
  std::error_code ignored;
  fs::remove(partial, ignored);
  return "cannot write " + path + ": " +
         (written != CAIRO_STATUS_SUCCESS ? cairo_status_to_string(written) : renamed.message());
}
