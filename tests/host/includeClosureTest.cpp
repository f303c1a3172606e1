// Each <maya/...> header makes complete only what Maya's own header does, so that a module
// source that compiles here also compiles against the devkit. A few declarations that Maya
// rejects must be rejected here too.
#include <gtest/gtest.h>
#include <maya/MArgList.h>
#include <maya/MFileObject.h>
#include <maya/MFnBase.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "host/IncludeClosure.h"

namespace {

std::vector<IncludeClosureRow>& rows() {
  static std::vector<IncludeClosureRow> table;
  return table;
}

template <typename Left, typename Right, typename = void>
struct Compares : std::false_type {};
template <typename Left, typename Right>
struct Compares<Left, Right, std::void_t<decltype(std::declval<Left>() == std::declval<Right>())>>
    : std::true_type {};

template <typename File, typename = void>
struct CanCallExists : std::false_type {};
template <typename File>
struct CanCallExists<File, std::void_t<decltype(std::declval<File>().exists())>> : std::true_type {
};

}  // namespace

bool addIncludeClosureRow(std::string header,
                          std::initializer_list<IncludeClosureRow::Name> names) {
  rows().push_back({std::move(header), names});
  return true;
}

const std::vector<IncludeClosureRow>& includeClosureRows() { return rows(); }

TEST(IncludeClosure, EveryHeaderLeavesIncompleteWhatMayaLeavesIncomplete) {
  EXPECT_EQ(includeClosureRows().size(), static_cast<std::size_t>(INCLUDE_CLOSURE_ROWS));
  for (const auto& row : includeClosureRows()) {
    ASSERT_FALSE(row.names.empty()) << row.header;
    // The header's own class shows that the completeness check itself works.
    EXPECT_TRUE(row.names.front().complete) << "<maya/" << row.header << ".h>";
    for (std::size_t i = 1; i < row.names.size(); ++i) {
      EXPECT_FALSE(row.names[i].complete)
          << "<maya/" << row.header << ".h> makes " << row.names[i].name
          << " complete; Maya's leaves it to <maya/" << row.names[i].name << ".h>";
    }
  }
}

TEST(MayaDeclarations, RejectWhatMayaRejects) {
  EXPECT_TRUE((Compares<const MString&, const char*>::value));
  EXPECT_FALSE((Compares<const char*, const MString&>::value));
  EXPECT_TRUE(CanCallExists<MFileObject&>::value);
  EXPECT_FALSE(CanCallExists<const MFileObject&>::value);
  EXPECT_FALSE(std::is_default_constructible_v<MFnBase>);
  EXPECT_TRUE((std::is_same_v<decltype(std::declval<MArgList&>().addArg(MString())), MStatus>));
}
