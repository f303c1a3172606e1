#include "scene/imocapImport.h"

#include <maya/MAnimControl.h>
#include <maya/MFnDagNode.h>
#include <maya/MGlobal.h>
#include <maya/MStringArray.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <istream>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "motion/MocapStatus.h"
#include "motion/RotationOrder.h"
#include "motion/iMocapDataBvh.h"
#include "scene/ImportComputation.h"
#include "scene/buildSkeleton.h"
#include "scene/exportSkeleton.h"
#include "scene/standardRateUnit.h"
#include "scene/utf8String.h"

namespace {

bool isTrue(const MString& value) {
  MString lower = value;
  lower.toLowerCase();
  return lower == "true";
}

// Used in exception handlers, which must not throw: a failed allocation leaves the text as it was.
void setFailure(MString& failure, const char* reason) noexcept {
  try {
    failure = reason;
  } catch (...) {
  }
}

bool isBlank(const std::string& line) {
  return line.find_first_not_of(" \t\r") == std::string::npos;
}

// The lines the reader takes from the input: those before the first blank line.
std::uint64_t readableLines(std::istream& input, std::string* text) {
  std::uint64_t lines = 0;
  std::string line;
  while (std::getline(input, line) && !isBlank(line)) {
    ++lines;
    if (text != nullptr) *text += line + '\n';
  }
  return lines;
}

// Whether reading that stopped at `stopLine` ran out of input rather than met a wrong token.
// Only when it stopped on the last line can it have run out; it did if, given one more line, it
// reads on into it. `reopen` gives the same input from its start.
template <typename Reopen>
bool ranOutOfInput(std::uint64_t stopLine, Reopen reopen) {
  std::uint64_t lines = readableLines(*reopen(), nullptr);
  if (stopLine < lines) return false;
  std::string text;
  readableLines(*reopen(), &text);
  std::istringstream extended(text + "}\n");
  iSkeleton skeleton;
  iMocapDataBvh reader(&extended, &skeleton);
  reader.parse(std::string());
  return reader.line() > lines;
}

// What a failed parse means to the user, with the line where reading stopped.
template <typename Reopen>
MString describeParseFailure(int code, const iMocapDataBvh& reader, Reopen reopen) {
  MString text;
  if (code == kMocapDuplicateName) {
    text = "a joint name is used twice";
  } else if (code != kMocapSyntaxError) {
    text = "the text could not be read";
  } else if (ranOutOfInput(reader.line(), reopen)) {
    text = "unexpected end of file";
  } else {
    text = "syntax error";
  }
  if (reader.line() > 0) {
    text += " at line ";
    text += static_cast<unsigned int>(reader.line());
  }
  return text;
}

// "frames" or "frame" after a count.
std::string frames(std::uint64_t count) { return count == 1 ? " frame" : " frames"; }

// The frames keyed at zero because the text ended early, within those the options key. The
// builder keys samples startFrame up to endFrame (never past the last block's count) by their
// index across blocks; only the last block can end early.
std::string zeroFramesWarning(const std::vector<iMocapDataBvh::MotionBlock>& blocks,
                              const imocapImport& options, std::uint32_t frameCount) {
  std::uint64_t declared = 0;
  std::uint64_t held = 0;
  std::uint64_t first = 0;
  std::uint64_t zeroFrom = 0;
  std::uint64_t zeroTo = 0;
  for (const iMocapDataBvh::MotionBlock& block : blocks) {
    declared += block.declared;
    held += block.held;
    if (block.held < block.stored) {
      zeroFrom = first + block.held;
      zeroTo = first + block.stored;
    }
    first += block.stored;
  }
  if (options.bonesOnly) return std::string();
  const std::uint64_t start = options.startFrame == kNotGiven ? 0 : options.startFrame;
  const std::uint64_t end =
      options.endFrame == kNotGiven ? frameCount : std::min(options.endFrame, frameCount);
  zeroFrom = std::max(zeroFrom, start);
  zeroTo = std::min(zeroTo, end);
  if (zeroFrom >= zeroTo) return std::string();
  std::string text = "the file holds " + std::to_string(held) + " of the " +
                     std::to_string(declared) + frames(declared) + " it declares; ";
  if (zeroTo - zeroFrom == 1)
    return text + "frame " + std::to_string(zeroFrom) + " is keyed at zero";
  return text + "frames " + std::to_string(zeroFrom) + " to " + std::to_string(zeroTo - 1) +
         " are keyed at zero";
}

// One for each block with values past its declared frames.
void addLinesLeftOutWarnings(const std::vector<iMocapDataBvh::MotionBlock>& blocks,
                             std::vector<std::string>& warnings) {
  for (const iMocapDataBvh::MotionBlock& block : blocks) {
    if (block.linesLeftOut == 0) continue;
    const std::string first = std::to_string(block.firstLineLeftOut);
    const std::string declared =
        " past the " + std::to_string(block.declared) + frames(block.declared) + " it declares";
    if (block.linesLeftOut == 1) {
      warnings.push_back("the file holds 1 line of values" + declared + " (line " + first +
                         "); it was left out");
    } else {
      const std::string last = std::to_string(block.firstLineLeftOut + block.linesLeftOut - 1);
      warnings.push_back("the file holds " + std::to_string(block.linesLeftOut) +
                         " lines of values" + declared + " (lines " + first + " to " + last +
                         "); they were left out");
    }
  }
}

// The frames the builder keys of what the text holds: startFrame up to endFrame, never past the
// frame count or the samples read.
std::uint64_t keyedFrames(const std::vector<iMocapDataBvh::MotionBlock>& blocks,
                          const imocapImport& options, std::uint32_t frameCount) {
  if (options.bonesOnly) return 0;
  std::uint64_t stored = 0;
  for (const iMocapDataBvh::MotionBlock& block : blocks) stored += block.stored;
  const std::uint64_t start = options.startFrame == kNotGiven ? 0 : options.startFrame;
  std::uint64_t end =
      options.endFrame == kNotGiven ? frameCount : std::min(options.endFrame, frameCount);
  end = std::min(end, stored);
  return end > start ? end - start : 0;
}

std::string cutShortWarning(const iMocapDataBvh& bvh, std::uint64_t keyed) {
  const std::string at = " (line " + std::to_string(bvh.line()) + ")";
  switch (bvh.cutShort()) {
    case iMocapDataBvh::CutShort::kNo:
      break;
    case iMocapDataBvh::CutShort::kInHierarchy:
      return "the file ends inside its hierarchy" + at +
             "; the joints read so far are imported, without motion";
    case iMocapDataBvh::CutShort::kInMotionHeader:
      if (keyed == 0)
        return "the file ends inside its motion header" + at + "; no frames are imported";
      return "the file ends inside a motion header" + at + "; the " + std::to_string(keyed) +
             frames(keyed) + " before it " + (keyed == 1 ? "is" : "are") + " imported";
  }
  return std::string();
}

// A number as the file gave it: the reader keeps single precision, so the fewest digits that
// read back as the same single-precision value.
std::string fileNumberText(double value) {
  char text[32];
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (static_cast<float>(std::strtod(text, nullptr)) == static_cast<float>(value)) break;
  }
  return text;
}

