// make-humanoid: writes the bundled sample, a 25-joint humanoid walking in place for three
// seconds at 120 frames per second, as BVH text. The motion is procedural, so the file can be
// regenerated at any time and compared with the committed one (--check).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kFramesPerSecond = 120;
constexpr int kFrames = 3 * kFramesPerSecond;
// One stride; the three-second file holds three, so it loops without a jump.
constexpr double kStrideSeconds = 1.0;

struct Bone {
  const char* name;
  int parent;
  double x, y, z;
  // End Site offset for a chain's last joint; all zero when the joint has children.
  double endX, endY, endZ;
};

// Pre-order, parents first; centimetres, Y up, the actor faces +Z.
const Bone kBones[] = {
    {"Hips", -1, 0, 0, 0, 0, 0, 0},
    {"Spine", 0, 0, 9, 0, 0, 0, 0},
    {"Spine1", 1, 0, 11, 0, 0, 0, 0},
    {"Spine2", 2, 0, 11, 0, 0, 0, 0},
    {"Neck", 3, 0, 15, 0, 0, 0, 0},
    {"Neck1", 4, 0, 5, 0, 0, 0, 0},
    {"Head", 5, 0, 6, 1, 0, 17, 0},
    {"LeftShoulder", 3, 3, 12, 0, 0, 0, 0},
    {"LeftArm", 7, 13, 0, 0, 0, 0, 0},
    {"LeftForeArm", 8, 28, 0, 0, 0, 0, 0},
    {"LeftHand", 9, 25, 0, 0, 0, 0, 0},
    {"LeftHandThumb1", 10, 3, 0, 3, 4, 0, 1},
    {"RightShoulder", 3, -3, 12, 0, 0, 0, 0},
    {"RightArm", 12, -13, 0, 0, 0, 0, 0},
    {"RightForeArm", 13, -28, 0, 0, 0, 0, 0},
    {"RightHand", 14, -25, 0, 0, 0, 0, 0},
    {"RightHandThumb1", 15, -3, 0, 3, -4, 0, 1},
    {"LeftUpLeg", 0, 9, -6, 0, 0, 0, 0},
    {"LeftLeg", 17, 0, -43, 0, 0, 0, 0},
    {"LeftFoot", 18, 0, -42, 0, 0, 0, 0},
    {"LeftToeBase", 19, 0, -7, 13, 0, 0, 6},
    {"RightUpLeg", 0, -9, -6, 0, 0, 0, 0},
    {"RightLeg", 21, 0, -43, 0, 0, 0, 0},
    {"RightFoot", 22, 0, -42, 0, 0, 0, 0},
    {"RightToeBase", 23, 0, -7, 13, 0, 0, 6},
};
constexpr int kBoneCount = sizeof(kBones) / sizeof(kBones[0]);

// Fixed two decimals; "-0.00" would make the text differ by the sign of a rounded zero.
std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  if (std::strcmp(text, "-0.00") == 0) return "0.00";
  return text;
}

void writeBone(std::ostringstream& out, int index, int depth) {
  const Bone& bone = kBones[index];
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  out << indent << (bone.parent < 0 ? "ROOT " : "JOINT ") << bone.name << "\n";
  out << indent << "{\n";
  out << indent << "  OFFSET " << number(bone.x) << " " << number(bone.y) << " " << number(bone.z)
      << "\n";
  out << indent << "  CHANNELS " << (bone.parent < 0 ? "6 Xposition Yposition Zposition " : "3 ")
      << "Zrotation Xrotation Yrotation\n";
  bool hasChildren = false;
  for (int child = index + 1; child < kBoneCount; ++child) {
    if (kBones[child].parent == index) {
      hasChildren = true;
      writeBone(out, child, depth + 1);
    }
  }
  if (!hasChildren) {
    out << indent << "  End Site\n" << indent << "  {\n";
    out << indent << "    OFFSET " << number(bone.endX) << " " << number(bone.endY) << " "
        << number(bone.endZ) << "\n";
    out << indent << "  }\n";
  }
  out << indent << "}\n";
}

struct Rotation {
  double z = 0, x = 0, y = 0;
};

// The pose at a time: a walk in place, the body turning slowly over the whole file.
void pose(double seconds, double position[3], Rotation (&rotations)[kBoneCount]) {
  const double step = 2 * kPi * seconds / kStrideSeconds;
  const double turn = 2 * kPi * seconds / (kFrames / static_cast<double>(kFramesPerSecond));
  position[0] = 2.0 * std::sin(step);
  position[1] = 96.0 + 1.5 * std::cos(2 * step);
  position[2] = 3.0 * std::sin(turn);
  for (Rotation& rotation : rotations) rotation = Rotation();
  rotations[0].y = 15.0 * std::sin(turn);
  rotations[0].z = 3.0 * std::sin(step);
  rotations[1].x = 4.0 + 2.0 * std::cos(2 * step);
  rotations[2].y = -4.0 * std::sin(step);
  rotations[3].y = -3.0 * std::sin(step);
  rotations[6].x = -3.0 * std::cos(2 * step);
  rotations[6].y = 6.0 * std::sin(turn);
  // Arms hang down and swing against the legs.
  for (int side = 0; side < 2; ++side) {
    const double sign = side == 0 ? 1.0 : -1.0;
    const int arm = side == 0 ? 8 : 13;
    rotations[arm].z = -sign * 75.0;
    rotations[arm].y = sign * 25.0 * std::sin(step);
    rotations[arm + 1].y = sign * (-20.0 - 15.0 * std::sin(step + sign * 0.5));
    rotations[arm + 2].x = 10.0 * std::sin(step);
    rotations[arm + 3].z = sign * 20.0;
    const int leg = side == 0 ? 17 : 21;
    const double phase = step + (side == 0 ? 0.0 : kPi);
    rotations[leg].x = -25.0 * std::sin(phase);
    rotations[leg + 1].x = 30.0 + 30.0 * std::sin(phase - kPi / 2);
    rotations[leg + 2].x = -10.0 * std::sin(phase + 0.4);
    rotations[leg + 3].x = std::max(0.0, 20.0 * std::sin(phase - 0.8));
  }
}

std::string humanoidText() {
  std::ostringstream out;
  out << "HIERARCHY\n";
  writeBone(out, 0, 0);
  out << "MOTION\n";
  out << "Frames: " << kFrames << "\n";
  out << "Frame Time: 0.00833333\n";
  double position[3];
  Rotation rotations[kBoneCount];
  for (int frame = 0; frame < kFrames; ++frame) {
    pose(frame / static_cast<double>(kFramesPerSecond), position, rotations);
    std::string line = number(position[0]) + " " + number(position[1]) + " " + number(position[2]);
    for (const Rotation& rotation : rotations) {
      line += " " + number(rotation.z) + " " + number(rotation.x) + " " + number(rotation.y);
    }
    out << line << "\n";
  }
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
  if (argc != 2 && !check) {
    std::fputs("usage: make-humanoid OUT.bvh | --check FILE.bvh\n", stderr);
    return 2;
  }
  const std::string text = humanoidText();
  if (check) {
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "make-humanoid: cannot read %s\n", argv[2]);
      return 1;
    }
    const std::string committed((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
    if (committed != text) {
      std::fprintf(stderr, "make-humanoid: %s differs from the generated text\n", argv[2]);
      return 1;
    }
    return 0;
  }
  std::ofstream out(argv[1], std::ios::binary);
  out << text;
  out.close();
  if (!out) {
    std::fprintf(stderr, "make-humanoid: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
