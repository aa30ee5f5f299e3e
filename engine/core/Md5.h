#pragma once

// MD5 digests (RFC 1321): the engine signature, passwords and RecordHash.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace keel {

using Md5Digest = std::array<uint8_t, 16>;

Md5Digest Md5(const void* data, size_t length);
Md5Digest Md5(std::string_view text);

}  // namespace keel