// Said when keys go on a standard rate's whole frames rather than where the frame time, as
// written, would put them.
std::string standardRateWarning(const iSkeleton& skeleton, const imocapImport& options) {
  const MTime::Unit unit = standardRateUnit(skeleton.frameTime);
  if (options.bonesOnly || unit == MTime::kInvalid) return std::string();
  if (MTime(skeleton.frameTime, MTime::kSeconds) == MTime(1.0, unit)) return std::string();
  return std::string("the frame time ") + fileNumberText(skeleton.frameTime) + " s is read as " +
         framesPerSecondText(unit) + " frames/s: the keys lie on whole frames of that rate";
}

// Every frame keyed lies within the ranges, which only grow.
MStatus growTimeline(const MTime& first, const MTime& last) {
  const MTime::Unit unit = MTime::uiUnit();
  // Within rounding of a whole frame, that frame.
  const MTime low(std::floor(first.as(unit) + 1e-6), unit);
  const MTime high(std::ceil(last.as(unit) - 1e-6), unit);
  const MTime animationStart = std::min(MAnimControl::animationStartTime(), low);
  const MTime animationEnd = std::max(MAnimControl::animationEndTime(), high);
  MStatus status = MAnimControl::setAnimationStartEndTime(animationStart, animationEnd);
  if (!status) return status;
  return MAnimControl::setMinMaxTime(std::min(MAnimControl::minTime(), low),
                                     std::max(MAnimControl::maxTime(), high));
}

