// texture_slots.cpp -- the texture slot table and the operations on one slot
#include "render/texture_slots.h"

#include <cstdio>

#include "render/device.h"

IDirectDrawSurface7* textureSlots[MAX_TEXTURES] = {};
int textureCount = 0;

IDirectDrawSurface7** allocateTextureSlot() {
    if (textureCount < 0 || textureCount >= MAX_TEXTURES) {
        std::fprintf(stderr, "allocateTextureSlot: MAX_TEXTURES (%d) reached, slot refused\n", MAX_TEXTURES);
        return nullptr;
    }
    return &textureSlots[textureCount++];
}

void releaseTexture(IDirectDrawSurface7** slot) {
    if (slot == nullptr || *slot == nullptr) return;
    (*slot)->Release();
    *slot = nullptr;
}

void clearTextureSlot(IDirectDrawSurface7** slot) {
    if (slot != nullptr) *slot = nullptr;
}

void restoreTexture(IDirectDrawSurface7** slot) {
    if (slot == nullptr || *slot == nullptr) return;
    lastResult = (*slot)->Restore();
}

void resetTextureSlots() {
    for (int i = 0; i < MAX_TEXTURES; ++i)
        releaseTexture(&textureSlots[i]);
    textureCount = 0;
}
