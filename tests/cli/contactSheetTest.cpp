#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ContactSheet.h"
#include "support/TempDirectory.h"

namespace {

using Vector = ContactSheet::Vector;
using View = ContactSheet::View;

// A picture read back from its PNG file.
class Picture {
 public:
  explicit Picture(const std::string& path)
      : surface(cairo_image_surface_create_from_png(path.c_str()), cairo_surface_destroy) {}
  bool ok() const { return cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(surface.get()); }
  int height() const { return cairo_image_surface_get_height(surface.get()); }
  // 0xRRGGBB
  std::uint32_t at(int x, int y) const {
    const unsigned char* row = cairo_image_surface_get_data(surface.get()) +
                               y * cairo_image_surface_get_stride(surface.get());
    return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xffffff;
  }

 private:
  std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> surface;
};

double distanceToSegment(double x, double y, const std::array<double, 2>& a,
                         const std::array<double, 2>& b) {
  const double dx = b[0] - a[0];
  const double dy = b[1] - a[1];
  const double length = dx * dx + dy * dy;
  const double t =
      length == 0 ? 0 : std::clamp(((x - a[0]) * dx + (y - a[1]) * dy) / length, 0.0, 1.0);
  return std::hypot(x - (a[0] + t * dx), y - (a[1] + t * dy));
}

// Hips, a spine and two arms; the arms swing up and the hips move on in the second frame.
ContactSheet::Content figure() {
  ContactSheet::Content content;
  content.title = "figure.bvh";
  content.summary = "4 joints, 2 frames";
  content.names = {"Hips", "Spine", "LeftArm", "RightArm"};
  content.parents = {-1, 0, 1, 1};
  content.frames.push_back({0, 0.0, {{0, 10, 0}, {0, 20, 0}, {10, 20, 0}, {-10, 20, 0}}});
  content.frames.push_back({5, 0.5, {{0, 10, 3}, {0, 20, 3}, {6, 28, 8}, {-6, 28, -2}}});
  return content;
}

class ContactSheetTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(temp.path(), ""); }

  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(temp.path())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  TempDirectory temp{::testing::TempDir(), "contactSheet"};
};

TEST_F(ContactSheetTest, JointsAreDrawnWhereTheyProjectAndNothingElseInThePanel) {
  const ContactSheet::Content content = figure();
  const ContactSheet sheet(content, 400, 300, {View::kFront, View::kSide});
  const std::string path = temp.path() + "/sheet.png";
  ASSERT_EQ(sheet.writePng(path), "");
  EXPECT_EQ(files(), std::vector<std::string>{"sheet.png"});
  const Picture picture(path);
  ASSERT_TRUE(picture.ok());
  EXPECT_EQ(picture.width(), 400);
  EXPECT_EQ(picture.height(), 300);

  const std::vector<Vector>& positions = content.frames[0].positions;
  for (std::size_t row = 0; row < 2; ++row) {
    std::vector<std::array<double, 2>> points;
    for (const Vector& position : positions) points.push_back(sheet.project(0, row, position));
    for (std::size_t joint = 0; joint < points.size(); ++joint) {
      const int x = static_cast<int>(points[joint][0]);
      const int y = static_cast<int>(points[joint][1]);
      EXPECT_NE(picture.at(x, y), ContactSheet::kPanelColour)
          << "row " << row << " joint " << joint;
    }
    // Away from the bones and the joints' dots, above the ground line, the panel is empty.
    const ContactSheet::Box box = sheet.panel(0, row);
    const double reach = sheet.lineWidth() * 1.15 + 1.5;
    int empty = 0;
    for (int y = static_cast<int>(box.y) + 1; y < sheet.groundLine(row) - 2; ++y) {
      for (int x = static_cast<int>(box.x) + 1; x < box.x + box.width - 1; ++x) {
        bool near = false;
        for (std::size_t joint = 1; joint < points.size(); ++joint) {
          const auto parent = static_cast<std::size_t>(content.parents[joint]);
          near = near || distanceToSegment(x + 0.5, y + 0.5, points[parent], points[joint]) < reach;
        }
        if (near) continue;
        ASSERT_EQ(picture.at(x, y), ContactSheet::kPanelColour) << x << ", " << y << " row " << row;
        ++empty;
      }
    }
    EXPECT_GT(empty, box.width * box.height / 2);
  }
}

