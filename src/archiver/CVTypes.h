#pragma once

#include <cstdint>

// The component's enumerations. One byte each; the value order is fixed.

enum TCVCompressionLevel : uint8_t { clNone = 0, clFastest = 1, clNormal = 2, clMax = 3 };

enum TCVProcessOperation : uint8_t {
  poAdd = 0,
  poMove = 1,
  poDelete = 2,
  poUpdate = 3,
  poExtract = 4,
  poTest = 5,
  poRename = 6,
  poChangeAttr = 7,
  poChangeComment = 8,
  poMakeSFX = 9,
};

enum TCVProgressPhase : uint8_t { ppStart = 0, ppProcess = 1, ppEnd = 2 };

enum TCVAction : uint8_t { fxaRetry = 0, fxaIgnore = 1, fxaAbort = 2 };

enum TCVOverwriteMode : uint8_t { omPrompt = 0, omAlways = 1, omNever = 2, omIfNewer = 3, omIfOlder = 4 };

enum TCVFileShareMode : uint8_t {
  smShareCompat = 0,
  smShareExclusive = 1,
  smShareDenyWrite = 2,
  smShareDenyRead = 3,
  smShareDenyNone = 4,
};

enum TCVStorePathMode : uint8_t { spNoPath = 0, spRelativePath = 1, spFullPath = 2, spFullPathWithDrive = 3 };

enum TZip64Mode : uint8_t { zmDisabled = 0, zmAuto = 1, zmAlways = 2 };

enum TCVSpanningMode : uint8_t { smNone = 0, smSpanning = 1, smSplitting = 2 };

enum TCVVolumeSize : uint8_t {
  vsAutoDetect = 0,
  vsCustom = 1,
  vs1_44MB = 2,
  vs100MB = 3,
  vs200MB = 4,
  vs250MB = 5,
  vs600MB = 6,
  vs650MB = 7,
  vs700MB = 8,
};

static_assert(sizeof(TCVProcessOperation) == 1 && sizeof(TCVVolumeSize) == 1 && sizeof(bool) == 1);
