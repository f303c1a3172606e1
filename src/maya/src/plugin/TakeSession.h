#pragma once

#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MStringArray.h>
#include <maya/MTime.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stream/TakeRecorder.h"

class NetDeviceNode;

// The take "marvikMocapRecord" records, one at a time in the module: every frame of every actor
// of the current device node's stream, from the receive thread through the stream processor's
// listener, kept until -stop builds it into the scene as the "BVH" translator imports a file.
// Main thread only; it shows its own errors and warnings.
class TakeSession {
 public:
  static constexpr double kDefaultLimitMegabytes = 2048;

  enum class State {
    kIdle,
    kRecording,
    // The take reached its limit: it keeps what it holds for -stop and records no more.
    kFull,
    // A -stop was interrupted: the take, ended, waits for another -stop or -cancel.
    kInterrupted,
    // Its stream was closed under it (a disconnect, another netDevice node deleted): it keeps
    // what it holds and goes on when the stream is connected again.
    kPaused,
    // A -stop could not build it: it is kept for another -stop (or -stop -file) or -cancel.
    kUnbuilt
  };

  struct Summary {
    State state = State::kIdle;
    std::uint64_t frames = 0;
    // Since the take started.
    double seconds = 0;

    // "idle", "recording", "full", "interrupted", "paused" or "unbuilt".
    const char* stateName() const;
    // seconds in whole tenths, with a "." whatever the locale.
    std::string secondsText() const;
  };

  static TakeSession& instance();

  // Starts a take on the current device node's stream, keyed from the scene's current time, at
  // framesPerSecond (0: each actor's measured rate), keeping at most limitMegabytes of frames.
  // kFailure, with an error shown and nothing changed, without a device node, when its stream is
  // not connected, or while a take is running.
  MStatus start(double framesPerSecond, double limitMegabytes);
  // Ends the take and builds it: one skeleton "<actor>_take<n>" per actor and skeleton, whose
  // root joints' paths go to roots. With a directory, the takes are first written there as BVH
  // files, never over a file there (the folder is made when missing; when it cannot be,
  // kFailure and the take goes on), and the paths written follow the roots; when a file cannot
  // be written, kFailure with the reason, nothing is built and every take is kept (kUnbuilt).
  // kFailure without a take, or when a take could not be built: the others still are, and the
  // ones that failed are kept (kUnbuilt) for the next -stop, with nothing of theirs left in the
  // scene. The build runs in an interruptible computation: interrupted, it removes every
  // skeleton it built and keeps the take, ended, for another stop (or cancel). A failure after
  // something was built or written names it in an error: the caller never sees roots then.
  MStatus stop(const std::string* directory, MStringArray& roots);
  // Ends the take and keeps nothing; kFailure without a take.
  MStatus cancel();
  Summary summary();
  // Shows, once per take, the warning that the take reached its limit.
  void showPendingWarnings();

  // The device node is going: a take of its stream cannot be built any more, so its frames are
  // written as BVH files into a recovery folder (in the system's temporary folder, else the
  // user's home folder); a warning names each actor's file, an error each actor whose frames
  // could not be written. Never throws.
  static void nodeDeleted(const NetDeviceNode* node);
  // The same at the module's unload, whatever the node, for the takes a stop kept too. Never
  // throws.
  static void unloading();
  // The stream is being closed: a take recording from it pauses, with a warning saying why.
  // Never throws.
  static void streamClosed(const char* why);

 private:
  TakeSession() = default;
  ~TakeSession();
  TakeSession(const TakeSession&) = delete;
  TakeSession& operator=(const TakeSession&) = delete;

  // Detaches the recorder from the stream and takes its takes out; the session is idle after.
  std::vector<TakeRecorder::Take> end();
  void recover(const char* why, std::vector<TakeRecorder::Take> takes);
  // After an interrupted stop: deletes the skeletons built (their top transforms), keeps the
  // takes for another stop and says so. kFailure.
  MStatus keepInterrupted(std::vector<TakeRecorder::Take>& takes, std::vector<MObject>& built,
                          MStringArray& roots);
  void warnAboutDroppedFrames(const std::vector<TakeRecorder::Take>& takes);

  std::unique_ptr<TakeRecorder> recorder;
  // The take of an interrupted stop.
  std::vector<TakeRecorder::Take> interrupted;
  // The takes a stop could not build.
  std::vector<TakeRecorder::Take> unbuilt;
  // Of the take that ended last.
  std::vector<TakeRecorder::Dropped> dropped;
  const NetDeviceNode* node = nullptr;
  double framesPerSecond = 0;
  double limitMegabytes = kDefaultLimitMegabytes;
  MTime startTime;
  std::chrono::steady_clock::time_point startedAt;
  bool limitWarned = false;
};
