// "marvikMocapStatus" and "marvikMocapRecord" through their syntax, as MEL and Python (maya.cmds
// keyword arguments) call them, and "help" on both against the README's command reference. No
// stream is connected: what the flags reach shows in the result or in the error doIt gives.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "plugin/ModuleTest.h"
#include "support/TextFiles.h"

namespace {

using Keywords = std::vector<std::pair<std::string, host::Value>>;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const char kRecordHelp[] =
    "Synopsis: marvikMocapRecord [flags]\n"
    "Flags:\n"
    "   -q -query\n"
    "  -cn -cancel\n"
    "   -f -file        String\n"
    "   -r -fps         Float\n"
    "  -ml -memoryLimit Float\n"
    "  -st -start\n"
    "  -sp -stop\n";

const char kStatusHelp[] =
    "Synopsis: marvikMocapStatus [flags]\n"
    "Flags:\n"
    "   -q -query\n"
    "  -ac -actors\n"
    "   -a -address\n"
    "   -r -fps\n"
    "  -fr -frames\n"
    "  -lf -lastFrameMs\n"
    "  -rc -reconnects\n"
    "   -s -state\n"
    "   -t -take\n";

const char kNoNode[] =
    "marvikMocapRecord: there is no netDevice node: create one and connect it first";
const char kNoTake[] = "marvikMocapRecord: no take is running: start one with -start";

class CommandFlags : public moduletest::ModuleTest {
 protected:
  // The command's result, or its errors after "failed: " when it fails; forgets the errors.
  std::string run(const std::string& command, const std::vector<std::string>& args) {
    return outcome(host::runCommand(command, args));
  }
  std::string python(const std::string& command, const Keywords& keywords) {
    return outcome(host::runPythonCommand(command, keywords));
  }

  std::string outcome(MStatus status) {
    std::string text = status ? host::lastCommandResult() : "failed:";
    for (const std::string& error : host::errors()) text += " " + error;
    host::resetScene();
    return text;
  }
};

TEST_F(CommandFlags, HelpListsEveryFlagAsTheReadmeShowsIt) {
  const std::string readme = readFile(README_PATH);
  ASSERT_FALSE(readme.empty());
  for (const auto& [command, help] :
       {std::pair<std::string, std::string>{"marvikMocapRecord", kRecordHelp},
        {"marvikMocapStatus", kStatusHelp}}) {
    ASSERT_TRUE(host::runCommand("help", {command})) << command;
    EXPECT_EQ(host::lastCommandResult(), help);
    const std::string marker = "<!-- help " + command + " -->\n```text\n";
    const std::size_t start = readme.find(marker);
    ASSERT_NE(start, std::string::npos) << marker;
    const std::size_t from = start + marker.size();
    EXPECT_EQ(readme.substr(from, readme.find("```", from) - from), help) << command;
  }
  // The commands the module always had keep their free forms: no syntax.
  ASSERT_TRUE(host::runCommand("help", {"connectMarvikMocap"}));
  EXPECT_EQ(host::lastCommandResult(), "Quick help is not available for 'connectMarvikMocap'.");
  EXPECT_EQ(run("help", {"noSuchCommand"}), "failed: help: no command \"noSuchCommand\" is known");
}

TEST_F(CommandFlags, RecordTakesEachFlagLongAndShort) {
  for (const char* query : {"-query", "-q"}) EXPECT_EQ(run("marvikMocapRecord", {query}), "idle");
  for (const char* start : {"-start", "-st"}) {
    EXPECT_EQ(run("marvikMocapRecord", {start}), std::string("failed: ") + kNoNode);
  }
  for (const char* stop : {"-stop", "-sp"}) {
    EXPECT_EQ(run("marvikMocapRecord", {stop}), std::string("failed: ") + kNoTake);
  }
  for (const char* cancel : {"-cancel", "-cn"}) {
    EXPECT_EQ(
        run("marvikMocapRecord", {cancel}),
        "failed: marvikMocapRecord: no take is running: nothing to cancel (-cancel); start one "
        "with -start");
  }
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"-start", "-fps", "30", "-memoryLimit", "512"},
                                             {"-st", "-r", "29.97", "-ml", "1e3"},
                                             {"-ml", "1", "-r", "1", "-st"}}) {
    EXPECT_EQ(run("marvikMocapRecord", args), std::string("failed: ") + kNoNode);
  }
  for (const char* file : {"-file", "-f"}) {
    EXPECT_EQ(run("marvikMocapRecord", {"-stop", file, "takes dir"}),
              std::string("failed: ") + kNoTake);
  }
}

