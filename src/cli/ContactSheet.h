#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A skeleton in motion as one picture: a panel per frame in columns, a row per view, every panel
// at one scale over one ground line so that they compare, the frame number and time under each
// column and a header. Each panel follows the first joint across the floor; the ground's tick
// marks stay put in the world, so travel shows as ticks passing under the figure. The layout is
// made on construction; writePng draws it.
class ContactSheet {
 public:
  using Vector = std::array<double, 3>;
  // As Maya's cameras of those names: the front looks down -Z with X to the right, the side
  // looks down -X with -Z to the right; Y is up in both.
  enum class View { kFront, kSide };

  struct Frame {
    unsigned int number = 0;  // shown under the panel with the time
    double seconds = 0;
    std::vector<Vector> positions;  // world positions of the joints
  };

  struct Content {
    std::string title;    // the header's first words: a file name, say
    std::string summary;  // after the title: frame count and rate, say
    // Joint names: names starting "Left"/"Right" (any case), "L_"/"R_", "lUpper"/"rUpper", or
    // ending "_L"/"_R" draw the bone to them in the colour of that side.
    std::vector<std::string> names;
    std::vector<int> parents;  // each joint's parent joint; -1 for none
    std::vector<Frame> frames;
  };

  struct Box {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
  };

  // The panels' fill (0xRRGGBB): what a panel shows where nothing is drawn.
  static constexpr std::uint32_t kPanelColour = 0xfbfbf8;

  // A picture of width x height pixels with one row per view, in the order given.
  ContactSheet(Content content, int width, int height, std::vector<View> views);

  // Whether this build can draw: false where it was built without Cairo.
  static bool available();

  int width() const { return pictureWidth; }
  int height() const { return pictureHeight; }
  // The panel of the frame (an index into the content's frames) in the row.
  Box panel(std::size_t frame, std::size_t row) const;
  // Where a world position lands in that panel, in pixels from the picture's top left corner.
  std::array<double, 2> project(std::size_t frame, std::size_t row, const Vector& position) const;
  // The pixel row of the ground line in a row of panels: the lowest height any joint reaches.
  double groundLine(std::size_t row) const;
  double lineWidth() const { return boneWidth; }

  // Draws the sheet as a PNG file, written under a temporary name beside the path and renamed
  // over it once complete, so that a failure leaves no partial file. Empty on success, else the
  // reason.
  std::string writePng(const std::string& path) const;

 private:
  // The horizontal picture axis of a view, in world units, and the axis towards its camera.
  double across(View view, const Vector& position) const;
  double towards(View view, const Vector& position) const;
  // The picture column of a point `across` world units along the row's horizontal axis, and the
  // reverse.
  double column(std::size_t frame, std::size_t row, double across) const;
  double worldAcross(std::size_t frame, std::size_t row, double column) const;
  // The side a joint's name gives it: -1 right, 1 left, 0 neither.
  static int sideOf(const std::string& name);

  Content content;
  int pictureWidth;
  int pictureHeight;
  std::vector<View> views;
  double fontSize = 0;
  double headerHeight = 0;
  double labelTop = 0;  // where the labels under the columns start
  double rowLabelWidth = 0;
  double margin = 0;
  double columnWidth = 0;
  double rowHeight = 0;
  double gap = 0;
  double pad = 0;
  double tickLength = 0;
  double scale = 1;  // pixels per world unit
  // For each row, the middle of the span the joints take up around the first joint over the clip,
  // which the panels centre.
  std::vector<double> middles;
  double lowest = 0;
  double tickSpacing = 1;  // world units between the ground's ticks
  double boneWidth = 1;
};
