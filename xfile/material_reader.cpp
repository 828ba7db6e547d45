// material_reader.cpp -- materials and mesh material lists: the texture file name of a mesh
#include "xfile/reader.h"
#include "xfile/reader_tokens.h"

std::string lastTextureFileName;

void VokResetMaterialReader() {
    lastTextureFileName.clear();
}

namespace {

// Number of values of a material before its optional children: face colour (4),
// power, specular colour (3), emissive colour (3).
constexpr int MATERIAL_VALUE_COUNT = 11;

bool IsTextureKeyword(const TVokToken& token) {
    return VokTokenIs(token, "TextureFilename") || VokTokenIs(token, "TextureFileName");
}

// The body of a Material block, called just after the keyword "Material". Consumes the
// block (standalone) or the rest of the material list (list mode).
void ReadMaterialBody(TVokTokenizer* tokenizer, TVokToken& current, TVokPolygonMesh* mesh, bool standalone) {
    VokTake(tokenizer, current); // the material's name (unused), or "{"
    VokSkipFromCurrentUntil(tokenizer, current, "{");
    float value = 0.0f;
    for (int i = 0; i < MATERIAL_VALUE_COUNT; i++) {
        VokTakeNumberToken(tokenizer, current);
        VokTokenToFloat(current.get(), &value); // the colours are not kept
    }
    VokTake(tokenizer, current);
    while (!VokTokenAtEnd(current) && !VokTokenMayHoldNumber(current) && !VokTokenIs(current, "}")) {
        VokTake(tokenizer, current);
    }
    if (IsTextureKeyword(current)) {
        // TextureFilename { "name"; }: the brace, the double quote, then the name.
        VokTake(tokenizer, current);
        VokTake(tokenizer, current);
        VokTake(tokenizer, current);
        if (!standalone && mesh != nullptr) {
            mesh->SetMaterialName(current.get());
        }
        lastTextureFileName = current.get();
        VokSkipFromCurrentUntil(tokenizer, current, "}");
        VokTake(tokenizer, current);
    }
    if (!standalone) {
        SkipToClosingBrace(tokenizer, current); // the end of this Material block
        VokTake(tokenizer, current);
    }
    SkipToClosingBrace(tokenizer, current); // the Material block, or the whole list
}

} // namespace

void SkipToClosingBrace(TVokTokenizer* tokenizer, TVokToken& current) {
    int depth = 1;
    while (!VokTokenAtEnd(current)) {
        if (VokTokenIs(current, "}")) {
            depth--;
            if (depth <= 0) {
                return;
            }
        } else if (VokTokenIs(current, "{")) {
            depth++;
        }
        VokTake(tokenizer, current);
    }
}

void ReadMaterial(TVokTokenizer* tokenizer, TVokPolygonMesh* mesh, bool standalone) {
    TVokToken current;
    if (standalone) {
        ReadMaterialBody(tokenizer, current, nullptr, true);
        return;
    }
    VokTakeUntil(tokenizer, current, "{"); // the list's own brace
    if (VokTokenAtEnd(current)) {
        return;
    }
    VokTake(tokenizer, current);
    for (;;) {
        if (VokTokenAtEnd(current)) {
            return;
        }
        if (VokTokenIs(current, "Material")) {
            ReadMaterialBody(tokenizer, current, mesh, false);
            return;
        }
        if (VokTokenIs(current, "{")) {
            // A reference { Name }: no lookup by name; the mesh takes the most
            // recent texture file name read in the document.
            VokTake(tokenizer, current);
            SkipToClosingBrace(tokenizer, current);
            VokTake(tokenizer, current);
            SkipToClosingBrace(tokenizer, current);
            if (mesh != nullptr) {
                mesh->SetMaterialName(lastTextureFileName.c_str());
            }
            return;
        }
        VokTake(tokenizer, current);
    }
}
