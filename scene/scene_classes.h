// scene_classes.h -- registration of the scene classes and the mesh section reader
#pragma once

// Registers the framework's six classes (first), then "TVokVMesh", "TVokVFrame",
// "TVokPolygonMesh" and "TVokFrame" in that order, and the reader of the
// "TVokPolygonMeshTag" section in the tag table. Idempotent: may be called any
// number of times (also again after VokShutdownFramework). ReadScene calls it;
// the application calls it at start-up.
void VokRegisterSceneClasses();