std::string axislessWarning(const iMocapDataBvh& bvh) {
  if (bvh.axislessChannels() == 0) return std::string();
  std::string names;
  for (const std::string& name : bvh.axislessChannelNames()) {
    names += (names.empty() ? "\"" : ", \"") + name + "\"";
  }
  if (bvh.axislessChannels() == 1) {
    return "1 channel name does not begin with an axis letter (X, Y or Z), so its values are "
           "left out: " +
           names;
  }
  return std::to_string(bvh.axislessChannels()) +
         " channel names do not begin with an axis letter (X, Y or Z), so their values are left "
         "out: " +
         names;
}

std::string notNumbersWarning(const iMocapDataBvh& bvh) {
  if (bvh.notNumbers() == 0) return std::string();
  const std::string where =
      "\"" + bvh.firstNotNumber() + "\" at line " + std::to_string(bvh.firstNotNumberLine());
  if (bvh.notNumbers() == 1) return "1 value is not a number and was read as 0, " + where;
  return std::to_string(bvh.notNumbers()) +
         " values are not numbers and were read as 0, the first " + where;
}

}  // namespace

// Gives the translator back the computation it was given when a read ends, by return or by
// exception; declared after the read's own computation, so that it runs before that one ends.
class imocapImport::RestoreComputation {
 public:
  RestoreComputation(imocapImport& importer, ImportComputation* given)
      : translator(importer), kept(given) {}
  ~RestoreComputation() { translator.computation = kept; }
  RestoreComputation(const RestoreComputation&) = delete;
  RestoreComputation& operator=(const RestoreComputation&) = delete;

 private:
  imocapImport& translator;
  ImportComputation* kept;
};

const char* const imocapImport::kDefaultOptions =
    "bonesOnly=false;merge=false;scale=1;rotationOrder=none;startFrame=0;endFrame=2147483648;"
    "eulerFilter=true;fillTimeline=true;sceneRate=false";

imocapImport::imocapImport() = default;

imocapImport::~imocapImport() = default;

void* imocapImport::creator() {
  try {
    return new imocapImport();
  } catch (...) {
    return nullptr;
  }
}

bool imocapImport::haveReadMethod() const { return true; }

bool imocapImport::haveWriteMethod() const { return true; }

bool imocapImport::haveNamespaceSupport() const { return false; }

MString imocapImport::filter() const { return "*.bvh"; }

MString imocapImport::defaultExtension() const { return "bvh"; }

bool imocapImport::canBeOpened() const { return true; }

MPxFileTranslator::MFileKind imocapImport::identifyFile(const MFileObject& file, const char*,
                                                        short) const {
  try {
    return isBvhFileName(file.resolvedName()) ? kIsMyFileType : kNotMyFileType;
  } catch (...) {
    return kNotMyFileType;
  }
}

bool imocapImport::isBvhFileName(const MString& name) {
  int dot = name.rindex('.');
  if (dot < 0) return false;
  MString extension = name.substring(dot + 1, static_cast<int>(name.length()) - 1);
  extension.toLowerCase();
  return extension == "bvh";
}

