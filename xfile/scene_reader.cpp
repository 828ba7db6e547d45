// scene_reader.cpp -- a whole scene file: top-level blocks and Frame blocks with their transforms
#include "framework/refobj.h"
#include "scene/scene_classes.h"
#include "xfile/reader.h"
#include "xfile/reader_tokens.h"

namespace {

TVokFrame* NewFrame() {
    TVokLSObj* object = CreateObject("TVokFrame");
    if (object == nullptr) {
        VokRegisterSceneClasses();
        object = CreateObject("TVokFrame");
    }
    TVokFrame* frame = dynamic_cast<TVokFrame*>(object);
    if (frame == nullptr) {
        if (object != nullptr) {
            object->Release();
        }
        frame = static_cast<TVokFrame*>(TVokFrame::Create());
    }
    return frame;
}

// FrameTransformMatrix { m0 , m1 , ... m15 ;; }: exactly one token is passed over
// between numbers; number k goes to element k (row k / 4, column k mod 4).
void ReadTransformMatrix(TVokTokenizer* tokenizer, TVokToken& current, TVokFrame* frame, float* scratch) {
    VokTakeUntil(tokenizer, current, "{");
    for (int k = 0; k < 16; k++) {
        if (k > 0) {
            VokTake(tokenizer, current); // the separator
        }
        VokTake(tokenizer, current);
        VokTokenToFloat(current.get(), scratch);
        frame->localMatrix.m[k] = *scratch;
    }
    VokTake(tokenizer, current);
    VokTakeUntil(tokenizer, current, "}");
}

// Attaches a freshly read mesh to the frame, which becomes its only owner.
void AttachMesh(TVokFrame* frame, TVokPolygonMesh* mesh) {
    frame->Attach(mesh);
    mesh->Release();
}

TVokFrame* ReadFrameAtDepth(TVokTokenizer* tokenizer, int depth) {
    TVokFrame* frame = NewFrame();
    float floatScratch = 0.0f;
    TVokToken current;
    VokTake(tokenizer, current);
    frame->SetName(VokTokenIs(current, "{") ? "" : current.get());
    for (;;) {
        VokTake(tokenizer, current);
        if (VokTokenAtEnd(current) || VokTokenIs(current, "}")) {
            return frame;
        }
        if (VokTokenIs(current, "Frame")) {
            if (depth < VOK_MAX_FRAME_DEPTH) {
                frame->AppendChild(ReadFrameAtDepth(tokenizer, depth + 1));
            }
        } else if (VokTokenIs(current, "Material")) {
            ReadMaterial(tokenizer, nullptr, true);
        } else if (VokTokenIs(current, "Mesh")) {
            AttachMesh(frame, ReadMesh(tokenizer));
        } else if (VokTokenIs(current, "FrameTransformMatrix")) {
            ReadTransformMatrix(tokenizer, current, frame, &floatScratch);
        }
        // "{" and every other token: passed over. No braces are counted here, so the
        // first "}" ends the frame, whatever block it closes.
    }
}

// Passes over a template or Header block; false when the input ends inside it.
bool SkipBlock(TVokTokenizer* tokenizer) {
    int depth = 0;
    TVokToken current;
    for (;;) {
        VokTake(tokenizer, current);
        if (VokTokenAtEnd(current)) {
            return false;
        }
        if (VokTokenIs(current, "{")) {
            depth++;
        } else if (VokTokenIs(current, "}")) {
            if (depth == 1) {
                return true;
            }
            depth--;
        }
    }
}

} // namespace

TVokFrame* ReadFrame(TVokTokenizer* tokenizer) {
    return ReadFrameAtDepth(tokenizer, 1);
}

namespace {

// The top level of a document: the last top-level Frame, or the frame made for the
// first top-level Mesh.
TVokFrame* ReadDocument(TVokTokenizer& tokenizer) {
    TVokFrame* result = nullptr;
    TVokToken current;
    for (;;) {
        VokTake(&tokenizer, current);
        if (VokTokenAtEnd(current)) {
            break;
        }
        if (VokTokenIs(current, "template") || VokTokenIs(current, "Header")) {
            if (!SkipBlock(&tokenizer)) {
                break;
            }
        } else if (VokTokenIs(current, "Material")) {
            ReadMaterial(&tokenizer, nullptr, true);
        } else if (VokTokenIs(current, "Frame")) {
            TVokFrame* frame = ReadFrame(&tokenizer);
            if (result != nullptr) {
                result->Release();
            }
            result = frame;
        } else if (VokTokenIs(current, "Mesh")) {
            // A mesh outside any frame gets a frame of its own (with a null name) and
            // ends the read.
            TVokFrame* holder = NewFrame();
            AttachMesh(holder, ReadMesh(&tokenizer));
            if (result != nullptr) {
                result->Release();
            }
            result = holder;
            break;
        }
    }
    return result;
}

} // namespace

TVokFrame* ReadScene(const char* fileName) {
    VokResetMaterialReader();
    VokRegisterSceneClasses();
    TVokTokenizer tokenizer;
    if (fileName == nullptr || !tokenizer.LoadFile(fileName)) {
        return nullptr;
    }
    return ReadDocument(tokenizer);
}

TVokFrame* ReadSceneFromMemory(const void* bytes, int32_t count) {
    VokResetMaterialReader();
    VokRegisterSceneClasses();
    TVokTokenizer tokenizer;
    if (!tokenizer.LoadBytes(bytes, count)) {
        return nullptr;
    }
    return ReadDocument(tokenizer);
}
