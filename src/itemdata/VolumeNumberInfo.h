#pragma once

#include <cstdint>

// Which volume of a split or spanned archive is meant. Volumes are counted
// from 0 here; handlers see them counted from 1.

enum TCVVolumeRole : uint8_t { vrFirst = 0, vrLast = 1, vrNumbered = 2, vrUnknown = 3 };

static_assert(sizeof(TCVVolumeRole) == 1);

class TCVVolumeNumberInfo {
 public:
  TCVVolumeRole Role = vrUnknown;
  // -1 when not yet known.
  int32_t Number = -1;
  // The archive's last volume; -1 when not yet known.
  int32_t LastNumber = -1;

  // Role vrUnknown, Number and LastNumber -1.
  void Reset();
  // With Apply: Number 0, Role vrFirst. Without: nothing.
  void SetFirst(bool Apply);
  // With Apply: Number := LastNumber (which may still be -1), Role vrLast.
  void SetLast(bool Apply);
  void SetNumber(int32_t N);

  // Number is 0; the role is not looked at.
  bool IsFirst() const;
  // While LastNumber is unknown only the role can tell.
  bool IsLast() const;
  // Whether Other names the volume this one names: last against last, first
  // against first, an undetermined number by role, otherwise by number.
  bool SameVolume(const TCVVolumeNumberInfo& Other) const;
};
