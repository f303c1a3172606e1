#include "scene/standardRateUnit.h"

#include <cmath>

namespace {

struct Rate {
  MTime::Unit unit;
  double framesPerSecond;
  const char* text;
};

// Drop-frame 29.97 keys as 29.97 does; only the non-drop unit is offered.
const Rate kRates[] = {
    {MTime::k2FPS, 2, "2"},
    {MTime::k3FPS, 3, "3"},
    {MTime::k4FPS, 4, "4"},
    {MTime::k5FPS, 5, "5"},
    {MTime::k6FPS, 6, "6"},
    {MTime::k8FPS, 8, "8"},
    {MTime::k10FPS, 10, "10"},
    {MTime::k12FPS, 12, "12"},
    {MTime::kGames, 15, "15"},
    {MTime::k16FPS, 16, "16"},
    {MTime::k20FPS, 20, "20"},
    {MTime::k23_976FPS, 24000.0 / 1001.0, "23.976"},
    {MTime::kFilm, 24, "24"},
    {MTime::kPALFrame, 25, "25"},
    {MTime::k29_97FPS, 30000.0 / 1001.0, "29.97"},
    {MTime::kNTSCFrame, 30, "30"},
    {MTime::k40FPS, 40, "40"},
    {MTime::k47_952FPS, 48000.0 / 1001.0, "47.952"},
    {MTime::kShowScan, 48, "48"},
    {MTime::kPALField, 50, "50"},
    {MTime::k59_94FPS, 60000.0 / 1001.0, "59.94"},
    {MTime::kNTSCField, 60, "60"},
    {MTime::k75FPS, 75, "75"},
    {MTime::k80FPS, 80, "80"},
    {MTime::k90FPS, 90, "90"},
    {MTime::k100FPS, 100, "100"},
    {MTime::k120FPS, 120, "120"},
    {MTime::k125FPS, 125, "125"},
    {MTime::k150FPS, 150, "150"},
    {MTime::k200FPS, 200, "200"},
    {MTime::k240FPS, 240, "240"},
    {MTime::k250FPS, 250, "250"},
    {MTime::k300FPS, 300, "300"},
    {MTime::k375FPS, 375, "375"},
    {MTime::k400FPS, 400, "400"},
    {MTime::k500FPS, 500, "500"},
    {MTime::k600FPS, 600, "600"},
    {MTime::k750FPS, 750, "750"},
    {MTime::k1200FPS, 1200, "1200"},
    {MTime::k1500FPS, 1500, "1500"},
    {MTime::k2000FPS, 2000, "2000"},
    {MTime::k3000FPS, 3000, "3000"},
    {MTime::k6000FPS, 6000, "6000"},
    {MTime::k44100FPS, 44100, "44100"},
    {MTime::k48000FPS, 48000, "48000"},
};

constexpr double kTolerance = 0.001;

}  // namespace

MTime::Unit standardRateUnit(double frameTime) {
  if (!(frameTime > 0.0) || !std::isfinite(frameTime)) return MTime::kInvalid;
  MTime::Unit best = MTime::kInvalid;
  double nearest = kTolerance;
  for (const Rate& rate : kRates) {
    const double difference = std::fabs(frameTime * rate.framesPerSecond - 1.0);
    if (difference <= nearest) {
      nearest = difference;
      best = rate.unit;
    }
  }
  return best;
}

const char* framesPerSecondText(MTime::Unit unit) {
  for (const Rate& rate : kRates) {
    if (rate.unit == unit) return rate.text;
  }
  return "";
}
