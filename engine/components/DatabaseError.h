#pragma once

// The dataset layer's own database error: misuse of a component (an operation
// in the wrong open or closed state, a missing name, a bad definition) with a
// fixed text. Failures of the table engine itself arrive as EKeelEngineError.

#include <exception>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

namespace keel {

class EDatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Ends an operation the user (or a handler) chose to abandon; it carries no
// message to show, and error reporting passes it over in silence.
class EAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

// The fixed texts; "%s" places are filled in order by DatabaseError().
namespace db_messages {
inline constexpr std::string_view kEngineActive = "Cannot perform this operation when the engine is active";
inline constexpr std::string_view kEngineExists = "An engine component already exists";
inline constexpr std::string_view kInvalidSessionName = "Session name '%s' is not valid";
inline constexpr std::string_view kSessionNameMissing = "Session name is missing";
inline constexpr std::string_view kRemoteWithServer = "Cannot activate a remote session with the server engine";
inline constexpr std::string_view kInvalidDatabaseName = "Database name '%s' is not valid";
inline constexpr std::string_view kDatabaseOpen = "Cannot perform this operation on an open database";
inline constexpr std::string_view kDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr std::string_view kDataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr std::string_view kDataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr std::string_view kMissingTableName = "Missing table name";
inline constexpr std::string_view kNoTableHandle = "Error creating table handle";
inline constexpr std::string_view kNoSqlStatement = "No SQL statement available";
inline constexpr std::string_view kNotEditing = "Table is not in edit or insert mode";
inline constexpr std::string_view kFieldNotInIndex = "Field '%s' is not in the current index";
inline constexpr std::string_view kFieldReadOnly = "Field '%s' cannot be modified";
inline constexpr std::string_view kEmptyDataSet = "Cannot perform this operation on an empty dataset";
inline constexpr std::string_view kFieldNotFound = "Field '%s' not found";
inline constexpr std::string_view kNoIndexForFields = "No index for fields '%s'";
inline constexpr std::string_view kOnePrimaryIndex = "Only one primary index allowed per table";
inline constexpr std::string_view kFieldNameMissing = "Field name missing";
inline constexpr std::string_view kDuplicateIndexName = "Duplicate index name '%s'";
inline constexpr std::string_view kInvalidFieldSize = "Invalid field size";
inline constexpr std::string_view kInvalidValue = "'%s' is not a valid value for field '%s'";
inline constexpr std::string_view kOutOfRange = "%s is not a valid value for field '%s'. The allowed range is %s to %s";
inline constexpr std::string_view kWrongFieldType = "Cannot access field '%s' as type %s";
inline constexpr std::string_view kInvalidParamValue = "'%s' is not a valid value for parameter '%s'";
inline constexpr std::string_view kParamNotFound = "Parameter '%s' not found";
}  // namespace db_messages

// The text with its "%s" places filled in order.
std::string FormatDatabaseMessage(std::string_view pattern, std::initializer_list<std::string_view> arguments = {});

[[noreturn]] void DatabaseError(std::string_view pattern, std::initializer_list<std::string_view> arguments = {});

}  // namespace keel
