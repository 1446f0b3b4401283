#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "directory/DirArray.h"
#include "directory/ZipRecords.h"
#include "itemdata/VolumeNumberInfo.h"
#include "platform/Stream.h"

class TCVBaseArchiver;

// The directory of one open archive: finds the end record, follows the ZIP64
// records, reads the central directory into DirItems and corrects the
// local-header offsets of archives with leading bytes; when no valid end
// record exists in a single-file archive it rebuilds the directory from the
// local headers instead. The component owns one manager while an archive is
// open; the manager owns its arrays, never the stream.
class TCVDirManager {
 public:
  // Made for Stream (the component's archive stream unless ExternalStream).
  // For a new archive the component's current volume becomes the first one
  // and a configured SFXStub is written (see WriteSFXStub).
  TCVDirManager(TStream* Stream, TCVBaseArchiver& Archiver, bool IsNewArchive);
  // A manager for the existing archive on the component's archive stream.
  explicit TCVDirManager(TCVBaseArchiver& Archiver);
  ~TCVDirManager();
  TCVDirManager(const TCVDirManager&) = delete;
  TCVDirManager& operator=(const TCVDirManager&) = delete;

  TCVBaseArchiver& Archiver() const { return FArchiver; }

  // DirItems emptied (storage released); EndRecord all zero except its
  // signature.
  void ResetDirectory();

  // Searches the last 65600 bytes of the stream, nearest the end first, for
  // a Signature whose 22-byte record's comment length reaches exactly to the
  // end of the file. Found: Record holds it, Position is its offset, and
  // ArchiveComment its comment (cut at a zero byte). Not found: Position is
  // -1 and Record keeps the 22 bytes of the last candidate examined (the one
  // nearest the start of the window), all zero when no candidate had 22
  // bytes after it. The tail is read once.
  bool FindEndRecord(TEndRecord& Record, int64_t& Position, uint32_t Signature);
  // Whether the 22 bytes at Offset hold a record whose comment length
  // reaches exactly to the end of the file. With fewer than 22 bytes left
  // the check fails and Record is untouched; otherwise Record holds them.
  // The stream position is restored.
  bool CheckEndRecord(TEndRecord& Record, int64_t Offset);
  // Fills EndRecord and ArchiveComment; true when a valid end record exists,
  // and always while the component's OpenDamaged is set.
  bool IsValidArchive();

  // Fills DirItems, EndRecord, ArchiveComment, the ZIP64 records, IsZip64 and
  // DataStart from the stored directory. Without a valid end record a
  // single-file archive is rebuilt (code 44 for a split or spanned one).
  // With OpenDamaged, a single-file archive whose stored directory cannot be
  // read as stored (a broken ZIP64 end record, a directory that would start
  // before the file or hold more records than its bytes can, a record
  // without the central signature, a read past the end records) is rebuilt
  // as well. Otherwise: code 40 for a broken ZIP64 end record, EReadError
  // when the stream ends inside the directory (DirItems then holds the items
  // read so far).
  void LoadDirectory();

  // Rebuilds DirItems from the local headers alone, in file order (see
  // Rebuild.cpp). Raises code 35 when the file holds no local-header
  // signature with 30 bytes after it.
  void RebuildDirectory();
  // The offset of the first local-header signature at or after Start, or -1
  // (also when that signature has fewer than 30 bytes after it). The stream
  // position is restored.
  int64_t FindLocalHeader(int64_t Start);
  // The first data-descriptor signature at or after Start with its 16 bytes
  // inside the file; false when there is none or it is cut short.
  bool FindDataDescriptor(int64_t Start, TDataDescriptor& Descriptor);

  // Steps of the load, open for tests.

  // Reads the 20 bytes before P into Zip64Locator; with its signature there
  // IsZip64 is set and P moves to the locator.
  void ReadZip64Locator(int64_t& P);
  // Reads the ZIP64 end record at the locator's EndRecordOffset; with its
  // signature P moves 56 bytes back and the result is true. False when fewer
  // than 56 bytes lie before P, the record cannot be read or its signature
  // differs.
  bool ReadZip64EndRecord(int64_t& P);
  // Sets DataStart to where item 0's local header really lies, searching
  // forward from its stored offset for one that matches it; to P when the
  // archive has no entries. When none matches (its sizes may follow its
  // data) and the directory itself lies behind its stored offset, item 0's
  // header is taken that much further on if it carries item 0's name.
  // Returns whether item 0's header was found.
  bool LocateFirstLocalHeader(int64_t P);
  // The 30-byte local header at Q (with its name inside the file) carries
  // item 0's version needed, method, time, date, CRC and both sizes.
  bool LocalHeaderMatches(int64_t Q);
  // The first offset at or after Start holding the 4 bytes of Signature, or
  // -1.
  int64_t SearchSignature(int64_t Start, uint32_t Signature);
  // The amount every stored offset lacks: DataStart minus item 0's stored
  // offset when item 0's header was found, else 0.
  int64_t LocalOffsetShift() const;
  // True when nothing needs shifting (LocalOffsetShift() <= 0).
  bool OffsetsAreAbsolute() const;
  // Adds Amount to the offset of every item that is not a folder; a sum at
  // or past 0xFFFFFFFF moves to LocalHeaderOffset64 behind the marker.
  void ShiftLocalOffsets(int64_t Amount);

