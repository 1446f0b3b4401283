#include <gtest/gtest.h>

#include <functional>

#include "archiver/CVExcept.h"
#include "directory/DirArray.h"

namespace {

TDirItem Named(const std::string& Name, std::vector<uint8_t> ExtraData = {}) {
  TDirItem Item;
  Item.FileName = Name;
  Item.Crc32 = static_cast<uint32_t>(Name.size());
  if (!ExtraData.empty()) {
    TExtraField F;
    F.HeaderId = 0xCAFE;
    F.DataSize = static_cast<uint16_t>(ExtraData.size());
    F.Data = std::move(ExtraData);
    Item.ExtraFields.push_back(std::move(F));
  }
  return Item;
}

// Counts its own destruction, to show who frees an owned source stream.
class TCountedStream : public TMemoryStream {
 public:
  explicit TCountedStream(int& Destroyed) : FDestroyed(Destroyed) {}
  ~TCountedStream() override { ++FDestroyed; }

 private:
  int& FDestroyed;
};

TEST(TCVDirArray, GrowthSteps) {
  TCVDirArray A;
  EXPECT_EQ(A.Count(), 0);
  EXPECT_EQ(A.Capacity(), 0);
  EXPECT_EQ(A.GrowStep(), 500);
  // Each growth doubles the step first (up to 10000), then adds it.
  struct {
    int32_t N;
    int32_t Capacity;
    int32_t GrowStep;
  } Steps[] = {{1, 1000, 1000},     {1000, 1000, 1000},   {1001, 3000, 2000},   {3001, 7000, 4000},
               {7001, 15000, 8000}, {15001, 25000, 10000}, {25001, 35000, 10000}, {500, 35000, 10000}};
  for (const auto& S : Steps) {
    SCOPED_TRACE(S.N);
    A.SetCount(S.N);
    EXPECT_EQ(A.Count(), S.N);
    EXPECT_EQ(A.Capacity(), S.Capacity);
    EXPECT_EQ(A.GrowStep(), S.GrowStep);
  }
}

TEST(TCVDirArray, GrowthTakesExactlyNWhenTheStepIsTooSmall) {
  TCVDirArray A;
  A.SetCount(20000);
  EXPECT_EQ(A.Capacity(), 20000);
  EXPECT_EQ(A.GrowStep(), 1000);
  A.SetCount(20001);
  EXPECT_EQ(A.Capacity(), 22000);
}

TEST(TCVDirArray, SetCountZeroReleasesStorageButKeepsGrowStep) {
  TCVDirArray A;
  A.SetCount(1);
  A.ItemPtr(0) = Named("a", {1, 2, 3});
  A.SetCount(0);
  EXPECT_EQ(A.Capacity(), 0);
  EXPECT_EQ(A.Count(), 0);
  A.SetCount(1);
  EXPECT_EQ(A.Capacity(), 2000);
  // A fresh slot is cleared.
  EXPECT_EQ(A.ItemPtr(0).FileName, "");
  EXPECT_TRUE(A.ItemPtr(0).ExtraFields.empty());
}

TEST(TCVDirArray, ShrinkKeepsSlotsAndClearKeepsCapacity) {
  TCVDirArray A;
  A.SetCount(3);
  for (int32_t I = 0; I < 3; ++I) A.SetItem(I, Named("item" + std::to_string(I), {9}));
  A.SetCount(1);
  A.SetCount(3);
  // Spare slots keep what they held until reused.
  EXPECT_EQ(A.ItemPtr(2).FileName, "item2");
  EXPECT_EQ(A.ItemPtr(2).ExtraFields.size(), 1u);

  A.Clear();
  EXPECT_EQ(A.Count(), 0);
  EXPECT_EQ(A.Capacity(), 1000);
  A.SetCount(1);
  // Clear released the extra-field data of the items in use.
  EXPECT_TRUE(A.ItemPtr(0).ExtraFields.empty());
}

TEST(TCVDirArray, IndexErrorsRaiseTheirCodesAndChangeNothing) {
  TCVDirArray A;
  A.SetCount(2);
  A.SetItem(0, Named("a"));
  A.SetItem(1, Named("b"));
  TDirItem Out;
  const TDirItem In = Named("x");
  struct {
    const char* Title;
    std::function<void()> Call;
    int32_t Code;
  } Cases[] = {
      {"SetItem(2)", [&] { A.SetItem(2, In); }, 1},
      {"SetItem(-1)", [&] { A.SetItem(-1, In); }, 1},
      {"GetItem(-1)", [&] { A.GetItem(-1, Out); }, 2},
      {"GetItem(2)", [&] { A.GetItem(2, Out); }, 2},
      {"ItemPtr(Count)", [&] { A.ItemPtr(A.Count()); }, 3},
      {"ItemPtr(-1)", [&] { A.ItemPtr(-1); }, 3},
      {"Delete(2)", [&] { A.Delete(2); }, 4},
      {"Delete(-1)", [&] { A.Delete(-1); }, 4},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Title);
    try {
      C.Call();
      ADD_FAILURE() << "no exception";
    } catch (const ECVException& E) {
      EXPECT_EQ(E.NativeError, C.Code);
      EXPECT_EQ(std::string(E.what()), "Index out of bounds - Native error: 0000" + std::to_string(C.Code));
    }
    EXPECT_EQ(A.Count(), 2);
    EXPECT_EQ(A.ItemPtr(0).FileName, "a");
    EXPECT_EQ(A.ItemPtr(1).FileName, "b");
  }
  // Nothing is valid in an empty array.
  TCVDirArray Empty;
  EXPECT_THROW(Empty.ItemPtr(0), ECVException);
}

