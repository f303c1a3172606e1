#include "motion/RotationOrder.h"

RotationOrder parseRotationOrder(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  static const char* const kLetters[] = {"XYZ", "YZX", "ZXY", "ZYX", "YXZ", "XZY"};
  static const RotationOrder kOrders[] = {kOrderXYZ, kOrderYZX, kOrderZXY,
                                          kOrderZYX, kOrderYXZ, kOrderXZY};
  for (int i = 0; i < 6; ++i) {
    if (text == kLetters[i]) return kOrders[i];
  }
  return kOrderInvalid;
}