// The syntax turns away what does not fit before doIt; doIt what fits but makes no sense. Each
// error names the command, the flag and what to give instead.
TEST_F(CommandFlags, RecordErrorsNameTheFlagAndTheRemedy) {
  const std::string help = "; \"help marvikMocapRecord\" lists its flags";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-begin"}, "marvikMocapRecord: Invalid flag '-begin'" + help},
      {{"-START"}, "marvikMocapRecord: Invalid flag '-START'" + help},
      {{"-start", "-fps"}, "marvikMocapRecord: Flag '-fps' needs a Float argument" + help},
      {{"-start", "-fps", "fast"},
       "marvikMocapRecord: Flag '-fps' needs a Float argument; 'fast' is not one" + help},
      {{"-start", "-start"}, "marvikMocapRecord: Flag '-start' can only be used once" + help},
      {{"-start", "now"}, "marvikMocapRecord: Too many objects or values: 'now'" + help},
      {{},
       "marvikMocapRecord: no action given; give one of -start [-fps F] [-memoryLimit MB], "
       "-stop [-file DIR], -query and -cancel"},
      {{"-start", "-stop"},
       "marvikMocapRecord: give one of -start, -stop, -query and -cancel, not -start and -stop"},
      {{"-q", "-cn"},
       "marvikMocapRecord: give one of -start, -stop, -query and -cancel, not -query and -cancel"},
      {{"-start", "-fps", "0"},
       "marvikMocapRecord: -fps needs a number above 0, not 0; give, for example, -fps 30"},
      {{"-start", "-memoryLimit", "-1"},
       "marvikMocapRecord: -memoryLimit needs a number above 0, not -1; give, for example, "
       "-memoryLimit 512"},
      {{"-stop", "-fps", "30"},
       "marvikMocapRecord: -fps goes with -start; add -start or leave -fps out"},
      {{"-cancel", "-ml", "30"},
       "marvikMocapRecord: -memoryLimit goes with -start; add -start or leave -memoryLimit out"},
      {{"-start", "-file", "x"},
       "marvikMocapRecord: -file goes with -stop; add -stop or leave -file out"},
      {{"-stop", "-file", ""}, "marvikMocapRecord: -file needs a folder; give -file DIR"},
      {{"-q", "-fps"}, "marvikMocapRecord: -query reports the take's state alone; leave -fps out"},
  };
  for (const auto& [args, error] : cases) {
    EXPECT_EQ(run("marvikMocapRecord", args), "failed: " + error) << ::testing::PrintToString(args);
  }
}

