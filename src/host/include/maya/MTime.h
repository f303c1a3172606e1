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
    kFilm,
    kPALFrame,
    kNTSCFrame,
    kShowScan,
    kPALField,
    kNTSCField,
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
    k6000FPS
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
