#include "itemdata/Inflater.h"

#include <new>

TInflater::TInflater(int WindowBits) {
  int Result = inflateInit2(&FStream, WindowBits);
  if (Result == Z_MEM_ERROR) throw std::bad_alloc();
  FReady = Result == Z_OK;
}

TInflater::~TInflater() { End(); }

int TInflater::Inflate() {
  int Result = inflate(&FStream, Z_NO_FLUSH);
  // Running out of memory ends the run; everything else is the entry's.
  if (Result == Z_MEM_ERROR) throw std::bad_alloc();
  return Result;
}

int TInflater::End() {
  if (!FReady) return Z_OK;
  FReady = false;
  return inflateEnd(&FStream);
}

const char* TInflater::Message(int Result) const {
  if (FStream.msg != nullptr) return FStream.msg;
  switch (Result) {
    case Z_DATA_ERROR:
      return "invalid deflate data";
    case Z_STREAM_ERROR:
      return "inconsistent stream state";
    case Z_NEED_DICT:
      return "preset dictionary needed";
    default:
      return "inflate failed";
  }
}
