#include "SumNode.h"

#include <maya/MDataHandle.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnStringData.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MString.h>

#include <string>

#include "EventLog.h"

const MTypeId SumNode::id(0x7f001);
MObject SumNode::inputA;
MObject SumNode::inputB;
MObject SumNode::label;
MObject SumNode::resultX;
MObject SumNode::resultY;
MObject SumNode::resultZ;
MObject SumNode::result;

SumNode::SumNode() {
  testplugin::record(std::string("sum constructed, thisMObject ") +
                     (thisMObject().isNull() ? "null" : "set"));
}

SumNode::~SumNode() { testplugin::record("sum destroyed"); }

void SumNode::postConstructor() {
  testplugin::record(std::string("sum postConstructor, thisMObject ") +
                     (thisMObject().isNull() ? "null" : "set"));
}

MStatus SumNode::compute(const MPlug& plug, MDataBlock& block) {
  if (!(plug == result || plug == resultX || plug == resultY || plug == resultZ)) {
    return MS::kUnknownParameter;
  }
  testplugin::record(std::string("compute ") + plug.name().asChar());
  double a = MPlug(thisMObject(), inputA).asDouble();
  double b = MPlug(thisMObject(), inputB).asDouble();
  MStatus status;
  MDataHandle handle = block.outputValue(result, &status);
  if (!status) return status;
  double3& values = handle.asDouble3();
  values[0] = a + b;
  values[1] = a - b;
  values[2] = a * b;
  handle.setClean();
  return block.setClean(plug);
}

void* SumNode::creator() { return new SumNode; }

MStatus SumNode::initialize() {
  MFnNumericAttribute numeric;
  MFnTypedAttribute typed;
  MFnStringData text;
  MStatus status;
  inputA = numeric.create("inputA", "ia", MFnNumericData::kDouble, 1.0, &status);
  if (!status) return status;
  inputB = numeric.create("inputB", "ib", MFnNumericData::kDouble, 2.0, &status);
  if (!status) return status;
  label = typed.create("label", "lb", MFnData::kString, text.create("sum"), &status);
  if (!status) return status;
  resultX = numeric.create("resultX", "rx", MFnNumericData::kDouble, 0.0, &status);
  if (!status) return status;
  resultY = numeric.create("resultY", "ry", MFnNumericData::kDouble, 0.0, &status);
  if (!status) return status;
  resultZ = numeric.create("resultZ", "rz", MFnNumericData::kDouble, 0.0, &status);
  if (!status) return status;
  result = numeric.create("result", "res", resultX, resultY, resultZ, &status);
  if (!status) return status;
  numeric.setHidden(true);
  for (const MObject* attribute : {&inputA, &inputB, &label, &result}) {
    status = addAttribute(*attribute);
    if (!status) return status;
  }
  status = attributeAffects(inputA, result);
  if (!status) return status;
  return attributeAffects(inputB, result);
}

MStatus SumNode::initializeBroken() {
  MFnNumericAttribute numeric;
  addAttribute(numeric.create("broken", "brk", MFnNumericData::kDouble));
  return MS::kFailure;
}
