#include "engine/core/Md5.h"

#include <nettle/md5.h>

namespace keel {

Md5Digest Md5(const void* data, size_t length) {
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, length, static_cast<const uint8_t*>(data));
  Md5Digest digest{};
  md5_digest(&context, digest.size(), digest.data());
  return digest;
}

Md5Digest Md5(std::string_view text) { return Md5(text.data(), text.size()); }

}  // namespace keel
