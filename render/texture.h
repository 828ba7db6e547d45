// texture.h -- bitmap files into 16-bit texture surfaces, and scene files into render objects
#pragma once

#include "platform/d3d7.h"
#include "render/render_object.h"

class TVokFrame;

// Size of the buffers for the message text and for a scene's texture file name; longer texts are cut.
constexpr int TEXTURE_NAME_BUFFER = 256;

// Caption of the message box for a bitmap that cannot be opened; the text is "Texure Cannot Open \"name\"".
constexpr const char* TEXTURE_OPEN_CAPTION = "Texure Cannot Open";

// Reads a Windows bitmap file into a new 16-bit RGB texture surface of the bitmap's size, held by `slot`.
// Returns true when the slot holds the new surface (even if its pixels could not be copied). A file that
// cannot be read shows the message box and returns false; a surface that cannot be created (lastResult)
// returns false. The slot is unchanged on failure. Null arguments: false.
bool loadTexture(IDirectDraw7* directDraw, IDirect3DDevice7* device, IDirectDrawSurface7** slot,
                 const char* fileName, char hardwareDevice);

// EnumTextureFormats callback: copies the first 16-bit RGB format without alpha, luminance, bump map or
// FourCC code into the DDPIXELFORMAT at `target` and stops.
HRESULT CALLBACK findTextureFormat(LPDDPIXELFORMAT candidate, LPVOID target);

// Reads a scene file and turns the first attachment of its root frame, when it is a TVokPolygonMesh, into
// a triangle list in `object` (world identity, faces fanned around their first corner). If `slot` is not
// null and empty, the texture named by the mesh's material is loaded into it (and restored). The object
// points at `slot` afterwards. An unreadable file leaves the object untouched; a root without a polygon
// mesh gives an object with no vertices; a mesh without a material or texture name is untextured. The
// scene objects are released before returning.
void convertScene(RenderObject* object, const char* fileName, IDirectDrawSurface7** slot);

// Number of triangle-list vertices of the first mesh of the scene: the sum of 3 * (k - 2) over its faces
// of k >= 3 corners. 0 when there is no polygon mesh; saturates at MAX_OBJECT_VERTICES + 1 (too many).
int countSceneVertices(TVokFrame* root);

// Writes the fanned triangles of the first mesh into `vertices`, at most `capacity` of them, copying each
// corner's vertex whole. A corner index outside the mesh's vertices gives a zero vertex. Returns the
// number written.
int fillSceneVertices(TVokFrame* root, Vertex* vertices, int capacity);

// Copies the texture name of the first mesh's material into `name` (TEXTURE_NAME_BUFFER characters,
// cut to fit and always terminated); the empty text when there is no mesh, material or name.
void getSceneTextureName(TVokFrame* root, char name[TEXTURE_NAME_BUFFER]);