void imocapImport::parseOptions(const MString& options) {
  MStringArray entries;
  options.split(';', entries);
  for (unsigned int i = 0; i < entries.length(); ++i) {
    MStringArray parts;
    entries[i].split('=', parts);
    if (parts.length() < 2) continue;
    const MString& key = parts[0];
    const MString& value = parts[1];
    if (key == "bonesOnly") {
      bonesOnly = isTrue(value);
      bonesOnlyNamed = true;
    } else if (key == "merge") {
      merge = isTrue(value);
    } else if (key == "scale") {
      scale = value.asFloat();
    } else if (key == "rotationOrder") {
      rotationOrder = parseRotationOrder(value.asUTF8());
    } else if (key == "startFrame") {
      startFrame = value.asUnsigned();
    } else if (key == "endFrame") {
      endFrame = value.asUnsigned();
    } else if (key == "eulerFilter") {
      eulerFilter = isTrue(value);
    } else if (key == "fillTimeline") {
      fillTimeline = isTrue(value);
    } else if (key == "sceneRate") {
      sceneRate = isTrue(value);
    }
  }
}

MStatus imocapImport::reader(const MFileObject& file, const MString& optionsString,
                             FileAccessMode mode) {
  MStatus result = MS::kFailure;
  try {
    MString path = file.resolvedFullName();
    // An empty string (a script's import without options) changes no option.
    parseOptions(optionsString);
    MString name = file.resolvedName();
    int dot = name.rindex('.');
    sceneName = dot < 0 ? name : name.substring(0, dot - 1);
    result = readFromFile(path, mode == kOpenAccessMode, std::string());
  } catch (const std::bad_alloc&) {
    result = MS::kFailure;
    setFailure(failureText, "out of memory");
  } catch (...) {
    result = MS::kFailure;
    setFailure(failureText, "an unexpected error stopped the import");
  }
  try {
    if (!result) {
      MGlobal::displayError("Cannot import " + file.resolvedName() + ": " + failureText);
    } else {
      for (unsigned int i = 0; i < warningTexts.length(); ++i) {
        MGlobal::displayWarning(file.resolvedName() + ": " + warningTexts[i]);
      }
      // A script that names some options but not this one gets no motion at all, and would not
      // know why.
      if (bonesOnly && !bonesOnlyNamed) {
        MGlobal::displayWarning(file.resolvedName() +
                                ": only the joints were built, without motion: the options did "
                                "not name bonesOnly (bonesOnly=false keys the motion)");
      }
    }
  } catch (...) {
  }
  return result;
}

MStatus imocapImport::writer(const MFileObject& file, const MString& optionsString,
                             FileAccessMode mode) {
  MStatus result = MS::kFailure;
  MString failure;
  try {
    ExportOptions options;
    MStringArray entries;
    optionsString.split(';', entries);
    for (unsigned int i = 0; i < entries.length(); ++i) {
      MStringArray parts;
      entries[i].split('=', parts);
      if (parts.length() < 2) continue;
      if (parts[0] == "scale") {
        options.scale = parts[1].asDouble();
      } else if (parts[0] == "startFrame") {
        options.startFrame = parts[1].asUnsigned();
      } else if (parts[0] == "endFrame") {
        options.endFrame = parts[1].asUnsigned();
      } else if (parts[0] == "frameRate") {
        options.frameRate = parts[1].asDouble();
      }
    }
    MObject root;
    result = findExportRoot(mode == kExportActiveAccessMode, root, failure);
    if (result) result = exportSkeleton(root, file.expandedFullName().asUTF8(), options, failure);
  } catch (const std::bad_alloc&) {
    result = MS::kFailure;
    setFailure(failure, "out of memory");
  } catch (...) {
    result = MS::kFailure;
    setFailure(failure, "an unexpected error stopped the export");
  }
  try {
    if (!result) MGlobal::displayError("Cannot export " + file.resolvedName() + ": " + failure);
  } catch (...) {
  }
  return result;
}

