#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <memory>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MPlug;

// Queues dependency-graph edits: nothing changes until doIt, and undoIt takes back what the last
// doIt did, last edit first. Not copyable.
class MDGModifier {
 public:
  MDGModifier();
  virtual ~MDGModifier();

  // Queues a connection; kInvalidParameter at once for a plug that is not on its node.
  MStatus connect(const MObject& sourceNode, const MObject& sourceAttr, const MObject& destNode,
                  const MObject& destAttr);
  MStatus connect(const MPlug& source, const MPlug& dest);
  // Runs the queued edits in order; the first failure stops it and is returned, the edits
  // before it staying done.
  MStatus doIt();
  MStatus undoIt();

 private:
  struct Edits;

  MDGModifier(const MDGModifier&) = delete;
  MDGModifier& operator=(const MDGModifier&) = delete;

  std::unique_ptr<Edits> edits;
};

OPENMAYA_NAMESPACE_CLOSE
