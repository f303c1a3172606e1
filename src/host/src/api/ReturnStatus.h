#pragma once

#include <maya/MStatus.h>

namespace host {

// Fills a Maya call's optional status out-parameter.
inline void report(MStatus* ReturnStatus, MStatus status) {
  if (ReturnStatus) *ReturnStatus = status;
}

}  // namespace host
