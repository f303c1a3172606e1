#include "plugin/TakeSession.h"

#include <maya/MAnimControl.h>
#include <maya/MFnDagNode.h>
#include <maya/MGlobal.h>
#include <maya/MObject.h>
#include <maya/MString.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "motion/iFrameSource.h"
#include "motion/parseNumber.h"
#include "plugin/NetDeviceNode.h"
#include "scene/ImportComputation.h"
#include "scene/imocapImport.h"
#include "scene/utf8String.h"
#include "stream/StreamStatus.h"
#include "stream/protocolBufferProcess.h"

namespace {

const char kCommand[] = "marvikMocapRecord: ";
constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;

void showError(const std::string& message) {
  MGlobal::displayError(utf8String(kCommand + message));
}

void showWarning(const std::string& message) {
  MGlobal::displayWarning(utf8String(kCommand + message));
}

// One run of a take's frames, handed to the BVH reader as the values of its motion lines.
class RunFrames : public iFrameSource {
 public:
  RunFrames(const TakeRecorder::Take& source, const TakeRecorder::Run& run)
      : take(source), next(run.first), end(run.first + run.count) {}

  std::size_t nextFrame(double* values, std::size_t count) override {
    if (next == end) return 0;
    const float* frame = take.frame(next++);
    const std::size_t held = std::min(count, static_cast<std::size_t>(take.channels));
    for (std::size_t i = 0; i < held; ++i) values[i] = floatReal(frame[i]);
    return held;
  }

