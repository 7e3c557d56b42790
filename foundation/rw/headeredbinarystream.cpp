#include "foundation/rw/headeredbinarystream.h"

#include "foundation/rw/error.h"
#include "foundation/rw/readscope.h"

namespace {

std::uint32_t ChosenOrder(std::uint32_t requested) {
  return requested == kRWLittleEndian || requested == kRWBigEndian ? requested : kRWHostByteOrder;
}

void RaiseBadStream(const void* stream) {
  RaiseStreamStateError(RWStreamStateError(RWMessageText(rwtools::Stream()), stream));
}

// Sizes a reader can adapt.
bool UsableSize(std::uint32_t size) {
  return size >= 1 && size <= 8;
}

}  // namespace

RWHeaderedBinaryOutputStream::RWHeaderedBinaryOutputStream(std::ostream& os,
                                                           std::uint32_t byte_order)
    : RWBinaryOutputStream(os, ChosenOrder(byte_order)) {
  WriteHeader();
}

RWHeaderedBinaryOutputStream::RWHeaderedBinaryOutputStream(std::streambuf* buffer,
                                                           std::uint32_t byte_order)
    : RWBinaryOutputStream(buffer, ChosenOrder(byte_order)) {
  WriteHeader();
}

void RWHeaderedBinaryOutputStream::WriteHeader() {
  if (!Good()) RaiseBadStream(this);
  const unsigned char header[kRWHeaderSize] = {kRWHeaderMagic0,
                                               kRWHeaderMagic1,
                                               kRWHeaderVersion,
                                               static_cast<unsigned char>(byte_order_),
                                               2,
                                               4,
                                               4,
                                               2,
                                               4};
  WriteBytes(header, sizeof header);
}

RWHeaderedBinaryInputStream::RWHeaderedBinaryInputStream(std::istream& is)
    : RWBinaryInputStream(is, kRWLittleEndian) {
  ReadHeader();
}

RWHeaderedBinaryInputStream::RWHeaderedBinaryInputStream(std::streambuf* buffer)
    : RWBinaryInputStream(buffer, kRWLittleEndian) {
  ReadHeader();
}

void RWHeaderedBinaryInputStream::ReadHeader() {
  RWReadScope scope(*this);
  unsigned char header[kRWHeaderSize];
  // A bad header is raised once; the fail bit then stops every later read.
  if (!ReadBytes(header, 3) || header[0] != kRWHeaderMagic0 || header[1] != kRWHeaderMagic1 ||
      header[2] != kRWHeaderVersion) {
    RaiseBadStream(this);
    SetFail();
    return;
  }
  if (!ReadBytes(header + 3, kRWHeaderSize - 3)) {
    RaiseBadStream(this);
    SetFail();
    return;
  }
  byte_order_ = header[3] == 0 ? kRWLittleEndian : kRWBigEndian;
  short_size_ = header[4];
  int_size_ = header[5];
  long_size_ = header[6];
  extra_sizes_[0] = header[7];
  extra_sizes_[1] = header[8];
  if (!UsableSize(short_size_) || !UsableSize(int_size_) || !UsableSize(long_size_)) SetFail();
}
