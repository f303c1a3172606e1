#pragma once

#include <maya/MDagPath.h>
#include <maya/MFileObject.h>
#include <maya/MObject.h>
#include <maya/MPxFileTranslator.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MTime.h>

#include <cstdint>
#include <string>
#include <vector>

#include "motion/iFrameSource.h"
#include "motion/iSkeleton.h"

class ImportComputation;

// Marks an option as not given, to be taken from the data: the whole frame range, or the rotation
// order of the text. Equal to the invalid rotation order.
constexpr std::uint32_t kNotGiven = 0x80000000u;

// The "BVH" file translator: reads Biovision Hierarchy files (and BVH text held in memory) into
// joints and animation curves. Main thread only. The option fields keep their values between
// reads by the same object.
class imocapImport : public MPxFileTranslator {
 public:
  // The state of one skeleton build, handed to every joint visit.
  class imyCallbackData : public iSkeleton::iJoint::icallbackData {
   public:
    bool bonesOnly = false;
    bool merge = false;
    float scale = 1.0f;
    int rotationOrder = static_cast<int>(kNotGiven);  // resolved channel order of the data
    // rotationOrder is the option's, for every joint; otherwise each joint turns in its own.
    bool rotationOrderGiven = false;
    std::uint32_t startFrame = 0;
    std::uint32_t endFrame = 0;  // exclusive, never above the skeleton's frame count
    double frameTime = 0.0;      // seconds per frame
    // The standard rate frameTime stands for (standardRateUnit): keys lie on its whole frames
    // from startTime. kInvalid: frameTime apart, as written.
    MTime::Unit frameUnit = MTime::kInvalid;
    MTime startTime;    // scene time of startFrame
    MDagPath rootPath;  // merge target root
    MString sceneName;
    bool translateAllJoints = false;
    // Each frame's rotate keys nearest the previous frame's (EulerFilter).
    bool eulerFilter = true;
    MStatus status;           // the first failure is final
    std::string failedJoint;  // data joint at which status turned to a failure
    // Polled before each joint; null: not interruptible.
    ImportComputation* computation = nullptr;
  };

  // Binds a data joint to the Maya node created or matched for it; the joint owns it.
  class imyAccessory : public iSkeleton::iJoint::iaccessory {
   public:
    MObject object = MObject::kNullObj;
  };

  // A run of a recorded take's frames with no gap between them.
  struct TakeRun {
    // BVH text: the take's hierarchy and a motion section declaring the run's frames, whose
    // values `frames` supplies (see iMocapDataBvh).
    std::string text;
    iFrameSource* frames = nullptr;
    // Frame times from the take's start to the run's first key.
    std::int64_t slot = 0;
  };

  // The option string registered with the translator, which a take is built with too.
  static const char* const kDefaultOptions;

  imocapImport();
  ~imocapImport() override;

  static void* creator();

  MStatus reader(const MFileObject& file, const MString& optionsString,
                 FileAccessMode mode) override;
  // Export All (the scene's one skeleton) or Export Selection (the selected joint hierarchy) as a
  // BVH file, with the options "scale", "startFrame", "endFrame" and "frameRate"
  // (exportSkeleton). Shows an error saying why when it fails.
  MStatus writer(const MFileObject& file, const MString& optionsString,
                 FileAccessMode mode) override;
  bool haveReadMethod() const override;
  bool haveWriteMethod() const override;
  bool haveNamespaceSupport() const override;
  MString filter() const override;
  // "bvh": what Maya adds to an exported file's name given without an extension.
  MString defaultExtension() const override;
  bool canBeOpened() const override;
  MFileKind identifyFile(const MFileObject& file, const char* buffer, short size) const override;

  // Reads a BVH file into the scene: new joints under a transform named sceneName, or keys on a
  // selected skeleton when merging (never in open mode). kFailure for a name without a ".bvh"
  // extension, a file that cannot be opened or a parse error; else the build's status. What the
  // text lacked goes to warnings(); reader shows them after a successful read.
  MStatus readFromFile(const MString& path, bool openMode, const std::string& suffix);
  // Builds a skeleton from BVH text in import mode; set sceneName first. Shows nothing: the
  // status is the only report. Never throws.
  MStatus readFromText(const MString& text);
  // Builds a take recorded in runs of one hierarchy as readFromText builds BVH text: the joints
  // of the first run under a transform named sceneName, every run's frames keyed from start plus
  // its slot times the frame time the text gives. root receives the root joint. Shows nothing;
  // failure() says what went wrong. Never throws.
  MStatus readFromTake(const std::vector<TakeRun>& runs, const MTime& start, MObject& root);

  // Applies "key=value;..." entries left to right; unknown keys and entries without "=" are
  // skipped, fields not named keep their values.
  void parseOptions(const MString& options);
  // The text after the last "." is "bvh" in any letter case.
  static bool isBvhFileName(const MString& name);

  // What went wrong in the last failed read, in words; empty after a successful one.
  const MString& failure() const { return failureText; }
  // What the last file read filled in for the text: frames keyed at zero past an early end,
  // values that were not numbers. In words, without the file's name; empty after a text read.
  const MStringArray& warnings() const { return warningTexts; }

  bool bonesOnly = true;
  bool merge = false;
  float scale = 1.0f;
  int rotationOrder = static_cast<int>(kNotGiven);
  std::uint32_t startFrame = kNotGiven;
  std::uint32_t endFrame = kNotGiven;
  // Rotate keys continuous from frame to frame; false keys the angles as the text gives them.
  bool eulerFilter = true;
  // After a file read that keyed frames, the playback and animation ranges grow to cover them.
  bool fillTimeline = true;
  // After a file read that keyed frames, the scene's time unit becomes the file's rate when Maya
  // has a unit for it (else a warning says why not).
  bool sceneRate = false;
  MString sceneName;
  // The computation reads run in, which several reads may share (a take's skeletons); when null,
  // each read runs in one of its own. An interrupted read removes what it built (a merge puts
  // back the keys it replaced) and fails with failure() saying it was cancelled.
  ImportComputation* computation = nullptr;

 private:
  class RestoreComputation;

  // buildSkeleton, recording in failureText where and why it stopped.
  MStatus build(iSkeleton& skeleton, bool openMode);
  // After an interrupted build: removes the skeleton built for root's data, or puts back what a
  // merge changed, and says so in failureText.
  MStatus undoInterrupted(const iSkeleton& skeleton, bool merged);
  // sceneRate and fillTimeline after a file read that keyed the skeleton's frames.
  MStatus adjustScene(const iSkeleton& skeleton, bool openMode);
  // Sets failureText for a build of skeleton that ended with status (nothing on success).
  void describeBuildFailure(const MStatus& status, const iSkeleton& skeleton,
                            const std::string& failedJoint);

  MString failureText;
  MStringArray warningTexts;
  // Whether an option string has named bonesOnly: until one does, it keeps its construction
  // value, and a read building bones only says so.
  bool bonesOnlyNamed = false;
};