 private:
  const TakeRecorder::Take& take;
  std::size_t next;
  std::size_t end;
};

// A name Maya accepts for a node, as Maya legalises one: letters, digits and '_', never a digit
// first.
std::string legalName(const std::string& name) {
  std::string legal;
  for (unsigned char c : name) legal += std::isalnum(c) || c == '_' ? static_cast<char>(c) : '_';
  if (legal.empty() || std::isdigit(static_cast<unsigned char>(legal[0]))) legal.insert(0, "_");
  return legal;
}

std::string megabytes(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// A new folder for recovered takes in base, named with the date and time; empty, with the reason
// in error, when none can be made.
std::filesystem::path recoveryFolder(const std::filesystem::path& base, std::string& error) {
  std::error_code failure;
  const std::time_t now = std::time(nullptr);
  char stamp[32] = "take";
  if (const std::tm* local = std::localtime(&now)) {
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H%M%S", local);
  }
  const std::string name = std::string("marvikMocap-take-") + stamp;
  for (int number = 1; number < 1000; ++number) {
    const std::filesystem::path folder =
        base / (number == 1 ? name : name + "-" + std::to_string(number));
    if (std::filesystem::create_directory(folder, failure)) return folder;
    if (failure) {
      error = base.u8string() + ": " + failure.message();
      return std::filesystem::path();
    }
  }
  error = base.u8string() + ": every name is taken";
  return std::filesystem::path();
}

// Where recovered takes may go, in order: the system's temporary folder, then the user's home
// folder. Those that cannot be found add their reason to errors.
std::vector<std::filesystem::path> recoveryBases(std::vector<std::string>& errors) {
  std::vector<std::filesystem::path> bases;
  std::error_code failure;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(failure);
  if (failure) {
    errors.push_back("the temporary folder: " + failure.message());
  } else {
    bases.push_back(temp);
  }
  for (const char* variable : {"HOME", "USERPROFILE"}) {
    const char* home = std::getenv(variable);
    if (home != nullptr && *home != '\0') {
      // getenv gives the system's own encoding (the ANSI code page on Windows), which is what
      // path's narrow constructor reads; u8path would misread a home folder beyond ASCII.
      bases.push_back(std::filesystem::path(home));
      break;
    }
  }
  return bases;
}

// Skeleton names for the takes: the actor's name made legal, and, when two actors' names become
// the same that way, each followed by its tag, so that no take passes for another actor's.
std::vector<std::string> takeNames(const std::vector<TakeRecorder::Take>& takes) {
  std::vector<std::string> names;
  for (const TakeRecorder::Take& take : takes) names.push_back(legalName(take.actor));
  for (std::size_t i = 0; i < takes.size(); ++i) {
    for (std::size_t k = 0; k < takes.size(); ++k) {
      if (takes[k].tag != takes[i].tag && legalName(takes[k].actor) == legalName(takes[i].actor)) {
        names[i] += "_" + std::to_string(takes[i].tag);
        break;
      }
    }
  }
  return names;
}

std::string joined(const MStringArray& texts, const char* separator) {
  std::string text;
  for (unsigned int i = 0; i < texts.length(); ++i) {
    text += (i > 0 ? separator : "") + std::string(texts[i].asUTF8());
  }
  return text;
}

// A failed command's result reaches no script, so what -stop did before it failed is told in an
// error.
void showDoneBeforeFailure(const MStringArray& roots, const MStringArray& paths) {
  if (roots.length() == 0 && paths.length() == 0) return;
  std::string done;
  if (roots.length() > 0) done += "built " + joined(roots, ", ");
  if (paths.length() > 0) done += (done.empty() ? "wrote " : " and wrote ") + joined(paths, ", ");
  showError("-stop failed, but " + done);
}

}  // namespace

const char* TakeSession::Summary::stateName() const {
  switch (state) {
    case State::kRecording:
      return "recording";
    case State::kFull:
      return "full";
    case State::kInterrupted:
      return "interrupted";
    case State::kPaused:
      return "paused";
    case State::kUnbuilt:
      return "unbuilt";
    case State::kIdle:
      break;
  }
  return "idle";
}

std::string TakeSession::Summary::secondsText() const {
  const long long tenths = std::llround(seconds * 10.0);
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

TakeSession& TakeSession::instance() {
  static TakeSession session;
  return session;
}

TakeSession::~TakeSession() {
  // Only a module left without its unload gets here with a take running; a receive thread
  // may still call the recorder, so it is left to the process.
  if (recorder) recorder.release();
}

MStatus TakeSession::start(double rate, double limit) {
  if (recorder) {
    showError("a take is running already: stop it (-stop) or cancel it (-cancel) first");
    return MS::kFailure;
  }
  if (!interrupted.empty()) {
    showError(
        "the take of an interrupted -stop waits: build it (-stop), write it (-stop -file DIR) or "
        "drop it (-cancel) first");
    return MS::kFailure;
  }
  if (!unbuilt.empty()) {
    showError(
        "the last take could not be built: build it (-stop), save it (-stop -file DIR) or "
        "let it go (-cancel) first");
    return MS::kFailure;
  }
  if (currentDeviceNode == nullptr) {
    showError("there is no netDevice node: create one and connect it first");
    return MS::kFailure;
  }
  protocolBufferProcess& process = protocolBufferProcess::instance();
  if (process.status().state == StreamStatus::State::kDisconnected) {
    showError("the netDevice node is not connected: connect it first (connectMarvikMocap)");
    return MS::kFailure;
  }
  TakeRecorder::Options options;
  options.limitBytes = static_cast<std::uint64_t>(std::llround(limit * kBytesPerMegabyte));
  recorder.reset(new TakeRecorder(options));
  node = currentDeviceNode;
  framesPerSecond = rate;
  limitMegabytes = limit;
  startTime = MAnimControl::currentTime();
  startedAt = std::chrono::steady_clock::now();
  limitWarned = false;
  process.setListener(recorder.get());
  return MS::kSuccess;
}

MStatus TakeSession::stop(const std::string* directory, MStringArray& roots) {
  if (!recorder && interrupted.empty() && unbuilt.empty()) {
    showError("no take is running: start one with -start");
    return MS::kFailure;
  }
  showPendingWarnings();
  if (directory != nullptr) {
    // Checked before the take ends, so that a mistyped folder costs nothing.
    std::error_code failure;
    const std::filesystem::path folder = std::filesystem::u8path(*directory);
    std::filesystem::create_directories(folder, failure);
    if (!std::filesystem::is_directory(folder, failure)) {
      showError("cannot make the folder " + *directory +
                (failure ? ": " + failure.message() : std::string()) + "; the take goes on");
      return MS::kFailure;
    }
  }
  const MTime start = startTime;
  std::vector<TakeRecorder::Take> takes;
  if (recorder) {
    takes = end();
    warnAboutDroppedFrames(takes);
  } else {
    takes = std::move(interrupted);
    interrupted.clear();
    for (TakeRecorder::Take& take : unbuilt) takes.push_back(std::move(take));
    unbuilt.clear();
  }
  MStringArray paths;
  if (directory != nullptr) {
    std::vector<TakeRecorder::Written> written;
    std::vector<std::string> problems;
    const bool wrote = TakeRecorder::write(*directory, takes, written, problems);
    std::string reasons;
    for (const std::string& problem : problems) {
      // A take no BVH file can hold is told apart: building it fails and says so below.
      if (problem.find(": cannot write ") == std::string::npos) {
        showWarning(problem);
      } else {
        reasons += (reasons.empty() ? "" : "; ") + problem;
      }
    }
    for (const TakeRecorder::Written& file : written) paths.append(utf8String(file.path));
    if (!wrote) {
      // A pipeline that checks the command must not believe the files exist; nothing is built,
      // so that the take, kept, is built once only.
      for (TakeRecorder::Take& take : takes) unbuilt.push_back(std::move(take));
      showError("the take could not be written into " + *directory + " (" + reasons + ")" +
                (paths.length() > 0 ? "; written: " + joined(paths, ", ") : std::string()) +
                "; nothing was built and the take is kept: -stop -file DIR saves it elsewhere, "
                "-stop builds it, -cancel lets it go");
      return MS::kFailure;
    }
  }
  if (takes.empty()) showWarning("the take holds no frames: nothing was built");

  ImportComputation computation;
  imocapImport importer;
  importer.parseOptions(imocapImport::kDefaultOptions);
  importer.computation = &computation;
  const std::vector<std::string> names = takeNames(takes);
  std::vector<std::size_t> failed;
  bool unwritable = false;
  std::vector<MObject> built;
  for (std::size_t index = 0; index < takes.size(); ++index) {
    TakeRecorder::Take& take = takes[index];
    computation.beginPart(static_cast<int>(index), static_cast<int>(takes.size()));
    if (!take.writable()) {
      showError("the take of " + take.actor +
                " cannot be built: its skeleton has joints with channel counts a BVH file "
                "cannot hold");
      unwritable = true;
      continue;
    }
    std::vector<RunFrames> frames;
    frames.reserve(take.runs.size());
    std::vector<imocapImport::TakeRun> runs;
    for (const TakeRecorder::Run& run : take.runs) {
      frames.emplace_back(take, run);
      runs.push_back(imocapImport::TakeRun{take.hierarchy + take.motionHead(run.count),
                                           &frames.back(), run.slot});
    }
    importer.sceneName = utf8String(names[index] + "_take1");
    MObject root;
    const MStatus status = importer.readFromTake(runs, start, root);
    if (computation.interrupted()) {
      const MStatus kept = keepInterrupted(takes, built, roots);
      showDoneBeforeFailure(roots, paths);
      return kept;
    }
    if (!status) {
      // What it made is no take: the take is kept to be built again, so nothing of it stays.
      if (!root.isNull()) {
        MObject top = MFnDagNode(root).parent(0);
        MGlobal::deleteNode(top);
      }
      showError("the take of " + take.actor +
                " could not be built: " + importer.failure().asUTF8() +
                "; its frames are kept: -stop builds it again, -stop -file DIR saves it");
      failed.push_back(index);
      continue;
    }
    if (!root.isNull()) {
      roots.append(MFnDagNode(root).fullPathName());
      built.push_back(MFnDagNode(root).parent(0));
    }
  }
  for (std::size_t index : failed) unbuilt.push_back(std::move(takes[index]));
  if (!failed.empty() || unwritable) {
    showDoneBeforeFailure(roots, paths);
    return MS::kFailure;
  }
  for (unsigned int i = 0; i < paths.length(); ++i) roots.append(paths[i]);
  return MS::kSuccess;
}

MStatus TakeSession::keepInterrupted(std::vector<TakeRecorder::Take>& takes,
                                     std::vector<MObject>& built, MStringArray& roots) {
  for (MObject& top : built) MGlobal::deleteNode(top);
  roots.clear();
  interrupted = std::move(takes);
  showError(
      "-stop was cancelled (interrupted): nothing was built and the take is kept; build it "
      "(-stop), write it (-stop -file DIR) or drop it (-cancel)");
  return MS::kFailure;
}

MStatus TakeSession::cancel() {
  if (!recorder && interrupted.empty() && unbuilt.empty()) {
    showError("no take is running: nothing to cancel (-cancel); start one with -start");
    return MS::kFailure;
  }
  if (recorder) {
    end();
  } else {
    interrupted.clear();
    unbuilt.clear();
  }
  return MS::kSuccess;
}

TakeSession::Summary TakeSession::summary() {
  Summary summary;
  if (!recorder && !interrupted.empty()) {
    summary.state = State::kInterrupted;
    for (const TakeRecorder::Take& take : interrupted) summary.frames += take.frameCount();
    summary.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt).count();
    return summary;
  }
  if (!recorder && !unbuilt.empty()) {
    summary.state = State::kUnbuilt;
    for (const TakeRecorder::Take& take : unbuilt) summary.frames += take.frameCount();
    summary.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt).count();
    return summary;
  }
  if (!recorder) return summary;
  const TakeRecorder::Progress progress = recorder->progress();
  const bool closed =
      protocolBufferProcess::instance().status().state == StreamStatus::State::kDisconnected;
  summary.state = progress.full ? State::kFull : closed ? State::kPaused : State::kRecording;
  summary.frames = progress.frames;
  summary.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt).count();
  return summary;
}

