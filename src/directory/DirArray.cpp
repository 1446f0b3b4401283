#include "directory/DirArray.h"

#include <algorithm>
#include <utility>

#include "archiver/CVExcept.h"

TCVDirArray::~TCVDirArray() { SetCount(0); }

void TCVDirArray::CheckIndex(int32_t Index, int32_t NativeError) const {
  if (Index < 0 || Index >= FCount) throw ECVException(NativeError, nullptr);
}

void TCVDirArray::ReleaseSlot(TDirItem& Item) {
  Item.ExtraFields.clear();
  Item.ExtraFields.shrink_to_fit();
  if (Item.OwnsSourceStream) delete Item.SourceStream;
  Item.SourceStream = nullptr;
  Item.OwnsSourceStream = false;
}

void TCVDirArray::SetCount(int32_t N) {
  N = std::max(N, 0);
  if (N > FCapacity) {
    FGrowStep = std::min(FGrowStep * 2, MaxGrowStep);
    int64_t Stepped = static_cast<int64_t>(FCapacity) + FGrowStep;
    int32_t NewCapacity = Stepped > N ? static_cast<int32_t>(Stepped) : N;
    FItems.resize(static_cast<size_t>(NewCapacity));
    FCapacity = NewCapacity;
  } else if (N == 0) {
    // Spare slots too: after a shrink they still hold their old data.
    for (TDirItem& Item : FItems) ReleaseSlot(Item);
    std::vector<TDirItem>().swap(FItems);
    FCapacity = 0;
  }
  FCount = N;
}

void TCVDirArray::GetItem(int32_t Index, TDirItem& Item) const {
  CheckIndex(Index, 2);
  Item = FItems[static_cast<size_t>(Index)];
  Item.OwnsSourceStream = false;
}

void TCVDirArray::SetItem(int32_t Index, const TDirItem& Item) {
  CheckIndex(Index, 1);
  TDirItem& Slot = FItems[static_cast<size_t>(Index)];
  if (&Slot == &Item) return;
  bool KeepsStream = Slot.OwnsSourceStream && Slot.SourceStream == Item.SourceStream;
  if (KeepsStream) Slot.OwnsSourceStream = false;
  ReleaseSlot(Slot);
  Slot = Item;
  if (KeepsStream) Slot.OwnsSourceStream = true;
}

TDirItem& TCVDirArray::ItemPtr(int32_t Index) {
  CheckIndex(Index, 3);
  return FItems[static_cast<size_t>(Index)];
}

const TDirItem& TCVDirArray::ItemPtr(int32_t Index) const {
  CheckIndex(Index, 3);
  return FItems[static_cast<size_t>(Index)];
}

void TCVDirArray::Assign(const TCVDirArray& Source) {
  if (&Source == this) return;
  Clear();
  SetCount(Source.Count());
  TDirItem Item;
  for (int32_t I = 0; I < Source.Count(); ++I) {
    Source.GetItem(I, Item);
    SetItem(I, Item);
  }
}

void TCVDirArray::Delete(int32_t Index) {
  CheckIndex(Index, 4);
  auto First = FItems.begin() + Index;
  ReleaseSlot(*First);
  std::move(First + 1, FItems.begin() + FCount, First);
  // The vacated slot must not share a buffer or stream with a live item.
  FItems[static_cast<size_t>(FCount - 1)] = TDirItem();
  SetCount(FCount - 1);
}

void TCVDirArray::Clear() {
  for (int32_t I = 0; I < FCount; ++I) ReleaseSlot(FItems[static_cast<size_t>(I)]);
  FCount = 0;
}

void TCVDirArray::ClearMarks() {
  for (int32_t I = 0; I < FCount; ++I) FItems[static_cast<size_t>(I)].Marked = false;
}
