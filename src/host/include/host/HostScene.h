#pragma once

#include <host/Value.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <string>
#include <vector>

// The host's own controls over its scene, for tests, tools and the host itself; module code
// never includes this. Main thread only. Nodes are named by full DAG path ("|walk|Hips") or by
// name ("Hips", "rig:Hips"), which must then be unique. Values are in the scene's UI units here
// (degrees and centimetres in a new scene), as Maya's getAttr and setAttr show them (plugs and
// function sets use internal units: centimetres, radians), rounded to 15 significant digits
// when converted, to hide the noise of the conversion.
namespace host {

// Deletes every node (through the same path as a single deletion, so plug-in nodes are told),
// forgets namespaces and selection, and sets the time back to 0. The errors and warnings shown are
// kept, as they are after File > New.
void emptyScene();
// emptyScene() and forget the errors and warnings too: a fresh session, for test fixtures.
void resetScene();

// Creates a node of a registered type ("transform", "joint", "mesh", "animCurveTL", plug-in
// types) under an optional DAG parent and renames it when a name is given. created receives the
// node's path. kInvalidParameter for an unknown type or a bad parent or name.
MStatus createNode(const std::string& typeName, const std::string& name = "",
                   const std::string& parent = "", std::string* created = nullptr);
// The node with its DAG descendants; kNotFound when no such node.
MStatus deleteNode(const std::string& node);
// The same as Maya's delete with undo on: the nodes leave the scene at once (device threads
// ended), but plug-in nodes' objects wait in the undo queue, their destructors not yet run, until
// flushUndo(), an unload of their plug-in (which flushes first, as Maya does) or emptyScene().
MStatus deleteNodeUndoably(const std::string& node);
void flushUndo();
// The node's handle; kNullObj when not found.
MObject findNode(const std::string& node);
// Adds a namespace and its missing parents ("rig", "a:b").
MStatus addNamespace(const std::string& name);

// "node.attribute" by long or short attribute name. Setting fails with kInvalidParameter on a
// locked plug, a driven plug or a value of the wrong kind; numbers convert between bool, int and
// double. Getting evaluates what the node computes, after marking dirty what device threads
// asked to refresh since the last read; a driven plug reads its source (a curve at the current
// time, through any unitConversion).
MStatus setAttribute(const std::string& plug, const Value& value);
MStatus getAttribute(const std::string& plug, Value& value);
// Reads plugs in order as one evaluation, as a viewport refresh does: what device threads
// flagged since the last read dirties the scene once, before the first plug, never between two,
// and a node whose compute fails is not asked again (its outputs read as they were).
// Stops at the first plug that cannot be read and returns its status.
MStatus getAttributes(const std::vector<std::string>& plugs, std::vector<Value>& values);

// Connects "node.attribute" to "node.attribute", through a unitConversion node where Maya makes
// one; kInvalidParameter when the destination is already driven or locked.
MStatus connectAttributes(const std::string& source, const std::string& destination);

// How often MFnAnimCurve::addKeys and addKeyframe were called on a curve; kNotFound when the
// node is no curve.
struct CurveCalls {
  unsigned long addKeys = 0;
  unsigned long addKeyframe = 0;
};
MStatus curveCalls(const std::string& curve, CurveCalls& calls);

void setCurrentTime(double seconds);
// Replaces the active selection; kNotFound (selection unchanged) when a node is missing.
MStatus select(const std::vector<std::string>& nodes);
// Paths (names for dependency nodes) in creation order; every node when typeName is empty.
std::vector<std::string> listNodes(const std::string& typeName = "");
// Messages shown with MGlobal::displayError, in order.
std::vector<std::string> errors();
// Messages shown with MGlobal::displayWarning, in order; kept and forgotten with the errors.
std::vector<std::string> warnings();
// Whether shown errors and warnings are also written to standard error, as Maya's output window
// shows them (true unless set; resetScene keeps the setting). A tool that polls a command whose
// failures it expects turns it off meanwhile.
void setMessagesEchoed(bool echoed);

// The scene as JSON text:
// {"currentTime": seconds, "units": [linear, angle, time] (currentUnit's short names),
//  "namespaces": [...], "selection": [paths], "errors": [...],
//  "nodes": [ {"name", "path", "type", "parent": path or null, ...} in creation order ]}
// Transforms and joints add "translate", "rotate", "rotateOrder" ("xyz" ... "zyx"), joints
// "jointOrient", in UI units, stored (not evaluated); animation curves add "drives"
// ("<path>.<attribute>" or null; the plug a unitConversion it feeds drives), "keys"
// ([[seconds, value in internal units], ...] in time order) and "tangents" ([[in, out], ...],
// keyTangent's names: "auto", "spline", "linear", "step", ...); other nodes add "attributes"
// (long name to stored value, vectors as arrays, not evaluated). Numbers are in their shortest form
// that reads back to the same double. Top-level entries and nodes are one per line.
std::string sceneJson();

}  // namespace host