void TakeSession::showPendingWarnings() {
  if (!recorder || limitWarned || !recorder->progress().full) return;
  limitWarned = true;
  showWarning("the take reached its limit of " + megabytes(limitMegabytes) + " MB after " +
              std::to_string(recorder->progress().frames) +
              " frames and records no more; -stop builds what it holds");
}

void TakeSession::nodeDeleted(const NetDeviceNode* deleted) {
  try {
    TakeSession& session = instance();
    if (session.recorder && session.node == deleted) {
      std::vector<TakeRecorder::Take> takes = session.end();
      session.warnAboutDroppedFrames(takes);
      session.recover("the netDevice node was deleted during a take", std::move(takes));
    }
  } catch (...) {
  }
}

void TakeSession::unloading() {
  try {
    TakeSession& session = instance();
    std::vector<TakeRecorder::Take> takes = std::move(session.interrupted);
    session.interrupted.clear();
    for (TakeRecorder::Take& take : session.unbuilt) takes.push_back(std::move(take));
    session.unbuilt.clear();
    if (session.recorder) {
      std::vector<TakeRecorder::Take> recorded = session.end();
      session.warnAboutDroppedFrames(recorded);
      for (TakeRecorder::Take& take : recorded) takes.push_back(std::move(take));
      session.recover("the plug-in was unloaded during a take", std::move(takes));
    } else if (!takes.empty()) {
      session.recover("the plug-in was unloaded with a take a -stop did not build",
                      std::move(takes));
    }
  } catch (...) {
  }
}