TEST(TCVDirArray, SetItemAndAssignCopyExtraData) {
  TCVDirArray A;
  A.SetCount(2);
  TDirItem Source = Named("first", {1, 2, 3});
  A.SetItem(0, Source);
  A.SetItem(1, Named("second", {4}));
  Source.ExtraFields[0].Data[0] = 99;
  EXPECT_EQ(A.ItemPtr(0).ExtraFields[0].Data, (std::vector<uint8_t>{1, 2, 3}));

  TCVDirArray B;
  B.SetCount(5);
  B.SetItem(4, Named("old", {7}));
  B.Assign(A);
  EXPECT_EQ(B.Count(), 2);
  EXPECT_EQ(B.ItemPtr(0).FileName, "first");
  EXPECT_EQ(B.ItemPtr(1).FileName, "second");
  A.ItemPtr(0).ExtraFields[0].Data[1] = 77;
  EXPECT_EQ(B.ItemPtr(0).ExtraFields[0].Data, (std::vector<uint8_t>{1, 2, 3}));

  // Writing an item back over itself keeps its data.
  A.SetItem(1, A.ItemPtr(1));
  EXPECT_EQ(A.ItemPtr(1).ExtraFields[0].Data, (std::vector<uint8_t>{4}));
  B.Assign(B);
  EXPECT_EQ(B.Count(), 2);
}

TEST(TCVDirArray, DeleteMovesLaterItemsDown) {
  TCVDirArray A;
  A.SetCount(4);
  for (int32_t I = 0; I < 4; ++I) A.SetItem(I, Named(std::string(1, static_cast<char>('a' + I)), {uint8_t(I)}));
  A.Delete(1);
  ASSERT_EQ(A.Count(), 3);
  EXPECT_EQ(A.ItemPtr(0).FileName, "a");
  EXPECT_EQ(A.ItemPtr(1).FileName, "c");
  EXPECT_EQ(A.ItemPtr(2).FileName, "d");
  EXPECT_EQ(A.ItemPtr(2).ExtraFields[0].Data, (std::vector<uint8_t>{3}));
  // The vacated slot comes back cleared, not as a second "d".
  A.SetCount(4);
  EXPECT_EQ(A.ItemPtr(3).FileName, "");
  EXPECT_TRUE(A.ItemPtr(3).ExtraFields.empty());

  TCVDirArray One;
  One.SetCount(1);
  One.Delete(0);
  EXPECT_EQ(One.Count(), 0);
  EXPECT_EQ(One.Capacity(), 0);
}

TEST(TCVDirArray, OwnedSourceStreamsAreFreedOnceByTheArray) {
  int Destroyed = 0;
  {
    TCVDirArray A;
    A.SetCount(3);
    for (int32_t I = 0; I < 3; ++I) {
      TDirItem Item = Named("s");
      Item.SourceStream = new TCountedStream(Destroyed);
      Item.OwnsSourceStream = true;
      A.SetItem(I, Item);
    }
    // A copy handed out does not own the stream.
    TDirItem Copy;
    A.GetItem(0, Copy);
    EXPECT_FALSE(Copy.OwnsSourceStream);
    EXPECT_EQ(Copy.SourceStream, A.ItemPtr(0).SourceStream);
    // Writing the copy back keeps the stream owned and alive.
    A.SetItem(0, Copy);
    EXPECT_TRUE(A.ItemPtr(0).OwnsSourceStream);
    EXPECT_EQ(Destroyed, 0);

    A.Delete(1);
    EXPECT_EQ(Destroyed, 1);
    // An array assigned from A holds the streams without owning them.
    TCVDirArray B;
    B.Assign(A);
    B.Clear();
    EXPECT_EQ(Destroyed, 1);
    // A spare slot left by a shrink still owns its stream until released.
    A.SetCount(1);
    EXPECT_EQ(Destroyed, 1);
  }
  EXPECT_EQ(Destroyed, 3);
}

TEST(TCVDirArray, ClearMarksOnlyTouchesMarks) {
  TCVDirArray A;
  A.SetCount(3);
  for (int32_t I = 0; I < 3; ++I) {
    A.ItemPtr(I).Marked = true;
    A.ItemPtr(I).FileName = "f";
  }
  A.ClearMarks();
  for (int32_t I = 0; I < 3; ++I) {
    EXPECT_FALSE(A.ItemPtr(I).Marked);
    EXPECT_EQ(A.ItemPtr(I).FileName, "f");
  }
}

}  // namespace
