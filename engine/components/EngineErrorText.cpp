#include "engine/components/EngineErrorText.h"

#include <string>

#include "engine/core/TextCase.h"

namespace keel {

namespace {

// The number of continuation bytes a UTF-8 lead byte announces; -1 for a
// byte that cannot lead.
int ContinuationCount(unsigned char lead) {
  if (lead < 0x80) return 0;
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return -1;
}

void ToUtf8(std::string& text) {
  if (!IsUtf8(text)) text = AnsiToUtf8(text);
}

}  // namespace

bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int more = ContinuationCount(lead);
    if (more < 0 || static_cast<size_t>(more) > text.size() - i - 1) return false;
    for (int k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) return false;
    }
    // Overlong three- and four-byte forms and the surrogates.
    if (more >= 2) {
      const auto second = static_cast<unsigned char>(text[i + 1]);
      if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
          (lead == 0xF4 && second >= 0x90))
        return false;
    }
    i += static_cast<size_t>(more) + 1;
  }
  return true;
}

EKeelEngineError Utf8EngineError(const EKeelEngineError& error) {
  ErrorContext context = error.context();
  for (std::string* text : {&context.table, &context.database, &context.field, &context.index, &context.user,
                            &context.server, &context.event, &context.extra})
    ToUtf8(*text);
  return EKeelEngineError(error.code(), std::move(context));
}

}  // namespace keel