void TakeSession::streamClosed(const char* why) {
  try {
    TakeSession& session = instance();
    if (!session.recorder) return;
    showWarning(std::string(why) + ": the take is paused with " +
                std::to_string(session.recorder->progress().frames) +
                " frames and records again when the stream is connected (connectMarvikMocap)");
  } catch (...) {
  }
}

std::vector<TakeRecorder::Take> TakeSession::end() {
  // Once the listener is replaced the receive thread no longer reaches the recorder.
  protocolBufferProcess::instance().setListener(nullptr);
  std::unique_ptr<TakeRecorder> ended = std::move(recorder);
  node = nullptr;
  std::vector<TakeRecorder::Take> takes = ended->finish(framesPerSecond);
  dropped = ended->droppedBeforeHeader();
  return takes;
}

void TakeSession::recover(const char* why, std::vector<TakeRecorder::Take> takes) {
  if (takes.empty()) {
    showWarning(std::string(why) + "; it held no frames");
    return;
  }
  // Each place takes the takes the places before it could not write.
  std::vector<std::string> reasons;
  std::vector<TakeRecorder::Written> written;
  std::vector<std::string> problems;
  for (const std::filesystem::path& base : recoveryBases(reasons)) {
    if (takes.empty()) break;
    std::string error;
    const std::filesystem::path folder = recoveryFolder(base, error);
    if (folder.empty()) {
      reasons.push_back(error);
      continue;
    }
    std::vector<std::size_t> failed;
    std::vector<std::string> unwritable;
    TakeRecorder::write(folder.u8string(), takes, written, unwritable, &failed);
    std::vector<TakeRecorder::Take> left;
    for (std::size_t index : failed) left.push_back(std::move(takes[index]));
    for (const std::string& problem : unwritable) {
      // A take no BVH file can hold is not worth trying elsewhere.
      (problem.find(": cannot write ") == std::string::npos ? problems : reasons)
          .push_back(problem);
    }
    std::error_code ignored;
    // An empty folder is no news.
    std::filesystem::remove(folder, ignored);
    takes = std::move(left);
  }
  for (const std::string& problem : problems) showWarning(problem);
  if (!written.empty()) {
    std::string files;
    for (const TakeRecorder::Written& file : written) {
      files += (files.empty() ? "" : ", ") + file.actor + " in " + file.path;
    }
    showWarning(std::string(why) + " and cannot be built any more: its frames are kept, " + files);
  }
  if (!takes.empty()) {
    std::string actors;
    for (const TakeRecorder::Take& take : takes) {
      actors += (actors.empty() ? "" : ", ") + take.actor;
    }
    std::string because;
    for (const std::string& reason : reasons) {
      because += (because.empty() ? "" : "; ") + reason;
    }
    showError(std::string(why) + " and the frames of " + actors + " could not be written (" +
              (because.empty() ? std::string("no folder to write to") : because) +
              "): they are lost");
  }
}

void TakeSession::warnAboutDroppedFrames(const std::vector<TakeRecorder::Take>& takes) {
  for (const TakeRecorder::Dropped& actor : dropped) {
    showWarning(std::to_string(actor.frames) + " frames of " + actor.actor +
                " came before its skeleton header and were dropped");
  }
  for (const TakeRecorder::Take& take : takes) {
    if (take.mismatched == 0) continue;
    showWarning(std::to_string(take.mismatched) + " frames of " + take.actor +
                " did not match its skeleton's channels and were dropped");
  }
}
