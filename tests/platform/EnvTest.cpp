#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/Env.h"
#include "platform/Exceptions.h"
#include "support/FakeEnv.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

TEST(FileSystem, WriteProbeRefusesWhatCannotBeWritten) {
  TTempFolder T;
  std::string File = T.WriteFile("a.zip", "data");
  std::string Fifo = T / "fifo";
  ASSERT_EQ(mkfifo(Fifo.c_str(), 0600), 0);
  struct {
    std::string Name;
    bool Want;
  } Cases[] = {{File, true}, {T.Path(), false}, {Fifo, false}, {T / "missing.zip", false}, {"/dev/null", false}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(PosixFileSystem().CanOpenForWriting(C.Name), C.Want);
  }
}

TEST(FileSystem, WriteProbeLeavesBytesAndTimeAlone) {
  TTempFolder T;
  std::string File = T.WriteFile("a.zip", "data");
  auto Old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  fs::last_write_time(File, Old);
  ASSERT_TRUE(PosixFileSystem().CanOpenForWriting(File));
  EXPECT_EQ(fs::last_write_time(File), Old);
  EXPECT_EQ(TTempFolder::ReadFile(File), "data");
}

TEST(FileSystem, WriteProbeFalseForAReadOnlyFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write any file; the fault-injecting test covers this";
  TTempFolder T;
  std::string File = T.WriteFile("a.zip", "data");
  ASSERT_EQ(chmod(File.c_str(), 0444), 0);
  EXPECT_FALSE(PosixFileSystem().CanOpenForWriting(File));
  TFileStream S(File, 0x40);
  EXPECT_EQ(S.Size(), 4);
}

TEST(FileSystem, RefusedWriteStillOpensReadOnly) {
  TTempFolder T;
  std::string File = T.WriteFile("a.zip", "data");
  TFaultFileSystem Faults;
  Faults.RefuseWriting("a.zip");
  TScopedFileSystem Guard(Faults);
  EXPECT_FALSE(FileSystem().CanOpenForWriting(File));
  EXPECT_THROW(FileSystem().OpenFile(File, 0x22), EFOpenError);
  auto S = FileSystem().OpenFile(File, 0x40);
  char Buf[4];
  S->ReadBuffer(Buf, 4);
  EXPECT_EQ(std::string(Buf, 4), "data");
}

TEST(FileSystem, RefusalOnceThenAllowed) {
  TTempFolder T;
  std::string File = T.WriteFile("a.zip", "data");
  TFaultFileSystem Faults;
  Faults.RefuseWriting(File, 1);
  EXPECT_FALSE(Faults.CanOpenForWriting(File));
  EXPECT_TRUE(Faults.CanOpenForWriting(File));
}

TEST(FileSystem, CreateNewFileIsExclusiveAndFollowsNoLink) {
  TTempFolder T;
  std::string Existing = T.WriteFile("existing", "keep");
  std::string Target = T / "target";
  std::string Link = T / "link";
  ASSERT_EQ(symlink(Target.c_str(), Link.c_str()), 0);
  for (const std::string& Name : {Existing, Link}) {
    SCOPED_TRACE(Name);
    try {
      PosixFileSystem().CreateNewFile(Name);
      ADD_FAILURE() << "created over an existing name";
    } catch (const EFCreateError& E) {
      EXPECT_EQ(std::string(E.what()), "Cannot create file \"" + Name + "\". File exists");
    }
  }
  EXPECT_FALSE(fs::exists(Target));
  EXPECT_EQ(TTempFolder::ReadFile(Existing), "keep");

  mode_t Old = umask(027);
  std::string Fresh = T / "fresh";
  {
    auto S = PosixFileSystem().CreateNewFile(Fresh);
    S->WriteBuffer("new", 3);
    S->SetPosition(0);
    char Buf[3];
    S->ReadBuffer(Buf, 3);
  }
  umask(Old);
  struct stat St;
  ASSERT_EQ(stat(Fresh.c_str(), &St), 0);
  EXPECT_EQ(St.st_mode & 07777, 0640u);
  EXPECT_EQ(TTempFolder::ReadFile(Fresh), "new");
}

TEST(FaultFileSystem, WritesCutShortThenNothing) {
  TTempFolder T;
  TFaultFileSystem Faults;
  Faults.LimitWrites("out.bin", 10);
  const std::string Data(25, 'x');
  for (bool Exclusive : {false, true}) {
    SCOPED_TRACE(Exclusive ? "CreateNewFile" : "OpenFile(fmCreate)");
    std::string Name = T / "out.bin";
    fs::remove(Name);
    auto S = Exclusive ? Faults.CreateNewFile(Name) : Faults.OpenFile(Name, fmCreate);
    EXPECT_EQ(S->Write(Data.data(), 4), 4);
    EXPECT_EQ(S->Write(Data.data(), 21), 6);
    EXPECT_EQ(S->Write(Data.data(), 1), 0);
    EXPECT_THROW(S->WriteBuffer(Data.data(), 1), EWriteError);
    EXPECT_EQ(S->Size(), 10);
  }
  auto Other = Faults.OpenFile(T / "other.bin", fmCreate);
  EXPECT_EQ(Other->Write(Data.data(), 25), 25);
}

