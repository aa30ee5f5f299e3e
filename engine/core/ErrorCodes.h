#pragma once

// Engine error codes, their symbolic names and message templates, and the one
// exception class every failure of the table engine is raised as.

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

namespace keel {

enum class ErrorCode : uint16_t {
  KEEL_NONE = 0,
  KEEL_BOF = 8705,
  KEEL_EOF = 8706,
  KEEL_KEYORRECDELETED = 8708,
  KEEL_NOCURRREC = 8709,
  KEEL_RECNOTFOUND = 8710,
  KEEL_ENDOFBLOB = 8711,
  KEEL_HEADERCORRUPT = 8961,
  KEEL_FILECORRUPT = 8962,
  KEEL_MEMOCORRUPT = 8963,
  KEEL_INDEXCORRUPT = 8965,
  KEEL_READERR = 9217,
  KEEL_WRITEERR = 9218,
  KEEL_RECTOOBIG = 9477,
  KEEL_TABLEFULL = 9479,
  KEEL_DATABASEFULL = 9480,
  KEEL_INTERNALLIMIT = 9482,
  KEEL_INDEXLIMIT = 9487,
  KEEL_FLDLIMIT = 9492,
  KEEL_OPENBLOBLIMIT = 9494,
  KEEL_BLOBLIMIT = 9498,
  KEEL_KEYVIOL = 9729,
  KEEL_MINVALERR = 9730,
  KEEL_MAXVALERR = 9731,
  KEEL_REQDERR = 9732,
  KEEL_OUTOFRANGE = 9985,
  KEEL_PRIMARYKEYREDEFINE = 9993,
  KEEL_INVALIDBLOBOFFSET = 9998,
  KEEL_INVALIDFLDTYPE = 10000,
  KEEL_INVALIDVCHKSTRUCT = 10006,
  KEEL_INDEXNAMEREQUIRED = 10010,
  KEEL_INVALIDPASSWORD = 10015,
  KEEL_INVALIDINDEXNAME = 10022,
  KEEL_INVALIDIDXDESC = 10023,
  KEEL_INVALIDKEY = 10026,
  KEEL_INDEXEXISTS = 10027,
  KEEL_INVALIDBLOBLEN = 10029,
  KEEL_INVALIDBLOBHANDLE = 10030,
  KEEL_TABLEOPEN = 10031,
  KEEL_INVALIDFIELDNAME = 10038,
  KEEL_NOSUCHFILTER = 10050,
  KEEL_INVALIDFILTER = 10051,
  KEEL_LOCKREADLOCK = 10221,
  KEEL_LOCKREADUNLOCK = 10222,
  KEEL_LOCKWRITELOCK = 10223,
  KEEL_LOCKWRITEUNLOCK = 10224,
  KEEL_READLOCK = 10225,
  KEEL_READUNLOCK = 10226,
  KEEL_WRITELOCK = 10227,
  KEEL_WRITEUNLOCK = 10228,
  KEEL_TRANSLOCK = 10229,
  KEEL_TRANSUNLOCK = 10230,
  KEEL_LOCKED = 10241,
  KEEL_UNLOCKFAILED = 10242,
  KEEL_NEEDEXCLACCESS = 10253,
  KEEL_RECLOCKFAILED = 10258,
  KEEL_NOTSUFFTABLERIGHTS = 10498,
  KEEL_NOTABLOB = 10753,
  KEEL_OSENOENT = 11010,
  KEEL_OSEMFILE = 11012,
  KEEL_OSEACCES = 11013,
  KEEL_OSEBADF = 11014,
  KEEL_OSENOMEM = 11016,
  KEEL_OSENODEV = 11023,
  KEEL_OSENOTSAM = 11025,
  KEEL_OSUNKNOWN = 11047,
  // Remote, import/export, stream and trigger codes: never raised by this
  // system, kept so that their messages format like every other code.
  KEEL_REMOTECONNECTLOST = 11276,
  KEEL_REMOTEENCRYPTREQ = 11277,
  KEEL_REMOTEUNKNOWN = 11279,
  KEEL_REMOTECONNECT = 11280,
  KEEL_REMOTENOLOGIN = 11281,
  KEEL_REMOTEMAXCONNECT = 11282,
  KEEL_REMOTEADDRBLOCK = 11283,
  KEEL_REMOTECALLBACK = 11285,
  KEEL_REMOTEVERSION = 11286,
  KEEL_REMOTEINVLOGIN = 11287,
  KEEL_REMOTENOTAUTH = 11288,
  KEEL_REMOTENOTADMIN = 11289,
  KEEL_REMOTEINVUSER = 11290,
  KEEL_REMOTEUSERNOTFOUND = 11291,
  KEEL_REMOTEUSEREXISTS = 11292,
  KEEL_REMOTEINVDB = 11293,
  KEEL_REMOTEDBNOTFOUND = 11294,
  KEEL_REMOTEDBEXISTS = 11295,
  KEEL_REMOTEINVDBUSER = 11296,
  KEEL_REMOTEDBUSERNOTFOUND = 11297,
  KEEL_REMOTEDBUSEREXISTS = 11298,
  KEEL_REMOTEINVPROC = 11299,
  KEEL_REMOTEPROCNOTFOUND = 11300,
  KEEL_REMOTEPROCEXISTS = 11301,
  KEEL_REMOTEINVPROCUSER = 11302,
  KEEL_REMOTEPROCUSERNOTFOUND = 11303,
  KEEL_REMOTEPROCUSEREXISTS = 11304,
  KEEL_REMOTEINVEVENT = 11305,
  KEEL_REMOTEEVENTNOTFOUND = 11306,
  KEEL_REMOTEEVENTEXISTS = 11307,
  KEEL_REMOTEINVREQ = 11308,
  KEEL_IMPORTERR = 11309,
  KEEL_EXPORTERR = 11310,
  KEEL_LOADSTREAMERR = 11312,
  KEEL_SAVESTREAMERR = 11313,
  KEEL_TRIGGERERR = 11314,
  KEEL_SQLPARSE = 11949,
  KEEL_SQLEXEC = 11950,
  KEEL_OLDVERSION = 12035,
  KEEL_BADSIGNATURE = 12036,
  KEEL_SEARCHCOLREQD = 12292,
  KEEL_TABLEEXISTS = 13060,
  KEEL_COMPRESS = 15001,
  KEEL_UNCOMPRESS = 15002,
  KEEL_CANNOTLOADLDDRV = 15878,
};

// The names involved in an error. Texts longer than 255 characters are cut
// when the error is raised. `table` is the table name as opened, or the full
// file path for errors of the file layer.
struct ErrorContext {
  std::string table{};
  std::string database{};
  std::string field{};
  std::string index{};
  std::string user{};
  std::string server{};
  std::string event{};
  std::string extra{};  // message text of filter and SQL errors
  int32_t osError = 0;
  int32_t line = 0;
  int32_t column = 0;
};

// "KEEL_BOF" for 8705; empty for a code outside the table.
std::string_view ErrorName(ErrorCode code);

// The code's template with its places filled from the context, cut to 254
// characters; "An unknown error occurred" for a code without a template.
std::string FormatErrorMessage(ErrorCode code, const ErrorContext& context);

class EKeelEngineError : public std::runtime_error {
 public:
  EKeelEngineError(ErrorCode code, ErrorContext context);

  ErrorCode code() const { return code_; }
  int32_t osError() const { return context_.osError; }
  int32_t secondError() const { return 0; }  // only remote sessions set it
  int32_t line() const { return context_.line; }
  int32_t column() const { return context_.column; }
  const ErrorContext& context() const { return context_; }

 private:
  ErrorCode code_;
  ErrorContext context_;
};

// Builds the exception (message "Keel Engine Error # <code> <text>") and throws it.
[[noreturn]] void raise(ErrorCode code, ErrorContext context = {});

// The code of an engine error; 11047 for any other exception.
ErrorCode ErrorCodeOf(const std::exception& error);

// Engine code for a POSIX errno value of a failed file operation.
ErrorCode ErrorCodeForErrno(int errnum);

// Raises the engine error for a failed file operation on `path`.
[[noreturn]] void raiseOsError(int errnum, const std::string& path);

}  // namespace keel
