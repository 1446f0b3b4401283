#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archiver/Corvane.h"
#include "directory/DirManager.h"

// A component with an in-memory directory built entry by entry, and its
// protected run surface opened to the tests.
class TSearchArchiver : public TCorvane {
 public:
  using TCVBaseArchiver::ProcessSelectedItems;

  void SetUpdateLevel(int32_t Value) { FUpdateLevel = Value; }

  // An open archive without a stream: enough for the search.
  void OpenEmpty() {
    FDirManager = std::make_unique<TCVDirManager>(*this);
    FActive = true;
  }

  TCVDirArray& Items() { return FDirManager->DirItems; }

  TDirItem& Add(const std::string& Name, uint32_t Attr = 0x20) {
    TCVDirArray& A = Items();
    A.SetCount(A.Count() + 1);
    TDirItem& Item = A.ItemPtr(A.Count() - 1);
    Item.FileName = Name;
    Item.ExternalAttr = Attr;
    return Item;
  }

  // Names found by FindFirst / FindNext, in order.
  std::vector<std::string> Find(const std::string& Mask, int32_t SearchAttr = 0x28BF) {
    std::vector<std::string> Found;
    TCVArchiveItem F;
    for (bool Ok = FindFirst(Mask, F, SearchAttr, std::string()); Ok; Ok = FindNext(F))
      Found.push_back(Items().ItemPtr(F.SearchRec.ItemIndex).FileName);
    return Found;
  }

  std::vector<std::string> Marked() {
    std::vector<std::string> Names;
    for (int32_t I = 0; I < Items().Count(); ++I)
      if (Items().ItemPtr(I).Marked) Names.push_back(Items().ItemPtr(I).FileName);
    return Names;
  }
};
