#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "support/HostTestPlugin.h"
#include "support/Platform.h"

namespace {

using support::HostTestPlugin;
using support::LoadedLibrary;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

bool anyErrorHas(const std::string& text) {
  for (const auto& error : host::errors()) {
    if (error.find(text) != std::string::npos) return true;
  }
  return false;
}

using PluginLoading = support::HostTestPluginTest;

// The test plug-in records each registration's MStatus code: 0 success, 1 kFailure.
TEST_F(PluginLoading, RegistersInOrderAndRefusesDuplicatesAndFailedInitialize) {
  EXPECT_THAT(
      HostTestPlugin::events(),
      ElementsAre("register translator anyText 0", "register translator hostTest 0",
                  "register command hostEcho 0", "register command hostEcho again 1",
                  "register command hostLeftover 0", "register node sumNode 0",
                  "register node with sumNode's id 1", "register node named transform 1",
                  "register node brokenNode 1", "register node tickDevice 0",
                  "register node stuckDevice 0", "register node lateDevice 0", "register ui 0"));
  EXPECT_THAT(host::registeredFileTranslators(), ElementsAre("anyText", "hostTest"));
  EXPECT_THAT(host::registeredCommands(), ElementsAre("hostEcho", "hostLeftover"));
  EXPECT_THAT(host::registeredNodeTypes(),
              ElementsAre("sumNode", "tickDevice", "stuckDevice", "lateDevice"));
  EXPECT_EQ(host::createNode("brokenNode"), MS::kInvalidParameter);
  EXPECT_EQ(host::createNode("otherNode"), MS::kInvalidParameter);

  std::string options;
  ASSERT_TRUE(host::translatorDefaultOptions("hostTest", options));
  EXPECT_EQ(options, "alpha=1;beta=2");

  host::PluginInfo info;
  ASSERT_TRUE(host::pluginInfo("hostTestPlugin", info));
  EXPECT_EQ(info.path, HostTestPlugin::path());
  EXPECT_EQ(info.vendor, "Test Vendor");
  EXPECT_EQ(info.version, "1.2.3");
  EXPECT_EQ(info.requiredApiVersion, "Any");
  EXPECT_TRUE(info.hasUi);
  EXPECT_EQ(info.uiCreation, "hostTestCreateUI");
  EXPECT_EQ(info.uiDeletion, "hostTestDeleteUI");
  EXPECT_EQ(info.uiCreationBatch, "");
}

TEST_F(PluginLoading, ExportsTheVersionAndEntryPointsWithCppLinkage) {
  LoadedLibrary library(HostTestPlugin::path());
  ASSERT_TRUE(library.loaded());
  auto* version = static_cast<const char*>(library.symbol("MApiVersion"));
  ASSERT_NE(version, nullptr);
  EXPECT_STREQ(version, "20220000");
  EXPECT_NE(library.symbol("ADSK_PLUGIN_SIGNATURE"), nullptr);
  // MObject carries the API's namespace into the name, as Maya looks it up.
  EXPECT_NE(library.symbol("_Z16initializePluginN8Autodesk4Maya16OpenMaya202200007MObjectE"),
            nullptr);
  EXPECT_EQ(library.symbol("_Z16initializePlugin7MObject"), nullptr);
  EXPECT_EQ(library.symbol("initializePlugin"), nullptr);
  // Hidden visibility (on Windows, no dllexport): nothing of the plug-in's classes leaves it.
  EXPECT_EQ(library.symbol("_ZN7EchoCmd7creatorEv"), nullptr);
}

TEST_F(PluginLoading, UnloadWithdrawsAndReportsWhatThePluginLeftRegistered) {
  HostTestPlugin::clearEvents();
  ASSERT_TRUE(host::unloadPlugin("hostTestPlugin"));
  EXPECT_THAT(host::unloadLeftovers(), ElementsAre("command hostLeftover"));
  EXPECT_TRUE(anyErrorHas("\"hostTestPlugin\" left registered: command hostLeftover"));
  EXPECT_TRUE(host::registeredCommands().empty());
  EXPECT_TRUE(host::registeredFileTranslators().empty());
  EXPECT_TRUE(host::registeredNodeTypes().empty());
  EXPECT_TRUE(host::loadedPlugins().empty());
  // Closed: the library is no longer mapped, so its log is gone with it.
  EXPECT_FALSE(LoadedLibrary(HostTestPlugin::path()).loaded());
  EXPECT_EQ(host::createNode("sumNode"), MS::kInvalidParameter);

  // Loaded afresh: its registrations succeed again, and its unload reports the same way.
  ASSERT_TRUE(host::loadPlugin(HostTestPlugin::path()));
  EXPECT_THAT(host::registeredCommands(), ElementsAre("hostEcho", "hostLeftover"));
  HostTestPlugin::clearEvents();
  ASSERT_TRUE(host::unloadPlugin(HostTestPlugin::path()));
  EXPECT_EQ(host::unloadLeftovers().size(), 1u);
}

TEST_F(PluginLoading, DeregistrationCallsReportTheirOwnStatus) {
  HostTestPlugin::clearEvents();
  // Read the log before the unload unmaps it: unload while the test holds a reference too.
  LoadedLibrary library(HostTestPlugin::path());
  ASSERT_TRUE(library.loaded());
  ASSERT_TRUE(host::unloadPlugin("hostTestPlugin"));
  EXPECT_THAT(HostTestPlugin::events(),
              ElementsAre("deregister node lateDevice 0", "deregister node stuckDevice 0",
                          "deregister node tickDevice 0", "deregister node sumNode 0",
                          "deregister node sumNode again 1", "deregister command hostEcho 0",
                          "deregister translator hostTest 0", "deregister translator anyText 0"));
}

TEST_F(PluginLoading, UnloadIsRefusedWhileNodesOfItsTypesExist) {
  std::string node;
  ASSERT_TRUE(host::createNode("sumNode", "", "", &node));
  EXPECT_EQ(host::unloadPlugin("hostTestPlugin"), MS::kFailure);
  EXPECT_TRUE(anyErrorHas("Cannot unload plug-in \"hostTestPlugin\": node \"sumNode1\""));
  EXPECT_THAT(host::loadedPlugins(), ElementsAre("hostTestPlugin"));
  ASSERT_TRUE(host::deleteNode(node));
  EXPECT_TRUE(host::unloadPlugin("hostTestPlugin"));
}

TEST_F(PluginLoading, LoadFailuresAreReported) {
  EXPECT_EQ(host::loadPlugin(HostTestPlugin::path()), MS::kFailure);
  EXPECT_TRUE(anyErrorHas("Plug-in \"hostTestPlugin\" is already loaded"));

  EXPECT_EQ(host::loadPlugin(NO_VERSION_PLUGIN), MS::kFailure);
  EXPECT_TRUE(anyErrorHas("\"noVersionPlugin\" does not export MApiVersion"));
  EXPECT_FALSE(LoadedLibrary(NO_VERSION_PLUGIN).loaded());

  EXPECT_EQ(host::loadPlugin(FAILING_PLUGIN), MS::kInvalidParameter);
  EXPECT_TRUE(anyErrorHas("initializePlugin function failed (failingPlugin)"));
  EXPECT_THAT(host::registeredCommands(), ElementsAre("hostEcho", "hostLeftover"));
  EXPECT_FALSE(LoadedLibrary(FAILING_PLUGIN).loaded());

  EXPECT_EQ(host::loadPlugin("no/such/plugin.so"), MS::kFailure);
  EXPECT_TRUE(anyErrorHas("Cannot load plug-in \"no/such/plugin.so\""));
  EXPECT_EQ(host::unloadPlugin("noSuchPlugin"), MS::kNotFound);
  EXPECT_THAT(host::loadedPlugins(), ElementsAre("hostTestPlugin"));
}

TEST_F(PluginLoading, CommandRunsByNameAndIsDeletedAfterDoIt) {
  HostTestPlugin::clearEvents();
  EXPECT_TRUE(host::runCommand("hostEcho", {"a", "b c"}));
  EXPECT_THAT(host::lastCommandResults(), ElementsAre("a", "b c"));
  EXPECT_EQ(host::lastCommandResult(), "a b c");
  // A failed command's result never reaches the caller, though the command set one.
  EXPECT_EQ(host::runCommand("hostEcho", {"fail"}), MS::kFailure);
  EXPECT_THAT(host::lastCommandResults(), ::testing::IsEmpty());
  EXPECT_EQ(host::lastCommandResult(), "");
  EXPECT_EQ(host::runCommand("hostEcho", {"throw"}), MS::kFailure);
  EXPECT_THAT(host::lastCommandResults(), ::testing::IsEmpty());
  EXPECT_TRUE(host::runCommand("hostEcho"));
  EXPECT_THAT(host::lastCommandResults(), ::testing::IsEmpty());
  EXPECT_THAT(HostTestPlugin::events(),
              ElementsAre("echo a b c", "echo deleted", "echo fail", "echo deleted", "echo throw",
                          "echo deleted", "echo", "echo deleted"));
}

TEST_F(PluginLoading, UnknownCommandIsNotFound) {
  EXPECT_EQ(host::runCommand("noSuchCommand"), MS::kNotFound);
  EXPECT_THAT(host::errors(), ElementsAre("Cannot find procedure \"noSuchCommand\"."));
}

class FileTranslators : public support::HostTestPluginTest {
 protected:
  // A file in the test's temporary directory, removed at the end of the test.
  std::string makeFile(const std::string& name, const std::string& content) {
    std::string path =
        ::testing::TempDir() + "hostPlugin" + std::to_string(support::processId()) + "_" + name;
    std::ofstream(path, std::ios::binary) << content;
    files.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const auto& file : files) std::remove(file.c_str());
    HostTestPluginTest::TearDown();
  }
  std::string prefix() const { return "hostPlugin" + std::to_string(support::processId()) + "_"; }

