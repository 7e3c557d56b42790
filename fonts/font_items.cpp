#include "fonts/font_items.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"

void PutByte(RWVirtualOutputStream& stream, std::uint8_t value) {
  stream.PutUChar(value);
}

void PutByte(RWFile& file, std::uint8_t value) {
  file.WriteUChar(value);
}

bool GetByte(RWVirtualInputStream& stream, std::uint8_t& value) {
  std::uint8_t read = 0;
  if (!stream.Good() || !stream.GetUChar(read).Good()) return false;
  value = read;
  return true;
}

bool GetByte(RWFile& file, std::uint8_t& value) {
  std::uint8_t read = 0;
  if (file.Error() || file.Eof() || !file.ReadUChar(read)) return false;
  value = read;
  return true;
}
