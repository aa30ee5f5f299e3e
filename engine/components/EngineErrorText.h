#pragma once

// Engine errors name tables, fields, indexes and the words of a filter or
// statement as the engine keeps them, in Windows-1252. What the application
// catches from a dataset carries UTF-8 like all its other texts, so every
// public operation of the datasets that reaches into the engine runs its
// body through AtEdge, and the conversion happens here alone.

#include <string_view>

#include "engine/core/ErrorCodes.h"

namespace keel {

// True when `text` is well-formed UTF-8 (plain ASCII included).
bool IsUtf8(std::string_view text);

// The same error with its names in UTF-8 and its message built from them.
// Table names and paths are file-system names, UTF-8 already; a name that
// is well-formed UTF-8 is therefore kept as it is. (A Windows-1252 name is
// well-formed UTF-8 only when it is ASCII or holds unlikely pairs such as
// "Ã¼".) Converting an error twice changes nothing.
EKeelEngineError Utf8EngineError(const EKeelEngineError& error);

template <typename Body>
decltype(auto) AtEdge(Body&& body) {
  try {
    return body();
  } catch (const EKeelEngineError& error) {
    throw Utf8EngineError(error);
  }
}

}  // namespace keel