TEST(FaultFileSystem, FailedCreateRaises) {
  TTempFolder T;
  TFaultFileSystem Faults;
  Faults.FailCreate("x.bin");
  EXPECT_THROW(Faults.OpenFile(T / "x.bin", fmCreate), EFCreateError);
  EXPECT_THROW(Faults.CreateNewFile(T / "x.bin"), EFCreateError);
  EXPECT_FALSE(fs::exists(T / "x.bin"));
  Faults.CreateNewFile(T / "y.bin");
  Faults.FailEveryCreate();
  EXPECT_THROW(Faults.CreateNewFile(T / "z.bin"), EFCreateError);
}

TEST(ScopedEnv, GuardsNestAndRestore) {
  TFaultFileSystem A, B;
  TFakeDrives D;
  EXPECT_EQ(&FileSystem(), &PosixFileSystem());
  {
    TScopedFileSystem GuardA(A);
    {
      TScopedFileSystem GuardB(B);
      EXPECT_EQ(&FileSystem(), &B);
    }
    EXPECT_EQ(&FileSystem(), &A);
    TScopedDrives GuardD(D);
    EXPECT_EQ(&Drives(), &D);
  }
  EXPECT_EQ(&FileSystem(), &PosixFileSystem());
  EXPECT_EQ(&Drives(), &PosixDrives());
}

// A fake sysfs holding the device of the temporary folder, laid out as the
// kernel does: dev/block/MAJ:MIN links into devices/, a partition's folder
// inside its disk's.
TEST(PosixDrives, RemovableFromSysfs) {
  TTempFolder T;
  struct stat St;
  ASSERT_EQ(stat(T.Path().c_str(), &St), 0);
  std::string DevName = std::to_string(major(St.st_dev)) + ":" + std::to_string(minor(St.st_dev));
  struct {
    const char* Layout;  // "disk" or "partition"; "none" for no entry
    const char* Flag;    // the disk's removable file ("" for none)
    bool Want;
  } Cases[] = {
      {"disk", "1\n", true}, {"disk", "0\n", false}, {"partition", "1\n", true},
      {"partition", "0\n", false}, {"none", "", false}, {"disk", "", false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(std::string(C.Layout) + " flag " + C.Flag);
    TTempFolder Sys;
    fs::create_directories(Sys / "dev/block");
    fs::create_directories(Sys / "devices/pci0/sdb/sdb1");
    if (*C.Flag) Sys.WriteFile("devices/pci0/sdb/removable", C.Flag);
    // A partition has no flag of its own; a 0 there would hide a wrong lookup.
    if (std::string(C.Layout) == "disk")
      fs::create_directory_symlink("../../devices/pci0/sdb", Sys / ("dev/block/" + DevName));
    else if (std::string(C.Layout) == "partition")
      fs::create_directory_symlink("../../devices/pci0/sdb/sdb1", Sys / ("dev/block/" + DevName));
    TPosixDrives Drives(Sys.Path());
    EXPECT_EQ(Drives.IsRemovable(T.Path()), C.Want);
    EXPECT_EQ(Drives.IsRemovable(T / "missing/sub/file.zip"), C.Want);
  }
}

TEST(PosixDrives, FreeSpaceOfTheNearestExistingFolder) {
  TPosixDrives Drives;
  // proc's numbers never change: nothing is free there.
  EXPECT_EQ(Drives.FreeSpace("/proc/no/such/folder/file.zip"), Drives.FreeSpace("/proc"));
  EXPECT_EQ(Drives.FreeSpace("/proc/no/such/folder/file.zip"), 0);
  EXPECT_GE(Drives.FreeSpace("/"), 0);

  // Other writers share the temporary folder's disk: compare readings taken
  // back to back until two of the existing folder agree.
  TTempFolder T;
  bool Matched = false;
  for (int Try = 0; Try < 20 && !Matched; ++Try) {
    int64_t Before = Drives.FreeSpace(T.Path());
    int64_t Missing = Drives.FreeSpace(T / "a/b/c.zip");
    int64_t After = Drives.FreeSpace(T.Path());
    ASSERT_GE(Missing, 0);
    if (Before == After) {
      EXPECT_EQ(Missing, Before);
      Matched = true;
    }
  }
  EXPECT_TRUE(Matched) << "free space never held still";
  EXPECT_FALSE(Drives.SetVolumeLabel(T.Path(), "pkback# 001"));
}

TEST(FakeDrives, PrefixesCoverFoldersNotNamePrefixes) {
  TFakeDrives D;
  D.SetRemovable("/mnt/usb");
  D.SetFreeSpace("/mnt", 100);
  D.SetFreeSpace("/mnt/usb", 7);
  struct {
    const char* Path;
    bool Removable;
    int64_t Free;
  } Cases[] = {
      {"/mnt/usb", true, 7}, {"/mnt/usb/a.zip", true, 7}, {"/mnt/usb2/a.zip", false, 100},
      {"/mnt/x", false, 100}, {"/home/a.zip", false, -1},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Path);
    EXPECT_EQ(D.IsRemovable(C.Path), C.Removable);
    EXPECT_EQ(D.FreeSpace(C.Path), C.Free);
  }
  EXPECT_FALSE(D.SetVolumeLabel("/mnt/usb", "pkback# 002"));
  ASSERT_EQ(D.LabelCalls().size(), 1u);
  EXPECT_EQ(D.LabelCalls()[0].Label, "pkback# 002");
}
