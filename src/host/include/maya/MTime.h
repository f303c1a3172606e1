#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// A time value with its unit. Sums and products keep the left operand's unit. Comparisons are
// made at Maya's tick resolution (1/141120000 s), so times equal up to rounding compare equal.
class MTime {
 public:
  enum Unit {
    kInvalid = 0,
    kHours,
    kMinutes,
    kSeconds,
    kMilliseconds,
    kGames,
    k15FPS = kGames,
    kFilm,
    k24FPS = kFilm,
    kPALFrame,
    k25FPS = kPALFrame,
    kNTSCFrame,
    k30FPS = kNTSCFrame,
    kShowScan,
    k48FPS = kShowScan,
    kPALField,
    k50FPS = kPALField,
    kNTSCField,
    k60FPS = kNTSCField,
    k2FPS,
    k3FPS,
    k4FPS,
    k5FPS,
    k6FPS,
    k8FPS,
    k10FPS,
    k12FPS,
    k16FPS,
    k20FPS,
    k40FPS,
    k75FPS,
    k80FPS,
    k100FPS,
    k120FPS,
    k125FPS,
    k150FPS,
    k200FPS,
    k240FPS,
    k250FPS,
    k300FPS,
    k375FPS,
    k400FPS,
    k500FPS,
    k600FPS,
    k750FPS,
    k1200FPS,
    k1500FPS,
    k2000FPS,
    k3000FPS,
    k6000FPS,
    k23_976FPS,
    k29_97FPS,
    k29_97DF,
    k47_952FPS,
    k59_94FPS,
    k44100FPS,
    k48000FPS,
    k90FPS,
    kUserDef,
    kLast
  };

  MTime();
  MTime(double time_val, Unit unit = kFilm);
  MTime(const MTime& other);
  MTime& operator=(const MTime& other);
  ~MTime();

  double value() const;
  Unit unit() const;
  // The time in another unit; 0 for kInvalid.
  double as(Unit unit) const;
  MStatus setValue(double value);
  MStatus setUnit(Unit unit);

  MTime operator+(const MTime& other) const;
  MTime operator-(const MTime& other) const;
  MTime& operator+=(const MTime& other);
  MTime& operator-=(const MTime& other);
  MTime operator*(double factor) const;
  MTime& operator*=(double factor);

  // The scene's time unit (currentUnit -t), kFilm in a new scene; setUIUnit refuses units
  // without a fixed rate (kInvalid, kUserDef, kLast) with kInvalidParameter.
  static Unit uiUnit();
  static MStatus setUIUnit(Unit new_unit);

  bool operator==(const MTime& other) const;
  bool operator!=(const MTime& other) const;
  bool operator<(const MTime& other) const;
  bool operator>(const MTime& other) const;
  bool operator<=(const MTime& other) const;
  bool operator>=(const MTime& other) const;

 private:
  double timeValue;
  Unit timeUnit;
};

OPENMAYA_NAMESPACE_CLOSE
