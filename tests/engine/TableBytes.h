#pragma once

// Lays out a data file byte by byte from the format's own tables (header,
// descriptors, rows), without the engine's encoders, so tests can check the
// engine against an independent picture of the file.

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/Md5.h"

namespace keel::testing {

class TableBytes {
 public:
  struct Field {
    std::string name;
    uint8_t type;
    uint8_t subtype;
    uint16_t size;
    uint16_t stored;
  };

  TableBytes() {
    put8(8, 6);
    const uint8_t standard[16] = {0x8A, 0xBE, 0x8E, 0x59, 0x23, 0x64, 0xCB, 0x40,
                                  0x3D, 0x71, 0xD2, 0xE3, 0xBC, 0x64, 0xD0, 0x01};
    std::memcpy(header_.data() + 9, standard, 16);
    put32(29, 1);
  }

  TableBytes& field(const std::string& name, uint8_t type, uint16_t stored, uint16_t size = 0, uint8_t subtype = 0) {
    fields_.push_back({name, type, subtype, size, stored});
    return *this;
  }
  // One row: status, link, RecordID, then per field null byte + value bytes
  // (nullopt = NULL). The hash is computed over bytes 25.. as the format says.
  TableBytes& row(int32_t recordId, const std::vector<std::optional<std::vector<uint8_t>>>& values, uint8_t status = 0,
                  int32_t link = -1) {
    std::vector<uint8_t> r(rowSize(), 0);
    r[0] = status;
    int32_t number = static_cast<int32_t>(rows_.size() + 1);
    le32(r.data() + 1, link == -1 ? number : link);
    le32(r.data() + 5, recordId);
    size_t at = 25;
    for (size_t i = 0; i < fields_.size(); ++i) {
      if (i < values.size() && values[i]) {
        r[at] = 1;
        std::memcpy(r.data() + at + 1, values[i]->data(), std::min<size_t>(values[i]->size(), fields_[i].stored));
      }
      at += fields_[i].stored + 1u;
    }
    Md5Digest hash = Md5(r.data() + 25, r.size() - 25);
    std::memcpy(r.data() + 9, hash.data(), 16);
    rows_.push_back(r);
    return *this;
  }

  // Header values; offsets as in the format.
  TableBytes& put8(size_t at, uint8_t v) { header_[at] = v; return *this; }
  TableBytes& put16(size_t at, uint16_t v) { le16(header_.data() + at, v); return *this; }
  TableBytes& put32(size_t at, int32_t v) { le32(header_.data() + at, v); return *this; }
  TableBytes& putDouble(size_t at, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i) header_[at + i] = static_cast<uint8_t>(bits >> (8 * i));
    return *this;
  }

  size_t rowSize() const {
    size_t total = 25;
    for (const Field& f : fields_) total += f.stored + 1u;
    return (total + 7) / 8 * 8;
  }

  // Counters not set explicitly follow the rows.
  std::vector<uint8_t> build(bool countersFromRows = true) {
    if (countersFromRows) {
      put32(29, static_cast<int32_t>(rows_.size() + 1));
      int32_t active = 0, lastId = 0;
      for (auto& r : rows_) {
        if (r[0] != 1) ++active;
        lastId = std::max<int32_t>(lastId, static_cast<int32_t>(r[5] | r[6] << 8 | r[7] << 16 | r[8] << 24));
      }
      put32(41, active);
      if (get32(33) == 0) put32(33, lastId);
    }
    put16(45, static_cast<uint16_t>(rowSize()));
    put16(47, static_cast<uint16_t>(fields_.size()));
    uint16_t blobs = 0;
    for (auto& f : fields_) blobs += f.type == 3;
    put16(49, blobs);
    std::vector<uint8_t> out(header_.begin(), header_.end());
    size_t offset = 25;
    for (size_t i = 0; i < fields_.size(); ++i) {
      std::array<uint8_t, 768> d{};
      le16(d.data(), static_cast<uint16_t>(i + 1));
      d[2] = static_cast<uint8_t>(fields_[i].name.size());
      std::memcpy(d.data() + 3, fields_[i].name.data(), fields_[i].name.size());
      d[164] = fields_[i].type;
      d[165] = fields_[i].subtype;
      le16(d.data() + 166, fields_[i].size);
      le16(d.data() + 169, fields_[i].stored);
      le16(d.data() + 172, static_cast<uint16_t>(offset));
      offset += fields_[i].stored + 1u;
      out.insert(out.end(), d.begin(), d.end());
    }
    for (auto& r : rows_) out.insert(out.end(), r.begin(), r.end());
    return out;
  }

  int32_t get32(size_t at) const {
    return static_cast<int32_t>(header_[at] | header_[at + 1] << 8 | header_[at + 2] << 16 |
                                static_cast<uint32_t>(header_[at + 3]) << 24);
  }
  std::vector<std::vector<uint8_t>>& rows() { return rows_; }

  static std::vector<uint8_t> I32(int32_t v) {
    std::vector<uint8_t> b(4);
    le32(b.data(), v);
    return b;
  }
  static std::vector<uint8_t> Text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

 private:
  static void le16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
  }
  static void le32(uint8_t* p, int32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
  }

  std::array<uint8_t, 512> header_{};
  std::vector<Field> fields_;
  std::vector<std::vector<uint8_t>> rows_;
};

}  // namespace keel::testing
