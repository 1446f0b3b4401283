#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Env.h"

// Test doubles for the file system and drives seams. Install them with
// TScopedFileSystem / TScopedDrives.
//
// A name given to a knob matches a path equal to it or, when it holds no "/",
// any path whose last component equals it ("a.zip" matches "/tmp/x/a.zip").

// Wraps a real file system (POSIX by default) and injects faults.
class TFaultFileSystem : public IFileSystem {
 public:
  static constexpr int Always = -1;

  explicit TFaultFileSystem(IFileSystem& Base = PosixFileSystem()) : FBase(Base) {}

  // For Times calls (or always): the write probe answers false, and opening
  // with write access (0x22 included) or fmCreate raises 'Permission denied',
  // as for a read-only file. Reading opens still work.
  void RefuseWriting(const std::string& Name, int Times = Always) { FRefuseWriting[Name] = Times; }
  // Creating Name (fmCreate or CreateNewFile) raises EFCreateError.
  void FailCreate(const std::string& Name) { FFailCreate.push_back(Name); }
  void FailEveryCreate() { FFailEveryCreate = true; }
  // Streams opened or created for Name take Bytes in total, then a short
  // count, then nothing: a disk that fills up.
  void LimitWrites(const std::string& Name, int64_t Bytes) { FWriteLimits[Name] = Bytes; }
  void LimitEveryWrite(int64_t Bytes) { FEveryWriteLimit = Bytes; }

  // Every OpenFile call as (name, mode), and every CreateNewFile name.
  const std::vector<std::pair<std::string, uint16_t>>& Opens() const { return FOpens; }
  const std::vector<std::string>& Creates() const { return FCreates; }

  std::unique_ptr<TFileStream> OpenFile(const std::string& FileName, uint16_t Mode) override;
  std::unique_ptr<TFileStream> CreateNewFile(const std::string& FileName) override;
  bool CanOpenForWriting(const std::string& FileName) override;

 private:
  bool TakeWriteRefusal(const std::string& FileName);
  bool CreateFails(const std::string& FileName) const;
  std::unique_ptr<TFileStream> Limited(std::unique_ptr<TFileStream> Stream);

  IFileSystem& FBase;
  std::map<std::string, int> FRefuseWriting;
  std::vector<std::string> FFailCreate;
  bool FFailEveryCreate = false;
  std::map<std::string, int64_t> FWriteLimits;
  int64_t FEveryWriteLimit = -1;
  std::vector<std::pair<std::string, uint16_t>> FOpens;
  std::vector<std::string> FCreates;
};

// Drives that answer from tables. A prefix matches a path equal to it or
// below it as a folder ("/mnt/a" covers "/mnt/a/x.zip", not "/mnt/ab").
class TFakeDrives : public IDrives {
 public:
  void SetRemovable(const std::string& Prefix) { FRemovable.push_back(Prefix); }
  // The longest matching prefix wins; paths under none get DefaultFreeSpace.
  void SetFreeSpace(const std::string& Prefix, int64_t Bytes) { FFreeSpace[Prefix] = Bytes; }
  int64_t DefaultFreeSpace = -1;
  // What SetVolumeLabel answers (the real one always fails).
  bool LabelResult = false;

  struct TLabelCall {
    std::string Path;
    std::string Label;
  };
  const std::vector<TLabelCall>& LabelCalls() const { return FLabelCalls; }

  bool IsRemovable(const std::string& Path) override;
  int64_t FreeSpace(const std::string& Path) override;
  bool SetVolumeLabel(const std::string& Path, const std::string& Label) override;

 private:
  std::vector<std::string> FRemovable;
  std::map<std::string, int64_t> FFreeSpace;
  std::vector<TLabelCall> FLabelCalls;
};