MStatus imocapImport::readFromFile(const MString& path, bool openMode, const std::string& suffix) {
  failureText = MString();
  warningTexts = MStringArray();
  if (!isBvhFileName(path)) {
    failureText = "the file name does not end in .bvh";
    return MS::kFailure;
  }
  // asChar would be the ANSI code page on Windows, which loses the letters it lacks; from UTF-8
  // a wide path reaches any file there.
  const std::filesystem::path file = std::filesystem::u8path(path.asUTF8());
  std::ifstream input(file, std::ios::binary);
  if (!input) {
    failureText = "the file could not be opened";
    return MS::kFailure;
  }
  iSkeleton skeleton;
  int code = kMocapOk;
  {
    iMocapDataBvh bvh(&input, &skeleton);
    code = bvh.parse(suffix);
    if (code != kMocapOk) {
      failureText = describeParseFailure(
          code, bvh, [&file] { return std::make_unique<std::ifstream>(file, std::ios::binary); });
    } else if (skeleton.root == nullptr && bvh.cutShort() != iMocapDataBvh::CutShort::kNo) {
      // Cut before its first joint: there is nothing to import.
      failureText = "unexpected end of file at line ";
      failureText += static_cast<unsigned int>(bvh.line());
      return MS::kFailure;
    } else {
      std::vector<std::string> warnings = {
          axislessWarning(bvh),
          cutShortWarning(bvh, keyedFrames(bvh.motionBlocks(), *this, skeleton.frameCount)),
          zeroFramesWarning(bvh.motionBlocks(), *this, skeleton.frameCount)};
      addLinesLeftOutWarnings(bvh.motionBlocks(), warnings);
      warnings.push_back(notNumbersWarning(bvh));
      warnings.push_back(standardRateWarning(skeleton, *this));
      for (const std::string& warning : warnings) {
        if (!warning.empty()) warningTexts.append(utf8String(warning));
      }
    }
  }
  input.close();
  if (code != kMocapOk) return MS::kFailure;
  MStatus status = build(skeleton, openMode);
  if (!status) return status;
  status = adjustScene(skeleton, openMode);
  if (!status) {
    failureText = "the keys were written but the timeline could not be set ";
    failureText += status.errorString();
  }
  return status;
}

MStatus imocapImport::adjustScene(const iSkeleton& skeleton, bool openMode) {
  MTime first;
  MTime last;
  const MTime start = openMode ? MTime() : MAnimControl::currentTime();
  if (!keyedSpan(*this, skeleton, start, first, last)) return MS::kSuccess;
  if (sceneRate) {
    const MTime::Unit unit = standardRateUnit(skeleton.frameTime);
    if (unit == MTime::kInvalid) {
      const std::string rate = fileNumberText(1.0 / skeleton.frameTime);
      warningTexts.append(
          utf8String("the scene's time unit was left as it is: Maya has no unit of " + rate +
                     " frames/s (frame time " + fileNumberText(skeleton.frameTime) + " s)"));
    } else {
      MStatus status = MTime::setUIUnit(unit);
      if (!status) return status;
    }
  }
  return fillTimeline ? growTimeline(first, last) : MStatus(MS::kSuccess);
}

MStatus imocapImport::readFromText(const MString& text) {
  try {
    failureText = MString();
    warningTexts = MStringArray();
    std::istringstream input(std::string(text.asUTF8()));
    iSkeleton skeleton;
    iMocapDataBvh bvh(&input, &skeleton);
    int code = bvh.parse(std::string());
    if (code != kMocapOk) {
      failureText = describeParseFailure(code, bvh, [&text] {
        return std::make_unique<std::istringstream>(std::string(text.asUTF8()));
      });
      return MS::kFailure;
    }
    return build(skeleton, false);
  } catch (const std::bad_alloc&) {
    setFailure(failureText, "out of memory");
  } catch (...) {
    setFailure(failureText, "an unexpected error stopped the import");
  }
  return MS::kFailure;
}

