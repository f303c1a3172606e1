#include "model/StringData.h"

#include <utility>

namespace host {

StringData::StringData(std::string value) : text(std::move(value)) {}

MFn::Type StringData::apiType() const { return MFn::kStringData; }

bool StringData::hasFn(MFn::Type type) const {
  return type == MFn::kStringData || type == MFn::kData || type == MFn::kBase;
}

}  // namespace host