  std::vector<std::string> files;
};

TEST_F(FileTranslators, IdentifyFilePrefersItsOwnTypeOverCouldBe) {
  std::string own = makeFile("walk.htst", "anything");
  std::string marked = makeFile("marked.dat", "HTST data");
  std::string plain = makeFile("plain.txt", "text");
  HostTestPlugin::clearEvents();
  EXPECT_TRUE(host::importFile(own));
  EXPECT_TRUE(host::importFile(marked));
  EXPECT_TRUE(host::importFile(plain));
  // kImportAccessMode is 3; without options each gets its registered defaults.
  EXPECT_THAT(HostTestPlugin::events(),
              ElementsAre("hostTest read " + prefix() + "walk.htst options=alpha=1;beta=2 mode=3",
                          "anyText read " + prefix() + "marked.dat options=any=1 mode=3",
                          "anyText read " + prefix() + "plain.txt options=any=1 mode=3"));
}

TEST_F(FileTranslators, TranslatorByNameGetsTheGivenOptions) {
  std::string plain = makeFile("plain.txt", "text");
  HostTestPlugin::clearEvents();
  EXPECT_TRUE(host::importFile(plain, "hostTest", std::string("scale=2")));
  EXPECT_TRUE(host::importFile(plain, "hostTest", std::string()));
  EXPECT_EQ(host::importFile(plain, "hostTest", std::string("fail")), MS::kFailure);
  EXPECT_THAT(HostTestPlugin::events(),
              ElementsAre("hostTest read " + prefix() + "plain.txt options=scale=2 mode=3",
                          "hostTest read " + prefix() + "plain.txt options= mode=3",
                          "hostTest read " + prefix() + "plain.txt options=fail mode=3"));
}

