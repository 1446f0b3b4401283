#include <gtest/gtest.h>

#include "itemdata/VolumeNumberInfo.h"

namespace {

TCVVolumeNumberInfo Info(TCVVolumeRole Role, int32_t Number, int32_t LastNumber) {
  TCVVolumeNumberInfo I;
  I.Role = Role;
  I.Number = Number;
  I.LastNumber = LastNumber;
  return I;
}

}  // namespace

TEST(TCVVolumeNumberInfo, SettersFollowTheirRules) {
  TCVVolumeNumberInfo I = Info(vrNumbered, 7, 9);
  I.Reset();
  EXPECT_EQ(I.Role, vrUnknown);
  EXPECT_EQ(I.Number, -1);
  EXPECT_EQ(I.LastNumber, -1);

  I = Info(vrNumbered, 4, 9);
  I.SetFirst(false);
  I.SetLast(false);
  EXPECT_EQ(I.Role, vrNumbered);
  EXPECT_EQ(I.Number, 4);

  I.SetLast(true);
  EXPECT_EQ(I.Role, vrLast);
  EXPECT_EQ(I.Number, 9);
  // An unknown last volume leaves the number unknown too.
  I = Info(vrNumbered, 4, -1);
  I.SetLast(true);
  EXPECT_EQ(I.Role, vrLast);
  EXPECT_EQ(I.Number, -1);

  I.SetFirst(true);
  EXPECT_EQ(I.Role, vrFirst);
  EXPECT_EQ(I.Number, 0);
  I.SetNumber(3);
  EXPECT_EQ(I.Role, vrNumbered);
  EXPECT_EQ(I.Number, 3);
  EXPECT_EQ(I.LastNumber, -1);
}

TEST(TCVVolumeNumberInfo, IsFirstAndIsLast) {
  struct {
    TCVVolumeNumberInfo I;
    bool First;
    bool Last;
  } Cases[] = {
      {Info(vrUnknown, -1, -1), false, false},
      // Only the number makes a first volume.
      {Info(vrFirst, 3, -1), false, false},
      {Info(vrNumbered, 0, -1), true, false},
      // Last number unknown: the role decides.
      {Info(vrLast, -1, -1), false, true},
      {Info(vrLast, 5, -1), false, true},
      {Info(vrNumbered, 5, -1), false, false},
      // Last number known: the number decides, whatever the role.
      {Info(vrLast, 4, 5), false, false},
      {Info(vrNumbered, 5, 5), false, true},
      {Info(vrFirst, 0, 0), true, true},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << "role " << int(C.I.Role) << " number " << C.I.Number << " last "
                                    << C.I.LastNumber);
    EXPECT_EQ(C.I.IsFirst(), C.First);
    EXPECT_EQ(C.I.IsLast(), C.Last);
  }
}

TEST(TCVVolumeNumberInfo, SameVolume) {
  struct {
    const char* What;
    TCVVolumeNumberInfo A;
    TCVVolumeNumberInfo B;
    bool Same;
  } Cases[] = {
      {"last by role, last by number", Info(vrLast, -1, -1), Info(vrNumbered, 3, 3), true},
      {"last against a numbered volume", Info(vrLast, -1, -1), Info(vrNumbered, 2, -1), false},
      {"last by number against last by role", Info(vrNumbered, 3, 3), Info(vrLast, 7, -1), true},
      // A last volume that is also the first is compared as last only.
      {"single volume against first", Info(vrNumbered, 0, 0), Info(vrFirst, 0, -1), false},
      {"first against first", Info(vrFirst, 0, -1), Info(vrNumbered, 0, 4), true},
      {"first against numbered", Info(vrFirst, 0, -1), Info(vrNumbered, 1, -1), false},
      {"undetermined, equal roles", Info(vrUnknown, -1, -1), Info(vrUnknown, -4, -1), true},
      {"undetermined, other roles", Info(vrUnknown, -1, -1), Info(vrFirst, -1, -1), false},
      {"numbers equal, roles differ", Info(vrNumbered, 2, -1), Info(vrLast, 2, 5), true},
      {"numbers differ", Info(vrNumbered, 2, 5), Info(vrNumbered, 3, 5), false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    EXPECT_EQ(C.A.SameVolume(C.B), C.Same);
  }
}