MStatus imocapImport::readFromTake(const std::vector<TakeRun>& runs, const MTime& start,
                                   MObject& root) {
  try {
    failureText = MString();
    warningTexts = MStringArray();
    root = MObject::kNullObj;
    std::optional<ImportComputation> own;
    ImportComputation* const given = computation;
    if (given == nullptr) computation = &own.emplace();
    const RestoreComputation restore(*this, given);
    // The first run's skeleton holds the bindings to the joints built, which the later runs key.
    iSkeleton built;
    for (std::size_t i = 0; i < runs.size(); ++i) {
      iSkeleton fresh;
      iSkeleton& skeleton = i == 0 ? built : fresh;
      std::istringstream input(runs[i].text);
      iMocapDataBvh bvh(&input, &skeleton, runs[i].frames);
      if (bvh.parse(std::string()) != kMocapOk) {
        failureText = "the take's skeleton could not be read";
        return MS::kFailure;
      }
      if (i == 0) computation->addWork(skeleton.jointsByName.size() * runs.size());
      const MTime::Unit unit = standardRateUnit(skeleton.frameTime);
      const MTime runStart = unit != MTime::kInvalid
                                 ? MTime(start.as(unit) + static_cast<double>(runs[i].slot), unit)
                                 : start + MTime(skeleton.frameTime, MTime::kSeconds) *
                                               static_cast<double>(runs[i].slot);
      std::string failedJoint;
      MStatus status = i == 0 ? buildSkeleton(*this, skeleton, false, &failedJoint, &runStart)
                              : keyOntoBuilt(*this, skeleton, built, runStart, &failedJoint);
      if (i == 0 && built.root != nullptr) {
        auto* binding = dynamic_cast<imyAccessory*>(built.root->accessory.get());
        if (binding != nullptr) root = binding->object;
      }
      if (computation->interrupted()) {
        root = MObject::kNullObj;
        return undoInterrupted(built, false);
      }
      if (!status) {
        describeBuildFailure(status, skeleton, failedJoint);
        return status;
      }
    }
    return MS::kSuccess;
  } catch (const std::bad_alloc&) {
    setFailure(failureText, "out of memory");
  } catch (...) {
    setFailure(failureText, "an unexpected error stopped the import");
  }
  return MS::kFailure;
}

MStatus imocapImport::build(iSkeleton& skeleton, bool openMode) {
  std::optional<ImportComputation> own;
  ImportComputation* const given = computation;
  if (given == nullptr) computation = &own.emplace();
  // Put back however the build ends: a later read on this object (a converter's next file, the
  // device node's next skeleton) must never reach `own` once it is gone.
  const RestoreComputation restore(*this, given);
  computation->addWork(skeleton.jointsByName.size());
  std::string failedJoint;
  MStatus status = buildSkeleton(*this, skeleton, openMode, &failedJoint);
  if (computation->interrupted()) {
    status = undoInterrupted(skeleton, merge && !bonesOnly && !openMode);
  } else {
    describeBuildFailure(status, skeleton, failedJoint);
  }
  return status;
}

MStatus imocapImport::undoInterrupted(const iSkeleton& skeleton, bool merged) {
  MStatus status = MS::kSuccess;
  if (merged) {
    status = computation->restoreCurves();
  } else if (skeleton.root != nullptr) {
    // The top transform holds everything built; the curves go with the joints they drive.
    auto* binding = dynamic_cast<imyAccessory*>(skeleton.root->accessory.get());
    if (binding != nullptr && !binding->object.isNull()) {
      MObject top = MFnDagNode(binding->object).parent(0, &status);
      if (status) status = MGlobal::deleteNode(top);
    }
  }
  failureText = status ? "the import was cancelled (interrupted); the scene is as it was before it"
                       : "the import was cancelled (interrupted) and what it changed could not all "
                         "be undone ";
  if (!status) failureText += status.errorString();
  return MS::kFailure;
}

void imocapImport::describeBuildFailure(const MStatus& status, const iSkeleton& skeleton,
                                        const std::string& failedJoint) {
  if (!status && skeleton.root == nullptr) {
    failureText = "the file holds no joints";
  } else if (!status) {
    failureText = "the scene could not be built";
    if (!failedJoint.empty()) {
      failureText += utf8String(" at joint \"" + failedJoint + "\"");
    }
    failureText += " ";
    failureText += status.errorString();
  }
}
