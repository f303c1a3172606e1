#pragma once

#include <maya/MDataBlock.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MTypeId.h>

// "sumNode": result = (inputA + inputB, inputA - inputB, inputA * inputB); "label" is a string.
class SumNode : public MPxNode {
 public:
  SumNode();
  ~SumNode() override;
  void postConstructor() override;
  MStatus compute(const MPlug& plug, MDataBlock& block) override;

  static void* creator();
  static MStatus initialize();
  // Adds an attribute, then fails.
  static MStatus initializeBroken();

  static const MTypeId id;
  static MObject inputA;
  static MObject inputB;
  static MObject label;
  static MObject resultX;
  static MObject resultY;
  static MObject resultZ;
  static MObject result;
};
