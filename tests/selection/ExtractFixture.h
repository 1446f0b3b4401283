#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "SearchArchiver.h"
#include "support/TempFolder.h"
#include "support/ZipBuilder.h"

// An archive written to a temporary folder, a component opened on it, and a
// recording of the events a run fires. Names in the log are as handlers see
// them (PathDelim is "/" here).
class ExtractTest : public testing::Test {
 protected:
  void SetUp() override {
    Out = Tmp / "out";
    Archive = Tmp / "a.zip";
    Z.SetBaseDir(Out);
    Record();
  }

  void Open(const ZipBuilder& B) {
    B.WriteTo(Archive);
    OpenFile(Archive);
  }
  void OpenFile(const std::string& FileName) {
    Z.SetFileName(FileName);
    Z.OpenArchive();
  }
  void Extract(const std::string& Mask = "*.*") { Z.ExtractFiles(Mask, 0x28BF, std::string()); }

  // Every handler logs; the knobs below change answers.
  void Record() {
    Z.SetOnOverallProgress(
        [this](TCVBaseArchiver&, double, TCVProcessOperation, TCVProgressPhase Phase, bool& Cancel) {
          if (Phase == ppStart) Log.push_back("overall start");
          if (Phase == ppEnd) Log.push_back("overall end");
          if (OnOverall) OnOverall(Phase, Cancel);
        });
    Z.SetOnFileProgress([this](TCVBaseArchiver&, const std::string& Name, double, TCVProcessOperation,
                               TCVProgressPhase Phase, bool& Cancel) {
      if (Phase == ppStart) Log.push_back("start " + Name);
      if (Phase == ppEnd) Log.push_back("end " + Name);
      if (OnFile) OnFile(Name, Phase, Cancel);
    });
    Z.SetOnConfirmProcessFile(
        [this](TCVBaseArchiver&, const std::string& Name, TCVProcessOperation, bool& Confirm) {
          Log.push_back("confirm " + Name);
          if (OnConfirm) OnConfirm(Name, Confirm);
        });
    Z.SetOnExtractFile([this](TCVBaseArchiver&, std::string& Name, uint32_t& Attr, const std::string&) {
      Log.push_back("extract " + Name);
      if (OnExtract) OnExtract(Name, Attr);
    });
    Z.SetOnProcessFileFailure([this](TCVBaseArchiver&, const std::string& Name, TCVProcessOperation,
                                     int32_t NativeError, int32_t, const std::string& Message,
                                     TCVAction& Action) {
      Log.push_back("failure " + Name + " " + std::to_string(NativeError));
      Messages.push_back(Message);
      if (OnFailure) OnFailure(Name, Action);
    });
    Z.SetOnDamagedFile([this](TCVBaseArchiver&, const std::string& Name, const std::string&) {
      Log.push_back("damaged " + Name);
    });
  }

  // Only the entries of the log that begin with Prefix.
  std::vector<std::string> LogOf(const std::string& Prefix) const {
    std::vector<std::string> Lines;
    for (const std::string& L : Log)
      if (L.rfind(Prefix, 0) == 0) Lines.push_back(L);
    return Lines;
  }

  // Files and folders below Root, relative, sorted; folders end in "/".
  static std::vector<std::string> Tree(const std::string& Root) {
    std::vector<std::string> Names;
    std::error_code Ignored;
    for (auto It = std::filesystem::recursive_directory_iterator(Root, Ignored);
         It != std::filesystem::recursive_directory_iterator(); It.increment(Ignored)) {
      std::string Rel = std::filesystem::relative(It->path(), Root).string();
      if (It->is_directory(Ignored) && !It->is_symlink(Ignored)) Rel += "/";
      Names.push_back(Rel);
    }
    std::sort(Names.begin(), Names.end());
    return Names;
  }

  static std::string Read(const std::string& FileName) { return TTempFolder::ReadFile(FileName); }
  static bool IsRegularFile(const std::string& FileName) {
    struct stat St;
    return lstat(FileName.c_str(), &St) == 0 && S_ISREG(St.st_mode);
  }
  static mode_t ModeOf(const std::string& FileName) {
    struct stat St;
    return lstat(FileName.c_str(), &St) == 0 ? St.st_mode & 07777 : 0;
  }
  static mode_t Umask() {
    mode_t Mask = umask(0);
    umask(Mask);
    return Mask;
  }

  TTempFolder Tmp;
  std::string Out;
  std::string Archive;
  TSearchArchiver Z;
  std::vector<std::string> Log;
  std::vector<std::string> Messages;

  std::function<void(TCVProgressPhase, bool&)> OnOverall;
  std::function<void(const std::string&, TCVProgressPhase, bool&)> OnFile;
  std::function<void(const std::string&, bool&)> OnConfirm;
  std::function<void(std::string&, uint32_t&)> OnExtract;
  std::function<void(const std::string&, TCVAction&)> OnFailure;
};
