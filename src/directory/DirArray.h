#pragma once

#include <cstdint>
#include <vector>

#include "directory/DirItem.h"

// The items of one directory. Capacity and Count are kept apart on purpose:
// slots past Count are spare and, after a shrink, keep their old contents
// until they are reused; GrowStep survives SetCount(0). Every new slot starts
// cleared. An index outside 0..Count-1 raises ECVException (without a
// component) with code 1 (SetItem), 2 (GetItem), 3 (ItemPtr) or 4 (Delete),
// and leaves the array unchanged.
//
// Releasing a slot (Delete, Clear, SetCount(0), destruction) drops its
// extra-field data and frees its SourceStream when OwnsSourceStream is set.
class TCVDirArray {
 public:
  static constexpr int32_t InitialGrowStep = 500;
  static constexpr int32_t MaxGrowStep = 10000;

  TCVDirArray() = default;
  ~TCVDirArray();
  TCVDirArray(const TCVDirArray&) = delete;
  TCVDirArray& operator=(const TCVDirArray&) = delete;

  int32_t Count() const { return FCount; }
  int32_t Capacity() const { return FCapacity; }
  int32_t GrowStep() const { return FGrowStep; }

  // Growing past Capacity doubles GrowStep (up to MaxGrowStep) and allocates
  // Capacity + GrowStep slots, or exactly N when that is more. N = 0 releases
  // every slot and the storage. A smaller N releases nothing. A negative N
  // counts as 0.
  void SetCount(int32_t N);

  // A copy of the item; it never owns the SourceStream.
  void GetItem(int32_t Index, TDirItem& Item) const;
  // Replaces the item at Index by a copy of Item, extra-field data included.
  // Item's OwnsSourceStream passes to the stored item. The old item's owned
  // SourceStream is freed unless Item names the same stream, which then
  // stays owned.
  void SetItem(int32_t Index, const TDirItem& Item);
  // The stored item, to read and change in place. Valid until the array
  // grows or an item before it is deleted.
  TDirItem& ItemPtr(int32_t Index);
  const TDirItem& ItemPtr(int32_t Index) const;
  // This array becomes a copy of Source (streams are not owned by the copy).
  void Assign(const TCVDirArray& Source);
  // Releases the item and moves every later one down by one place.
  void Delete(int32_t Index);
  // Releases the items in use; Count becomes 0, Capacity and slots stay.
  void Clear();
  void ClearMarks();

 private:
  void CheckIndex(int32_t Index, int32_t NativeError) const;
  static void ReleaseSlot(TDirItem& Item);

  std::vector<TDirItem> FItems;  // FItems.size() == FCapacity
  int32_t FGrowStep = InitialGrowStep;
  int32_t FCapacity = 0;
  int32_t FCount = 0;
};
