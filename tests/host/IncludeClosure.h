#pragma once

#include <initializer_list>
#include <string>
#include <vector>

// What one <maya/...> header makes complete, recorded by a translation unit that includes only
// that header (generated from includeClosureRow.cpp.in).
struct IncludeClosureRow {
  struct Name {
    std::string name;
    bool complete;
  };
  std::string header;
  // The header's own class first, then the names Maya's twin leaves incomplete.
  std::vector<Name> names;
};

// Called during static initialisation by each generated translation unit.
bool addIncludeClosureRow(std::string header, std::initializer_list<IncludeClosureRow::Name> names);
const std::vector<IncludeClosureRow>& includeClosureRows();