TEST_F(CommandFlags, StatusQueriesOneValueByLongOrShortName) {
  EXPECT_EQ(run("marvikMocapStatus", {}),
            "disconnected -:- actors=0 frames=0 fps=0.0 lastFrameMs=-1 reconnects=0");
  EXPECT_EQ(run("marvikMocapStatus", {"-q"}), run("marvikMocapStatus", {}));
  const std::vector<std::vector<std::string>> flags = {
      {"-state", "-s", "disconnected"}, {"-address", "-a", "-:-"}, {"-actors", "-ac", "0"},
      {"-frames", "-fr", "0"},          {"-fps", "-r", "0.0"},     {"-lastFrameMs", "-lf", "-1"},
      {"-reconnects", "-rc", "0"},      {"-take", "-t", "idle"}};
  for (const auto& flag : flags) {
    EXPECT_EQ(run("marvikMocapStatus", {"-query", flag[0]}), flag[2]);
    EXPECT_EQ(run("marvikMocapStatus", {flag[1], "-q"}), flag[2]);
    EXPECT_EQ(
        run("marvikMocapStatus", {flag[0]}),
        "failed: marvikMocapStatus: " + flag[0] + " is a query flag; add -query (-q) to read it");
  }
  EXPECT_EQ(run("marvikMocapStatus", {"-q", "-frames", "-fps"}),
            "failed: marvikMocapStatus: query one flag at a time, not -frames and -fps");
  EXPECT_EQ(run("marvikMocapStatus", {"-q", "-port"}),
            "failed: marvikMocapStatus: Invalid flag '-port'; \"help marvikMocapStatus\" lists "
            "its flags");
  EXPECT_EQ(run("marvikMocapStatus", {"now"}),
            "failed: marvikMocapStatus: Too many objects or values: 'now'; \"help "
            "marvikMocapStatus\" lists its flags");
}

// cmds.marvikMocapRecord(start=True, fps=30) and the like.
TEST_F(CommandFlags, PythonKeywordArgumentsReachTheSameFlags) {
  EXPECT_EQ(python("marvikMocapRecord", {{"q", true}}), "idle");
  EXPECT_EQ(python("marvikMocapRecord", {{"query", true}}), "idle");
  EXPECT_EQ(python("marvikMocapRecord", {{"start", true}, {"fps", 30}}),
            std::string("failed: ") + kNoNode);
  EXPECT_EQ(python("marvikMocapRecord", {{"st", true}, {"r", 29.97}, {"memoryLimit", 256.5}}),
            std::string("failed: ") + kNoNode);
  EXPECT_EQ(python("marvikMocapRecord", {{"stop", true}, {"file", std::string("takes")}}),
            std::string("failed: ") + kNoTake);
  // False leaves the flag out: query=False is no query.
  EXPECT_EQ(python("marvikMocapRecord", {{"query", false}, {"stop", true}}),
            std::string("failed: ") + kNoTake);
  EXPECT_EQ(python("marvikMocapRecord", {{"start", false}}),
            "failed: marvikMocapRecord: no action given; give one of -start [-fps F] "
            "[-memoryLimit MB], -stop [-file DIR], -query and -cancel");
  EXPECT_EQ(python("marvikMocapRecord", {{"start", true}, {"fps", std::string("fast")}}),
            "failed: marvikMocapRecord: Flag '-fps' needs a Float argument; 'fast' is not one; "
            "\"help marvikMocapRecord\" lists its flags");
  EXPECT_EQ(python("marvikMocapRecord", {{"start", true}, {"fps", -2}}),
            "failed: marvikMocapRecord: -fps needs a number above 0, not -2; give, for "
            "example, -fps 30");
  EXPECT_EQ(python("marvikMocapRecord", {{"begin", true}}),
            "failed: marvikMocapRecord: Invalid flag '-begin'; \"help marvikMocapRecord\" lists "
            "its flags");

  EXPECT_EQ(python("marvikMocapStatus", {}),
            "disconnected -:- actors=0 frames=0 fps=0.0 lastFrameMs=-1 reconnects=0");
  EXPECT_EQ(python("marvikMocapStatus", {{"q", true}, {"frames", true}}), "0");
  EXPECT_EQ(python("marvikMocapStatus", {{"query", true}, {"s", true}}), "disconnected");
  EXPECT_EQ(python("marvikMocapStatus", {{"q", true}, {"take", true}}), "idle");
  EXPECT_EQ(python("marvikMocapStatus", {{"state", true}}),
            "failed: marvikMocapStatus: -state is a query flag; add -query (-q) to read it");
  EXPECT_THAT(host::errors(), IsEmpty());
}

}  // namespace
