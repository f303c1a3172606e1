#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "support/Platform.h"
#include "support/TempDirectory.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::seconds;
using ::testing::ElementsAre;

std::vector<std::string> probe(const std::vector<std::string>& args) {
  std::vector<std::string> argv{PROBE};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

// Receives until count records have arrived or the output ends, within timeout.
std::vector<std::string> receiveRecords(ChildProcess& child, std::size_t count,
                                        milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::vector<std::string> records;
  while (records.size() < count && child.receive(records) &&
         std::chrono::steady_clock::now() < deadline) {
    ChildProcess::waitForOutput({&child}, milliseconds(100));
  }
  return records;
}

// Each argument reaches the child as it was, whatever a command line would make of it: Windows
// joins them into one, which the child splits again by its quoting rules.
TEST(ChildProcess, ArgumentsArriveByteForByteFromAFolderWithABlankAndALetterBeyondAscii) {
  TempDirectory temp(::testing::TempDir(), "childProcess");
  ASSERT_NE(temp.path(), "");
  const fs::path folder = fs::u8path(temp.path() +
                                     "/probe \xc5\x81\xc3\xb3"
                                     "d\xc5\xba");
  ASSERT_TRUE(fs::create_directory(folder));
  const fs::path program = folder / fs::u8path(PROBE).filename();
  fs::copy_file(fs::u8path(PROBE), program);

  const std::vector<std::string> arguments = {"plain",
                                              "",
                                              "two words",
                                              "\ttab",
                                              "quote\"inside",
                                              "\"",
                                              "trailing\\",
                                              "back\\slash",
                                              "\\\"",
                                              "ends in \\\\\"",
                                              "\xc5\x81\xc3\xb3"
                                              "d\xc5\xba \xc3\xa9",
                                              "line\nbreak",
                                              "*.bvh",
                                              "%PATH%"};
  std::vector<std::string> argv{program.u8string(), "args"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::string out;
  std::string err;
  ASSERT_EQ(ChildProcess::run(argv, seconds(30), out, err), 0) << err;
  std::string expected;
  for (const std::string& argument : arguments) expected += argument + '\0';
  EXPECT_EQ(out, expected);
  EXPECT_EQ(err, "");
}

TEST(ChildProcess, RecordsPassBothWaysUnchangedAndTheExitCodeComesBack) {
  ChildProcess child;
  ASSERT_TRUE(child.start(probe({"echo"}), ChildProcess::Input::kPipe)) << child.failure();
  // "\r\n" and Ctrl-Z are what a Windows text stream would change.
  ASSERT_TRUE(child.send({"one", "two words", "", "crlf\r\nctrl-z \x1a end"}));
  EXPECT_THAT(receiveRecords(child, 4, seconds(30)),
              ElementsAre("got one", "got two words", "got ", "got crlf\r\nctrl-z \x1a end"));
  child.closeInput();
  EXPECT_THAT(receiveRecords(child, 1, seconds(30)), ElementsAre());
  EXPECT_TRUE(child.outputEnded());
  EXPECT_EQ(child.wait(seconds(30)), 3);
  EXPECT_EQ(child.err, "bye\n");
}

TEST(ChildProcess, DiscardedErrorsAndAWriteToAnEndedChildFails) {
  ChildProcess child;
  ASSERT_TRUE(child.start(probe({"exit", "5"}), ChildProcess::Input::kPipe,
                          ChildProcess::Errors::kDiscarded));
  EXPECT_THAT(receiveRecords(child, 1, seconds(30)), ElementsAre());
  ASSERT_TRUE(child.outputEnded());
  // Its input has no reader now: the write fails, and this process goes on.
  EXPECT_FALSE(child.send({"late"}));
  EXPECT_EQ(child.wait(seconds(30)), 5);
  EXPECT_EQ(child.err, "");
}

// The interrupt is what Ctrl-C is; the probe run in another's stead (the way `marvik serve`
// runs marvik-serve) gets it too, and its end is the end of the one it replaced.
TEST(ChildProcess, InterruptStopsTheChildAndAProgramRunInItsStead) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"stop"}, std::vector<std::string>{"instead", "stop"}}) {
    SCOPED_TRACE(args.front());
    ChildProcess child;
    ASSERT_TRUE(child.start(probe(args))) << child.failure();
    std::string line;
    ASSERT_TRUE(child.waitForLine("ready ", line, seconds(30))) << child.err;
    child.interrupt();
    EXPECT_EQ(child.wait(seconds(30)), 0) << child.err;
    EXPECT_EQ(child.out, line + "\nstopped\n");
    EXPECT_EQ(child.err, "");
  }
}

TEST(ChildProcess, AWaitThatTimesOutKillsTheChildWithWhatRunsInItsStead) {
  ChildProcess child;
  ASSERT_TRUE(child.start(probe({"instead", "hang"}))) << child.failure();
  std::string line;
  ASSERT_TRUE(child.waitForLine("ready ", line, seconds(30))) << child.err;
  const int hanging = std::stoi(line.substr(6));
  EXPECT_FALSE(child.waitForLine("never", line, milliseconds(300)));
  EXPECT_EQ(child.wait(milliseconds(300)), -1);
  EXPECT_EQ(child.id(), -1);
  EXPECT_TRUE(support::processEnds(hanging, seconds(30)));
}

TEST(ChildProcess, AProgramThatCannotStartIsAFailure) {
  TempDirectory temp(::testing::TempDir(), "childProcessNone");
  ASSERT_NE(temp.path(), "");
  const std::string none = (fs::u8path(temp.path()) / fs::u8path(PROBE).filename()).u8string();
  ChildProcess child;
  EXPECT_FALSE(child.start({none}));
  EXPECT_NE(child.failure(), "");
  EXPECT_EQ(child.id(), -1);
  std::string out;
  std::string err;
  EXPECT_EQ(ChildProcess::run({none}, seconds(30), out, err), -1);
}

}  // namespace
