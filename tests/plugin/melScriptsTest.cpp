// The MEL scripts cannot run here (the host records the user interface procedures without
// running MEL), so their text is checked: blocks balance, each file defines the one global
// procedure it is named after, and everything the menu calls exists.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Script {
  std::string name;  // file name without ".mel"
  std::string text;
  std::string code;     // text with comments removed and string literals emptied
  std::string strings;  // the string literals' contents, one per line
};

// Splits MEL text into code and string literals; false on an unterminated string or comment.
bool separate(const std::string& text, std::string& code, std::string& strings) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "//") == 0) {
      i = text.find('\n', i);
      if (i == std::string::npos) return true;
      code += '\n';
    } else if (text.compare(i, 2, "/*") == 0) {
      i = text.find("*/", i + 2);
      if (i == std::string::npos) return false;
      ++i;
    } else if (text[i] == '"') {
      code += "\"\"";
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\n') return false;
        if (text[i] == '\\') strings += text[i++];
        strings += text[i];
      }
      if (i >= text.size()) return false;
      strings += '\n';
    } else {
      code += text[i];
    }
  }
  return true;
}

// Every (, [ and { closed by its partner in order.
bool balanced(const std::string& code) {
  const std::map<char, char> partner{{')', '('}, {']', '['}, {'}', '{'}};
  std::vector<char> open;
  for (char c : code) {
    if (c == '(' || c == '[' || c == '{') open.push_back(c);
    auto found = partner.find(c);
    if (found == partner.end()) continue;
    if (open.empty() || open.back() != found->second) return false;
    open.pop_back();
  }
  return open.empty();
}

std::vector<Script> scripts() {
  std::vector<Script> found;
  for (const auto& entry : fs::directory_iterator(SCRIPTS_DIR)) {
    if (entry.path().extension() != ".mel") continue;
    std::ifstream file(entry.path());
    Script script;
    script.name = entry.path().stem().string();
    script.text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    EXPECT_TRUE(separate(script.text, script.code, script.strings)) << script.name;
    found.push_back(script);
  }
  return found;
}

std::vector<std::string> matches(const std::string& text, const std::regex& pattern) {
  std::vector<std::string> found;
  for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
    found.push_back((*it)[1]);
  }
  return found;
}

// The procedures defined across the scripts.
std::set<std::string> definedProcs(const std::vector<Script>& all) {
  std::set<std::string> procs;
  const std::regex global(R"(global\s+proc\s+(?:\w+(?:\[\])?\s+)?(\w+)\s*\()");
  for (const auto& script : all) {
    for (const auto& name : matches(script.code, global)) procs.insert(name);
  }
  return procs;
}

TEST(MelScripts, EachFileDefinesOneGlobalProcNamedAfterIt) {
  const auto all = scripts();
  ASSERT_FALSE(all.empty());
  const std::regex global(R"(global\s+proc\s+(?:\w+(?:\[\])?\s+)?(\w+)\s*\()");
  for (const auto& script : all) {
    EXPECT_THAT(matches(script.code, global), ::testing::ElementsAre(script.name));
  }
}

TEST(MelScripts, BlocksAndStringsBalance) {
  for (const auto& script : scripts()) {
    EXPECT_TRUE(balanced(script.code)) << script.name;
  }
}