TEST_F(ContactSheetTest, PanelsShareScaleAndGroundAcrossFramesAndViews) {
  const ContactSheet sheet(figure(), 400, 300, {View::kFront, View::kSide});
  // The hips, the lowest point of the clip, stand on the ground line in every panel, and the
  // spine 10 units above them is as high above it everywhere.
  for (std::size_t frame = 0; frame < 2; ++frame) {
    for (std::size_t row = 0; row < 2; ++row) {
      const auto hips = sheet.project(frame, row, {0, 10, 0});
      const auto spine = sheet.project(frame, row, {0, 20, 0});
      EXPECT_EQ(hips[1], sheet.groundLine(row));
      EXPECT_DOUBLE_EQ(hips[1] - spine[1],
                       sheet.project(0, 0, {0, 10, 0})[1] - sheet.project(0, 0, {0, 20, 0})[1]);
    }
  }
  // The front shows X to the right, the side -Z.
  EXPECT_GT(sheet.project(0, 0, {10, 20, 0})[0], sheet.project(0, 0, {0, 20, 0})[0]);
  EXPECT_LT(sheet.project(0, 1, {0, 20, 5})[0], sheet.project(0, 1, {0, 20, 0})[0]);
}

TEST_F(ContactSheetTest, PanelsOfAMovingClipDifferAndOfOnePoseAgree) {
  ContactSheet::Content still = figure();
  still.frames.push_back(still.frames[0]);
  still.frames.back().number = 9;
  const std::string path = temp.path() + "/sheet.png";
  ASSERT_EQ(ContactSheet(still, 600, 300, {View::kFront, View::kSide}).writePng(path), "");
  const ContactSheet sheet(still, 600, 300, {View::kFront, View::kSide});
  const Picture picture(path);
  ASSERT_TRUE(picture.ok());
  // Pixels that differ between the panels of frames a and b, in both rows.
  auto differing = [&](std::size_t a, std::size_t b) {
    int count = 0;
    for (std::size_t row = 0; row < 2; ++row) {
      const ContactSheet::Box first = sheet.panel(a, row);
      const ContactSheet::Box second = sheet.panel(b, row);
      for (int y = 0; y < first.height; ++y) {
        for (int x = 0; x < first.width; ++x) {
          count += picture.at(static_cast<int>(first.x) + x, static_cast<int>(first.y) + y) !=
                   picture.at(static_cast<int>(second.x) + x, static_cast<int>(second.y) + y);
        }
      }
    }
    return count;
  };
  EXPECT_GT(differing(0, 1), 100);
  EXPECT_EQ(differing(0, 2), 0);
}

TEST_F(ContactSheetTest, FailedWriteLeavesNoFile) {
  const ContactSheet sheet(figure(), 400, 300, {View::kFront});
  std::string error = sheet.writePng(temp.path() + "/missing/sheet.png");
  EXPECT_EQ(error.rfind("cannot write " + temp.path() + "/missing/sheet.png: ", 0), 0u) << error;
  EXPECT_EQ(files(), std::vector<std::string>());
  // The picture is drawn, but a folder stands where it should go.
  std::filesystem::create_directory(temp.path() + "/sheet.png");
  error = sheet.writePng(temp.path() + "/sheet.png");
  EXPECT_EQ(error.rfind("cannot write " + temp.path() + "/sheet.png: ", 0), 0u) << error;
  EXPECT_EQ(files(), std::vector<std::string>{"sheet.png"});
  EXPECT_TRUE(std::filesystem::is_directory(temp.path() + "/sheet.png"));
}

}  // namespace
