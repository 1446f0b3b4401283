#pragma once

#include <zlib.h>

#include <cstdint>

// A zlib inflate stream that is ended on every way out. The entry reader
// drives it raw (WindowBits -15: deflate data without header or trailer); the
// block format uses the zlib-wrapped form (15).
class TInflater {
 public:
  static constexpr int RawDeflate = -15;
  static constexpr int ZlibWrapped = 15;

  // Raises std::bad_alloc when zlib runs out of memory; any other failure
  // leaves Ready() false.
  explicit TInflater(int WindowBits);
  ~TInflater();
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;

  bool Ready() const { return FReady; }
  z_stream& Stream() { return FStream; }

  // inflate without flushing. Raises std::bad_alloc for Z_MEM_ERROR; every
  // other result is returned.
  int Inflate();
  // Ends the stream now (the destructor then does nothing) and returns
  // inflateEnd's result.
  int End();
  // zlib's message for the last failure, or a text for Result.
  const char* Message(int Result) const;

 private:
  z_stream FStream{};
  bool FReady = false;
};