TEST_F(FileTranslators, OpenEmptiesTheSceneFirstAndImportKeepsIt) {
  std::string own = makeFile("walk.htst", "anything");
  ASSERT_TRUE(host::createNode("transform", "kept"));
  ASSERT_TRUE(host::importFile(own));
  EXPECT_THAT(host::listNodes(), ElementsAre("|kept"));
  HostTestPlugin::clearEvents();
  ASSERT_TRUE(host::openFile(own));
  EXPECT_TRUE(host::listNodes().empty());
  // kOpenAccessMode is 1.
  EXPECT_THAT(HostTestPlugin::events(),
              ElementsAre("hostTest read " + prefix() + "walk.htst options=alpha=1;beta=2 mode=1"));
}

TEST_F(FileTranslators, UnknownTranslatorOrMissingFileFails) {
  std::string own = makeFile("walk.htst", "anything");
  HostTestPlugin::clearEvents();
  EXPECT_EQ(host::importFile(own, "noSuchTranslator"), MS::kNotFound);
  EXPECT_TRUE(anyErrorHas("Invalid file type specified: noSuchTranslator"));
  EXPECT_EQ(host::importFile(own + ".missing"), MS::kNotFound);
  EXPECT_TRUE(anyErrorHas("File not found: " + own + ".missing"));
  EXPECT_TRUE(HostTestPlugin::events().empty());
}

}  // namespace
