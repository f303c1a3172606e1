#pragma once

#include <maya/MFn.h>

#include <string>

#include "model/Object.h"

namespace host {

// A string data object, made by MFnStringData::create (the default of string attributes).
class StringData : public Object {
 public:
  explicit StringData(std::string text);

  MFn::Type apiType() const override;
  bool hasFn(MFn::Type type) const override;

  std::string text;
};

}  // namespace host
