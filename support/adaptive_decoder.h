// A printer's decoding of the row encoders' wire formats
// (output/raster/encoders.h): run-length packets, delta rows and adaptive
// row blocks. The raster tests, the encoder fuzz target and the
// demonstration's picture maker (examples/port_to_png) share it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace support {

using Row = std::vector<std::uint8_t>;

// The decoders answer false where a printer would meet a malformed row.
inline bool UnpackRunLength(const std::uint8_t* in, std::size_t n, Row& out) {
  for (std::size_t i = 0; i < n;) {
    const std::size_t control = in[i++];
    if (control == 0x80 || i == n || (control < 0x80 && n - i < control + 1)) return false;
    if (control < 0x80) out.insert(out.end(), in + i, in + i + control + 1);
    if (control > 0x80) out.insert(out.end(), 257 - control, in[i]);
    i += control < 0x80 ? control + 1 : 1;
  }
  return true;
}

inline bool ApplyDeltaRow(const std::uint8_t* in, std::size_t n, Row& seed) {
  for (std::size_t i = 0, at = 0; i < n;) {
    const std::size_t count = (in[i] >> 5) + 1u;
    std::size_t offset = in[i++] & 31u;
    for (std::uint8_t more = offset == 31 ? 255 : 0; more == 255; offset += more) {
      if (i == n) return false;
      more = in[i++];
    }
    at += offset;
    if (at + count > seed.size() || n - i < count) return false;
    std::copy(in + i, in + i + count, seed.begin() + at);
    i += count;
    at += count;
  }
  return true;
}

// Appends the rows of adaptive blocks to `rows`; `seed` (row size bytes)
// is the printer's seed row, carried from call to call.
inline bool DecodeAdaptive(const std::uint8_t* in, std::size_t n, std::size_t padding, Row& seed,
                           std::vector<Row>& rows) {
  for (std::size_t i = 0; i < n;) {
    if (n - i < 3) return false;
    const std::uint8_t mode = in[i];
    const std::size_t count = std::size_t{in[i + 1]} << 8 | in[i + 2];
    i += 3;
    if (mode == 5 && !rows.empty()) {
      rows.insert(rows.end(), count, rows.back());
      continue;
    }
    if (n - i < count) return false;
    Row data;
    if (mode == 0) data.assign(in + i, in + i + count);
    bool ok = mode == 0 || (mode == 2 && UnpackRunLength(in + i, count, data)) ||
              (mode == 3 && ApplyDeltaRow(in + i, count, seed));
    if (ok && mode != 3) {  // the row, then its padding as 0 bytes
      ok = data.size() == seed.size() + padding &&
           std::all_of(data.begin() + seed.size(), data.end(), [](auto b) { return b == 0; });
      if (ok) seed.assign(data.begin(), data.begin() + seed.size());
    }
    if (!ok) return false;
    rows.push_back(seed);
    i += count;
  }
  return true;
}

}  // namespace support