TEST(MelScripts, EverythingTheMenuCallsIsDefined) {
  const auto all = scripts();
  std::set<std::string> callable = definedProcs(all);
  // The module's commands, and the Maya commands the menu runs directly.
  for (const char* command : {"connectMarvikMocap", "disconnectMarvikMocap", "createMarvikSkeleton",
                              "marvikMocapStatus", "marvikMocapRecord", "deleteUI"}) {
    callable.insert(command);
  }
  ASSERT_TRUE(callable.count("createmocapmenu"));
  ASSERT_TRUE(callable.count("deletemocapmenu"));

  // The first word of every statement of a -command text.
  int commands = 0;
  const std::regex statement(R"((?:^|;)\s*(\w+))");
  for (const auto& script : all) {
    std::size_t at = 0;
    while ((at = script.text.find("-command", at)) != std::string::npos) {
      at += 8;
      const std::size_t end = script.text.find_first_of(";\n", script.text.find('"', at));
      std::string argument = script.text.substr(at, end - at);
      // Quoted pieces joined by "+" make one command text.
      std::string joined;
      for (const auto& piece : matches(argument, std::regex(R"re("([^"]*)")re"))) joined += piece;
      for (const auto& word : matches(joined, statement)) {
        ++commands;
        EXPECT_TRUE(callable.count(word)) << script.name << " calls " << word;
      }
    }
  }
  EXPECT_GE(commands, 8);

  // Calls between the scripts' own procedures: "marvikX(...)", or "marvikX;" as a statement.
  const std::regex functionCall(R"(\b(marvik\w+)\s*\()");
  const std::regex statementCall(R"((?:^|[;{])\s*(marvik\w+)\s*;)");
  int ownCalls = 0;
  for (const auto& script : all) {
    for (const auto* pattern : {&functionCall, &statementCall}) {
      for (const auto& word : matches(script.code, *pattern)) {
        ++ownCalls;
        EXPECT_TRUE(callable.count(word)) << script.name << " calls " << word;
      }
    }
  }
  EXPECT_GE(ownCalls, 5);
}

TEST(MelScripts, DeletingTheMenuRemovesWhatCreatingItAdded) {
  const auto all = scripts();
  std::map<std::string, std::string> code;
  for (const auto& script : all) code[script.name] = script.text;
  const auto created =
      matches(code["createmocapmenu"], std::regex(R"(\bmenu\s+-label[^;]*\s(\w+);)"));
  ASSERT_THAT(created, ::testing::ElementsAre("marvikMocapMenu"));
  EXPECT_THAT(code["deletemocapmenu"], ::testing::HasSubstr("deleteUI -menu marvikMocapMenu"));
  EXPECT_THAT(code["deletemocapmenu"], ::testing::HasSubstr("menu -exists marvikMocapMenu"));
}

TEST(MelScripts, TheMenuRecordsAndStopsTakes) {
  std::map<std::string, std::string> code;
  for (const auto& script : scripts()) code[script.name] = script.text;
  const std::regex item(
      R"re(menuItem -label "([^"]*)"\s+-annotation "[^"]*"\s+-command "([^"]*)")re");
  std::map<std::string, std::string> commands;
  const std::string& menu = code["createmocapmenu"];
  for (std::sregex_iterator it(menu.begin(), menu.end(), item), end; it != end; ++it) {
    commands[(*it)[1]] = (*it)[2];
  }
  EXPECT_EQ(commands["Record Take"], "marvikMocapRecord -start");
  EXPECT_EQ(commands["Stop Take"], "marvikStopTake");
  EXPECT_THAT(code["marvikStopTake"], ::testing::HasSubstr("`marvikMocapRecord -stop`"));
}

// The device outputs are plain numbers in centimetres and degrees: the skeleton is linked while
// the UI units are those (the factor of each unitConversion comes from them), and every
// connection is caught so that the scene's own units are put back whatever happens.
TEST(MelScripts, TheSkeletonIsLinkedUnderCentimetresAndDegreesAndTheUnitsPutBack) {
  Script link;
  for (auto& script : scripts()) {
    if (script.name == "marvikLinkSkeletonToActor") link = script;
  }
  const std::string& code = link.code;
  ASSERT_FALSE(code.empty());
  const auto linear = code.find("$linear = `currentUnit -query -linear`;");
  const auto angle = code.find("$angle = `currentUnit -query -angle`;");
  const auto switched = code.find("currentUnit -linear \"\" -angle \"\";");
  const auto restored = code.find("currentUnit -linear $linear -angle $angle;");
  ASSERT_NE(linear, std::string::npos);
  ASSERT_NE(angle, std::string::npos);
  ASSERT_NE(switched, std::string::npos);
  ASSERT_NE(restored, std::string::npos);
  EXPECT_LT(std::max(linear, angle), switched);
  EXPECT_NE(link.strings.find("\ncm\ndeg\n"), std::string::npos) << link.strings;
  // No return between switching and putting back; every connection between them, caught.
  EXPECT_EQ(code.substr(switched, restored - switched).find("return"), std::string::npos);
  int connections = 0;
  for (std::size_t at = 0; (at = code.find("connectAttr", at)) != std::string::npos; ++at) {
    ++connections;
    EXPECT_GT(at, switched);
    EXPECT_LT(at, restored);
    EXPECT_EQ(code.compare(at - 7, 7, "catch(`"), 0) << code.substr(at - 20, 60);
  }
  EXPECT_EQ(connections, 2);
}

TEST(MelScripts, EveryScriptIsInstalled) {
  std::ifstream file(std::string(SCRIPTS_DIR) + "/CMakeLists.txt");
  const std::string rules((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  for (const auto& script : scripts()) {
    EXPECT_THAT(rules, ::testing::HasSubstr(" " + script.name + ".mel\n"));
  }
}

TEST(MelScripts, NoHardCodedPaths) {
  const std::regex path(R"((^|[^\w])(/|[A-Za-z]:\\)\w)");
  for (const auto& script : scripts()) {
    EXPECT_FALSE(std::regex_search(script.strings, path)) << script.name;
  }
}

}  // namespace
