// texture_slots.h -- the fixed table of texture slots that render objects point at
#pragma once

#include "platform/d3d7.h"

constexpr int MAX_TEXTURES = 4;

extern IDirectDrawSurface7* textureSlots[MAX_TEXTURES]; // one surface reference per slot, null when empty
extern int textureCount; // slots handed out so far (0 .. MAX_TEXTURES); only grows

// Hands out the next slot (textureSlots[textureCount]) and counts it, or returns null with a line on
// stderr naming MAX_TEXTURES when all slots are taken.
IDirectDrawSurface7** allocateTextureSlot();

// Releases the surface held by the slot, if any, and empties the slot. Null slot: nothing.
void releaseTexture(IDirectDrawSurface7** slot);

// Empties the slot without releasing anything (for a slot known to be empty before it is filled).
void clearTextureSlot(IDirectDrawSurface7** slot);

// Restore on the surface held by the slot (result in lastResult). Empty or null slot: nothing.
void restoreTexture(IDirectDrawSurface7** slot);

// Releases every slot's surface and sets textureCount to 0 (tests).
void resetTextureSlots();
