// Sprite rendering: the bitmap sets of the flower types; compositing, the petal passes, the branch.
#ifndef MIVORA_RENDER_H
#define MIVORA_RENDER_H

#include "sim/sim.h"
#include "win32.h"

#define FLOWER_TYPES 7
#define KEPT_SPRITE_DCS 4  // the memory contexts of the sprite work, kept from the first sprite to the end
#define MIXED_FLOWER_TYPE 99

// The resource ids of one flower type's pictures and masks.
struct BitmapSet {
  WORD branchPicture;
  WORD branchMask;
  WORD petalPicture[PETALS_PER_FLOWER];
  WORD petalMask[PETALS_PER_FLOWER];
};

extern const BitmapSet BitmapSets[FLOWER_TYPES];
extern const BitmapSet MixedBitmapSet;

void LoadBitmapSets(int reload);
void LoadBranchBitmaps(Branch *branch, int reload);
void LoadPetalBitmaps(Flower *flower, int reload);

void GetBitmapSize(RECT *rect, HBITMAP bitmap);
HBITMAP CreateSpriteBitmap(int width, int height);
HBITMAP AsSpriteBitmap(HBITMAP loaded);
void MaskedBlit(HDC dc, HBITMAP mask, HBITMAP picture, int x, int y, int width, int height);
void SavePetalBackground(HDC dc, Petal *petal);
void RestorePetalBackground(HDC dc, Petal *petal);
void InvalidateOnTarget(HRGN region);
void RepaintScreen();
void InvalidatePetal(Petal *petal);
void DrawPetal(Petal *petal);
void ErasePetals();
void SavePetalBackgrounds();
void DrawPetals();
void DrawBranchSprite(Branch *branch);
void DrawBranch();
void EraseBranchSprite(Branch *branch);
void EraseBranch();
void DeleteSpriteObjects();
void ResetRenderState();

#endif
