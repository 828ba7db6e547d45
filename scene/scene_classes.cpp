// scene_classes.cpp -- registration of the scene classes and the mesh section reader
#include "scene/scene_classes.h"

#include "framework/persist.h"
#include "framework/refobj.h"
#include "scene/frame.h"
#include "scene/mesh.h"

void VokRegisterSceneClasses() {
    VokRegisterFrameworkClasses();
    VokRegisterClassInfo(&TVokVMesh::classRecord, "TVokVMesh", "TVokStringTree", TVokVMesh::Create);
    VokRegisterClassInfo(&TVokVFrame::classRecord, "TVokVFrame", "TVokStringTree", TVokVFrame::Create);
    VokRegisterClassInfo(&TVokPolygonMesh::classRecord, "TVokPolygonMesh", "TVokVMesh",
                         TVokPolygonMesh::Create);
    VokRegisterClassInfo(&TVokFrame::classRecord, "TVokFrame", "TVokVFrame", TVokFrame::Create);
    RegisterSectionReader(VOK_POLYGON_MESH_SECTION, ReadPolygonMeshSection);
}