  // Makes Volume the current volume through the component and takes its
  // archive stream, unless ExternalStream is set (see DirVolumes.cpp).
  void SwitchVolume(TCVVolumeNumberInfo& Volume);
  // New archives: copies the component's SFXStub file to the start of
  // Stream and sets DataStart to its size. Code 47 when a split or spanned
  // archive's first volume is limited to fewer bytes than the stub.
  void WriteSFXStub();

  // --- Writing the directory (DirWriter.cpp) ---

  // Appends the directory tail at the end of Stream (NewStream, when given,
  // becomes Stream first): one central record per item through the volume
  // writer, each record kept whole on one volume; the ZIP64 end record and
  // locator whenever the end record holds a marker; the end record and
  // ArchiveComment. EndRecord, Zip64EndRecord and Zip64Locator then hold what
  // was written, and each item's Signature, NameLength and ExtraLength those
  // of the bytes written. A split or spanned archive on the component's own
  // file ends under its last-volume name (the volume file is renamed and
  // reopened read-write). Raises code 46 on a short write of records, the
  // stream's own error otherwise; nothing written is taken back.
  void SaveDirectory(TStream* NewStream = nullptr);
  // Bytes of the ZIP64 sub-record the item needs, its 4-byte header
  // included: 8 for each 32-bit field holding the marker, 4 for a marked
  // volume; 0 when no field holds one.
  int32_t Zip64ExtraSize(int32_t Index);
  // Zip64ExtraSize plus every other sub-record with its 4-byte header.
  int32_t ExtraFieldLength(int32_t Index);
  // Appends the item's extra field to Out: the ZIP64 sub-record rebuilt from
  // the item's marked fields (one read from the archive is never copied),
  // then every other sub-record, in order.
  void WriteExtraFields(int32_t Index, std::vector<uint8_t>& Out);
  // Fill and write the ZIP64 end record for a directory of DirSize bytes that
  // starts at DirStart on volume DirStartVolume, and the locator behind it.
  void WriteZip64EndRecord(int64_t DirStart, int64_t DirSize, uint32_t DirStartVolume);
  void WriteZip64Locator();

  // The archive stream being read; replaced on each volume switch.
  TStream* Stream;
  bool IsNewArchive;
  // Stream is not the component's archive stream: volume switches leave it.
  bool ExternalStream;
  // Read only by the commit of an update; loading never fills it.
  TCVDirArray CommittedItems;
  // The entries, in directory order (file order after a rebuild).
  TCVDirArray DirItems;
  std::string ArchiveComment;
  TZip64Locator Zip64Locator;
  TZip64EndRecord Zip64EndRecord;
  TEndRecord EndRecord;
  // Where entry data begins: item 0's real local header; for an archive
  // without entries its (ZIP64) end record; for a new one the stub's size.
  int64_t DataStart = 0;
  // The loaded archive has a ZIP64 locator before its end record.
  bool IsZip64 = false;
  // The last load rebuilt DirItems from the local headers instead of reading
  // a stored directory.
  bool Rebuilt = false;

 private:
  enum TStoredLoad : uint8_t { slLoaded = 0, slUnreadable = 1 };
  // Reads the stored directory behind the end record found at P;
  // slUnreadable only when a rebuild may replace it.
  TStoredLoad LoadStoredDirectory(int64_t P);
  // The central records from Start on, Count of them.
  TStoredLoad ReadCentralRecords(TCVVolumeNumberInfo& Volume, int64_t Start, int64_t Limit, int32_t Count,
                                 bool MayRebuild);

  // The local header at Q carries item 0's name.
  bool LocalHeaderNamed(int64_t Q);
  // The last step of SaveDirectory.
  void RenameLastVolume();

  TCVBaseArchiver& FArchiver;
  // Item 0's local header was found by LocateFirstLocalHeader.
  bool FFirstHeaderFound = false;
  // Where a single-file directory really starts minus its stored offset.
  int64_t FDirectoryShift = 0;
};

// The bytes FileName is stored as. With OEMFileNames and without the UTF-8
// flag: CP437 when CP437 holds every character, else the UTF-8 text itself,
// which the reader recognises (question marks would extract under another
// name). Otherwise the text unchanged.
std::string EncodeStoredName(const std::string& FileName, uint16_t Flags, bool OEMFileNames);
