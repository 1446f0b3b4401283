#include <gtest/gtest.h>

#include <string>

#include "platform/Env.h"
#include "platform/Path.h"
#include "selection/PathHelpers.h"
#include "support/FakeEnv.h"
#include "support/TempFolder.h"

namespace {

// The current folder with one trailing separator ("/" at the root).
std::string Cwd() { return IncludeTrailingPathDelimiter(GetCurrentDir()); }

}  // namespace

TEST(PathHelpers, DrivePrefixesInText) {
  struct {
    const char* Name;
    const char* DrivePart;
    const char* WithoutDrive;
  } Cases[] = {
      {"C:\\x", "C:", "x"},
      {"c:/Data/x.txt", "c:", "Data/x.txt"},
      {"C:", "C:", ""},
      {"C:\\", "C:", ""},
      {"\\\\srv\\share\\x", "\\\\srv\\share", "share\\x"},
      {"//srv/share/d/f.txt", "//srv/share", "share/d/f.txt"},
      {"\\/srv\\share", "\\/srv\\share", "share"},
      {"\\\\srv", "\\\\srv", "srv"},
      // A colon that does not follow a lone leading letter is an ordinary character.
      {"a:b.txt", "", "a:b.txt"},
      {"ab:c.txt", "", "ab:c.txt"},
      {"dir/C:/x", "", "dir/C:/x"},
      {"1:\\x", "", "1:\\x"},
      {"\xC3\xA9:\\x", "", "\xC3\xA9:\\x"},
      // A single leading separator is no network prefix.
      {"/abs/x", "", "abs/x"},
      {"\\x", "", "x"},
      {"x\\\\y", "", "x\\\\y"},
      {"", "", ""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(ExtractDrivePart(C.Name), C.DrivePart);
    EXPECT_EQ(DropDrivePrefix(C.Name), C.WithoutDrive);
  }
}

TEST(PathHelpers, NoDiskPathIsAFloppyDrive) {
  for (const char* Path : {"A:", "a:\\", "B:\\x.zip", "/media/floppy", ""}) {
    SCOPED_TRACE(Path);
    EXPECT_FALSE(IsFloppyDrive(Path));
  }
}

TEST(PathHelpers, RemovableDrivesAreAskedOfTheDrivesSeam) {
  TFakeDrives Fake;
  Fake.SetRemovable("/media/usb");
  Fake.SetRemovable(GetCurrentDir());
  TScopedDrives Scope(Fake);
  EXPECT_TRUE(IsRemovableDrive("/media/usb/archive.zip"));
  EXPECT_FALSE(IsRemovableDrive("/media/usb2/archive.zip"));
  EXPECT_FALSE(IsRemovableDrive("A:\\archive.zip"));
  EXPECT_TRUE(IsRemovableDrive(""));  // the current folder's drive
}

TEST(PathHelpers, BaseDirWithSlash) {
  EXPECT_EQ(BaseDirWithSlash("/out"), "/out/");
  EXPECT_EQ(BaseDirWithSlash("/out/"), "/out/");
  EXPECT_EQ(BaseDirWithSlash("rel"), "rel/");
  EXPECT_EQ(BaseDirWithSlash(""), Cwd());
}

TEST(PathHelpers, ExpandInDirIsLexicalAndLeavesTheCurrentFolder) {
  TTempFolder Tmp;
  const std::string TmpPath = ExpandFileName(Tmp.Path());  // as the lexical rules spell it
  const std::string Before = GetCurrentDir();
  struct {
    std::string Dir;
    std::string Name;
    std::string Want;
  } Cases[] = {
      {"/out", "a/b.txt", "/out/a/b.txt"},
      {"/out/", "./a/./b/../c", "/out/a/c"},
      {"/out", "../x", "/x"},
      {"/out", "/abs/./y", "/abs/y"},
      {"/out", "sub/", "/out/sub/"},
      {"/out", "C:\\x", "/out/C:\\x"},  // no drive on a disk path: just a name
      {"rel", "x", Cwd() + "rel/x"},
      {"", "x", Cwd() + "x"},
      // An empty name gives the folder itself, absolute, when it exists...
      {Tmp.Path() + "/", "", TmpPath},
      {Tmp.Path() + "/./sub/..", "", TmpPath},
      {"/", "", "/"},
      {".", "", GetCurrentDir()},
      {"", "", GetCurrentDir()},
      // ...and the folder as given when it does not.
      {Tmp.Path() + "/missing/../x", "", Tmp.Path() + "/missing/../x"},
      {"rel/missing", "", "rel/missing"},
  };
  ASSERT_TRUE(MakeDirs(Tmp / "sub"));
  for (const auto& C : Cases) {
    SCOPED_TRACE("'" + C.Dir + "' + '" + C.Name + "'");
    EXPECT_EQ(ExpandInDir(C.Dir, C.Name), C.Want);
  }
  EXPECT_EQ(GetCurrentDir(), Before);
}

TEST(PathHelpers, BuildStoredNameOnPosixPaths) {
  TTempFolder Tmp;
  const std::string Base = ExpandFileName(Tmp.Path());
  const std::string BaseText = Base.substr(1);  // without its leading "/"
  struct {
    std::string FileName;
    std::string BaseDir;
    TCVStorePathMode Mode;
    std::string Want;
  } Cases[] = {
      {Base + "/sub/f.txt", Base, spNoPath, "f.txt"},
      {Base + "/sub/f.txt", Base, spRelativePath, "sub/f.txt"},
      {Base + "/sub/f.txt", Base + "/", spRelativePath, "sub/f.txt"},
      {"sub/f.txt", Base, spRelativePath, "sub/f.txt"},  // relative to the base
      {Base + "/sub/f.txt", Base, spFullPath, BaseText + "/sub/f.txt"},
      {Base + "/sub/f.txt", Base, spFullPathWithDrive, Base + "/sub/f.txt"},
      // Outside the base: the absolute path without its leading separator.
      {"/data/x.txt", Base, spRelativePath, "data/x.txt"},
      {"../x.txt", Base + "/sub", spRelativePath, BaseText + "/x.txt"},
      {"/data/x.txt", Base, spFullPathWithDrive, "/data/x.txt"},
      // A folder's trailing separator and a trailing "." are dropped.
      {Base + "/sub/", Base, spRelativePath, "sub"},
      {Base + "/sub/f.", Base, spRelativePath, "sub/f"},
      {Base + "/sub/f.", Base, spNoPath, "f"},
      // Folders that differ in case are different folders.
      {"/DATA/x.txt", "/data", spRelativePath, "DATA/x.txt"},
      // "\" in a disk name becomes "/" in the stored name.
      {Base + "/a\\b.txt", Base, spRelativePath, "a/b.txt"},
      {Base + "/a\\b.txt", Base, spNoPath, "b.txt"},
      // A colon inside a disk path is part of a name.
      {Base + "/a:b.txt", Base, spRelativePath, "a:b.txt"},
      {Base + "/a:b.txt", Base, spFullPath, BaseText + "/a:b.txt"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE("'" + C.FileName + "' base '" + C.BaseDir + "' mode " + std::to_string(C.Mode));
    EXPECT_EQ(BuildStoredName(C.FileName, C.BaseDir, C.Mode), C.Want);
  }
}

TEST(PathHelpers, TrailingSlashes) {
  struct {
    const char* Path;
    const char* Added;
    const char* Removed;
  } Cases[] = {
      {"/out", "/out/", "/out"},
      {"/out/", "/out/", "/out"},
      {"rel", "rel/", "rel"},
      {"/", "/", "/"},  // the root stays the root
      {"", "", ""},     // and nothing does not become the root
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Path);
    EXPECT_EQ(AddTrailingSlash(C.Path), C.Added);
    EXPECT_EQ(RemoveTrailingSlash(C.Path), C.Removed);
  }
}

TEST(PathHelpers, MakeDirsCreatesEveryMissingLevel) {
  TTempFolder Tmp;
  const std::string Deep = Tmp / "a/b/c";
  EXPECT_FALSE(DirExists(Deep));
  EXPECT_TRUE(MakeDirs(Deep));
  EXPECT_TRUE(DirExists(Deep));
  EXPECT_TRUE(MakeDirs(Deep + "/"));  // already there
  const std::string File = Tmp.WriteFile("file", "x");
  EXPECT_FALSE(DirExists(File));
  EXPECT_FALSE(MakeDirs(File + "/below"));
  EXPECT_FALSE(MakeDirs(""));
}
