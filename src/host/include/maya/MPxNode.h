#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MTypes.h>

namespace host {
class PluginNode;
}  // namespace host

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MDataBlock;
class MPlug;

// Base of plug-in dependency nodes. The host creates a node with the type's creator, attaches it
// to its scene node (thisMObject is null until then), calls postConstructor, and deletes it when
// the scene node is deleted. compute runs on the main thread for a dirty output.
class MPxNode {
 public:
  // Values as in the devkit, up to the last kind this host runs.
  enum Type {
    kDependNode = 0,
    kLocatorNode,
    kDeformerNode,
    kManipContainer,
    kSurfaceShape,
    kFieldNode,
    kEmitterNode,
    kSpringNode,
    kIkSolverNode,
    kHardwareShader,
    kHwShaderNode,
    kTransformNode,
    kObjectSet,
    kFluidEmitterNode,
    kImagePlaneNode,
    kParticleAttributeMapperNode,
    kCameraSetNode,
    kConstraintNode,
    kManipulatorNode,
    kMotionPathNode,
    kClientDeviceNode,
    kThreadedDeviceNode = 21
  };

  MPxNode();
  virtual ~MPxNode();

  virtual void postConstructor();
  // kUnknownParameter unless overridden (the plug is not one this node computes).
  virtual MStatus compute(const MPlug& plug, MDataBlock& dataBlock);
  virtual MObject thisMObject() const;

  // Only valid inside the initialize function of the node type being registered.
  static MStatus addAttribute(const MObject& attr);
  static MStatus attributeAffects(const MObject& whenChanges, const MObject& isAffected);

 private:
  friend class host::PluginNode;
  host::PluginNode* binding = nullptr;
};

OPENMAYA_NAMESPACE_CLOSE
