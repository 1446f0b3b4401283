#include "itemdata/VolumeNumberInfo.h"

void TCVVolumeNumberInfo::Reset() {
  Role = vrUnknown;
  Number = -1;
  LastNumber = -1;
}

void TCVVolumeNumberInfo::SetFirst(bool Apply) {
  if (!Apply) return;
  Number = 0;
  Role = vrFirst;
}

void TCVVolumeNumberInfo::SetLast(bool Apply) {
  if (!Apply) return;
  Number = LastNumber;
  Role = vrLast;
}

void TCVVolumeNumberInfo::SetNumber(int32_t N) {
  Number = N;
  Role = vrNumbered;
}

bool TCVVolumeNumberInfo::IsFirst() const { return Number == 0; }

bool TCVVolumeNumberInfo::IsLast() const {
  if (LastNumber == -1) return Role == vrLast;
  return Number == LastNumber;
}

bool TCVVolumeNumberInfo::SameVolume(const TCVVolumeNumberInfo& Other) const {
  if (IsLast()) return Other.IsLast();
  if (IsFirst()) return Other.IsFirst();
  if (Number < 0) return Role == Other.Role;
  return Number == Other.Number;
}
