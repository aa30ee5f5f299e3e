#include "engine/core/ErrorCodes.h"

#include <cerrno>
#include <utility>

namespace keel {

namespace {

// `places` names what fills each "%s"/"%u" of the template, in order:
// t table, d database, f field, i index, u user, s server, e event,
// x extra message, o OS error number, l line, c column.
struct ErrorEntry {
  ErrorCode code;
  std::string_view name;
  std::string_view text;
  std::string_view places;
};

constexpr ErrorEntry kErrors[] = {
    {ErrorCode::KEEL_NONE, "KEEL_NONE", "", ""},
    {ErrorCode::KEEL_BOF, "KEEL_BOF", "Beginning of table '%s' unexpectedly encountered", "t"},
    {ErrorCode::KEEL_EOF, "KEEL_EOF", "End of table '%s' unexpectedly encountered", "t"},
    {ErrorCode::KEEL_KEYORRECDELETED, "KEEL_KEYORRECDELETED",
     "Record has been changed or deleted by another user, session, or table cursor in the table '%s'", "t"},
    {ErrorCode::KEEL_NOCURRREC, "KEEL_NOCURRREC", "No current record in the table '%s'", "t"},
    {ErrorCode::KEEL_RECNOTFOUND, "KEEL_RECNOTFOUND", "Record not found in the table '%s'", "t"},
    {ErrorCode::KEEL_ENDOFBLOB, "KEEL_ENDOFBLOB", "End of BLOB field in the table '%s' reached prematurely", "t"},
    {ErrorCode::KEEL_HEADERCORRUPT, "KEEL_HEADERCORRUPT", "Header information corrupt in the table '%s'", "t"},
    {ErrorCode::KEEL_FILECORRUPT, "KEEL_FILECORRUPT", "Data record buffers corrupt in the table '%s'", "t"},
    {ErrorCode::KEEL_MEMOCORRUPT, "KEEL_MEMOCORRUPT", "BLOB block buffers corrupt in the table '%s'", "t"},
    {ErrorCode::KEEL_INDEXCORRUPT, "KEEL_INDEXCORRUPT", "Index page buffers corrupt in the table '%s'", "t"},
    {ErrorCode::KEEL_READERR, "KEEL_READERR", "Error reading from the table or backup file '%s'", "t"},
    {ErrorCode::KEEL_WRITEERR, "KEEL_WRITEERR", "Error writing to the table or backup file '%s'", "t"},
    {ErrorCode::KEEL_RECTOOBIG, "KEEL_RECTOOBIG", "Maximum record size exceeded in the table '%s'", "t"},
    {ErrorCode::KEEL_TABLEFULL, "KEEL_TABLEFULL", "The table '%s' is full and cannot contain any more data", "t"},
    {ErrorCode::KEEL_DATABASEFULL, "KEEL_DATABASEFULL",
     "The database '%s' is full and cannot contain any more tables", "d"},
    {ErrorCode::KEEL_INTERNALLIMIT, "KEEL_INTERNALLIMIT", "Too many filters defined for the table '%s'", "t"},
    {ErrorCode::KEEL_INDEXLIMIT, "KEEL_INDEXLIMIT",
     "Maximum or minimum limits on the index page size, the number of indexes, or the number of fields in an "
     "index exceeded in the table '%s'",
     "t"},
    {ErrorCode::KEEL_FLDLIMIT, "KEEL_FLDLIMIT",
     "Maximum or minimum limits on number of fields exceeded in the table '%s'", "t"},
    {ErrorCode::KEEL_OPENBLOBLIMIT, "KEEL_OPENBLOBLIMIT", "Too many BLOBs opened in the table '%s'", "t"},
    {ErrorCode::KEEL_BLOBLIMIT, "KEEL_BLOBLIMIT",
     "Too many BLOB fields or invalid BLOB block size specified for the table '%s'", "t"},
    {ErrorCode::KEEL_KEYVIOL, "KEEL_KEYVIOL", "Duplicate key found in the index '%s' of the table '%s'", "it"},
    {ErrorCode::KEEL_MINVALERR, "KEEL_MINVALERR",
     "The value for the field '%s' in the table '%s' is below the minimum allowable value", "ft"},
    {ErrorCode::KEEL_MAXVALERR, "KEEL_MAXVALERR",
     "The value for the field '%s' in the table '%s' is above the maximum allowable value", "ft"},
    {ErrorCode::KEEL_REQDERR, "KEEL_REQDERR", "A value must be provided for the field '%s' in the table '%s'", "ft"},
    {ErrorCode::KEEL_OUTOFRANGE, "KEEL_OUTOFRANGE",
     "Invalid field number or name '%s' specified for the table '%s'", "ft"},
    {ErrorCode::KEEL_PRIMARYKEYREDEFINE, "KEEL_PRIMARYKEYREDEFINE",
     "A primary index is already defined for the table '%s' and cannot be added again", "t"},
    {ErrorCode::KEEL_INVALIDBLOBOFFSET, "KEEL_INVALIDBLOBOFFSET", "Invalid BLOB offset into the table '%s' specified",
     "t"},
    {ErrorCode::KEEL_INVALIDFLDTYPE, "KEEL_INVALIDFLDTYPE",
     "Invalid field definition specified for the field '%s' in the table '%s'", "ft"},
    {ErrorCode::KEEL_INVALIDVCHKSTRUCT, "KEEL_INVALIDVCHKSTRUCT",
     "Invalid default expression or min/max constraint specified for the field '%s' in the table '%s'", "ft"},
    {ErrorCode::KEEL_INDEXNAMEREQUIRED, "KEEL_INDEXNAMEREQUIRED",
     "The secondary index name is missing or not specified for the table '%s'", "t"},
    {ErrorCode::KEEL_INVALIDPASSWORD, "KEEL_INVALIDPASSWORD", "Password provided for the table '%s' is invalid", "t"},
    {ErrorCode::KEEL_INVALIDINDEXNAME, "KEEL_INVALIDINDEXNAME",
     "Invalid secondary index name '%s' specified for the table '%s'", "it"},
    {ErrorCode::KEEL_INVALIDIDXDESC, "KEEL_INVALIDIDXDESC",
     "Invalid field number '%s' specified in the index '%s' for the table '%s'", "fit"},
    {ErrorCode::KEEL_INVALIDKEY, "KEEL_INVALIDKEY", "Invalid key size specified in the index '%s' for the table '%s'",
     "it"},
    {ErrorCode::KEEL_INDEXEXISTS, "KEEL_INDEXEXISTS", "The secondary index '%s' already exists for the table '%s'",
     "it"},
    {ErrorCode::KEEL_INVALIDBLOBLEN, "KEEL_INVALIDBLOBLEN", "Invalid BLOB length in the table '%s'", "t"},
    {ErrorCode::KEEL_INVALIDBLOBHANDLE, "KEEL_INVALIDBLOBHANDLE", "Invalid BLOB handle for the table '%s' specified",
     "t"},
    {ErrorCode::KEEL_TABLEOPEN, "KEEL_TABLEOPEN", "The table '%s' is already in use", "t"},
    {ErrorCode::KEEL_INVALIDFIELDNAME, "KEEL_INVALIDFIELDNAME",
     "Invalid or duplicate field name '%s' specified for the table '%s'", "ft"},
    {ErrorCode::KEEL_NOSUCHFILTER, "KEEL_NOSUCHFILTER", "Invalid filter handle specified for the table '%s'", "t"},
    {ErrorCode::KEEL_INVALIDFILTER, "KEEL_INVALIDFILTER", "Filter error for the table '%s' - %s at line %u, column %u",
     "txlc"},
    {ErrorCode::KEEL_LOCKREADLOCK, "KEEL_LOCKREADLOCK", "Cannot read lock the lock file for the database '%s'", "d"},
    {ErrorCode::KEEL_LOCKREADUNLOCK, "KEEL_LOCKREADUNLOCK", "Cannot read unlock the lock file for the database '%s'",
     "d"},
    {ErrorCode::KEEL_LOCKWRITELOCK, "KEEL_LOCKWRITELOCK", "Cannot write lock the lock file for the database '%s'",
     "d"},
    {ErrorCode::KEEL_LOCKWRITEUNLOCK, "KEEL_LOCKWRITEUNLOCK",
     "Cannot write unlock the lock file for the database '%s'", "d"},
    {ErrorCode::KEEL_READLOCK, "KEEL_READLOCK", "Cannot read lock the table '%s'", "t"},
    {ErrorCode::KEEL_READUNLOCK, "KEEL_READUNLOCK", "Cannot read unlock the table '%s'", "t"},
    {ErrorCode::KEEL_WRITELOCK, "KEEL_WRITELOCK", "Cannot write lock the table '%s'", "t"},
    {ErrorCode::KEEL_WRITEUNLOCK, "KEEL_WRITEUNLOCK", "Cannot write unlock the table '%s'", "t"},
    {ErrorCode::KEEL_TRANSLOCK, "KEEL_TRANSLOCK", "Transaction cannot lock the database '%s'", "d"},
    {ErrorCode::KEEL_TRANSUNLOCK, "KEEL_TRANSUNLOCK", "Transaction cannot unlock the database '%s'", "d"},
    {ErrorCode::KEEL_LOCKED, "KEEL_LOCKED", "Cannot lock the table '%s'", "t"},
    {ErrorCode::KEEL_UNLOCKFAILED, "KEEL_UNLOCKFAILED", "Cannot unlock the table or record in the table '%s'", "t"},
    {ErrorCode::KEEL_NEEDEXCLACCESS, "KEEL_NEEDEXCLACCESS", "The table '%s' must be opened exclusively", "t"},
    {ErrorCode::KEEL_RECLOCKFAILED, "KEEL_RECLOCKFAILED", "Cannot lock record in the table '%s'", "t"},
    {ErrorCode::KEEL_NOTSUFFTABLERIGHTS, "KEEL_NOTSUFFTABLERIGHTS",
     "Insufficient rights to the table '%s', a password is required", "t"},
    {ErrorCode::KEEL_NOTABLOB, "KEEL_NOTABLOB", "Invalid BLOB field '%s' specified for the table '%s'", "ft"},
    {ErrorCode::KEEL_OSENOENT, "KEEL_OSENOENT", "Table or backup file '%s' does not exist", "t"},
    {ErrorCode::KEEL_OSEMFILE, "KEEL_OSEMFILE",
     "Too many operating system files open while attempting to open the table '%s'", "t"},
    {ErrorCode::KEEL_OSEACCES, "KEEL_OSEACCES", "Access denied to table or backup file '%s'", "t"},
    {ErrorCode::KEEL_OSEBADF, "KEEL_OSEBADF", "Invalid operating system file handle for the table '%s'", "t"},
    {ErrorCode::KEEL_OSENOMEM, "KEEL_OSENOMEM",
     "There is insufficient operating system memory available for the current operation", ""},
    {ErrorCode::KEEL_OSENODEV, "KEEL_OSENODEV",
     "Access denied to logical operating system device for the table '%s'", "t"},
    {ErrorCode::KEEL_OSENOTSAM, "KEEL_OSENOTSAM", "The table or backup file '%s' has been moved", "t"},
    {ErrorCode::KEEL_OSUNKNOWN, "KEEL_OSUNKNOWN",
     "An unknown operating system error %u occurred with the table or backup file '%s'", "ot"},
    {ErrorCode::KEEL_REMOTECONNECTLOST, "KEEL_REMOTECONNECTLOST",
     "The connection to the database server at '%s' has been lost", "s"},
    {ErrorCode::KEEL_REMOTEENCRYPTREQ, "KEEL_REMOTEENCRYPTREQ",
     "The database server at '%s' requires an encrypted connection", "s"},
    {ErrorCode::KEEL_REMOTEUNKNOWN, "KEEL_REMOTEUNKNOWN",
     "An unknown error ('%s') occurred with the connection to the database server at '%s', please check the "
     "server log",
     "xs"},
    {ErrorCode::KEEL_REMOTECONNECT, "KEEL_REMOTECONNECT",
     "A connection to the database server at '%s' cannot be established", "s"},
    {ErrorCode::KEEL_REMOTENOLOGIN, "KEEL_REMOTENOLOGIN",
     "A connection to the database server at '%s' cannot be established, the server is not accepting new logins",
     "s"},
    {ErrorCode::KEEL_REMOTEMAXCONNECT, "KEEL_REMOTEMAXCONNECT",
     "A connection to the database server at '%s' cannot be established, the maximum number of server or user "
     "connections has been reached",
     "s"},
    {ErrorCode::KEEL_REMOTEADDRBLOCK, "KEEL_REMOTEADDRBLOCK",
     "A connection to the database server at '%s' cannot be established, the client address is blocked", "s"},
    {ErrorCode::KEEL_REMOTECALLBACK, "KEEL_REMOTECALLBACK",
     "A server callback error occurred for the database server at '%s'", "s"},
    {ErrorCode::KEEL_REMOTEVERSION, "KEEL_REMOTEVERSION",
     "A call to the database server at '%s' failed, the client engine version does not match the server", "s"},
    {ErrorCode::KEEL_REMOTEINVLOGIN, "KEEL_REMOTEINVLOGIN",
     "A connection to the database server at '%s' cannot be established, the login information provided is "
     "invalid",
     "s"},
    {ErrorCode::KEEL_REMOTENOTAUTH, "KEEL_REMOTENOTAUTH",
     "The user '%s' is not authorized to perform this operation with the database '%s' on the database server at "
     "'%s'",
     "uds"},
    {ErrorCode::KEEL_REMOTENOTADMIN, "KEEL_REMOTENOTADMIN",
     "The user '%s' is not authorized to perform administration functions on the database server at '%s'", "us"},
    {ErrorCode::KEEL_REMOTEINVUSER, "KEEL_REMOTEINVUSER", "The user name is either invalid or blank", ""},
    {ErrorCode::KEEL_REMOTEUSERNOTFOUND, "KEEL_REMOTEUSERNOTFOUND",
     "The user '%s' does not exist on the database server at '%s'", "us"},
    {ErrorCode::KEEL_REMOTEUSEREXISTS, "KEEL_REMOTEUSEREXISTS",
     "The user '%s' already exists on the database server at '%s'", "us"},
    {ErrorCode::KEEL_REMOTEINVDB, "KEEL_REMOTEINVDB", "The database name or directory is either invalid or blank", ""},
    {ErrorCode::KEEL_REMOTEDBNOTFOUND, "KEEL_REMOTEDBNOTFOUND",
     "The database '%s' does not exist on the database server at '%s'", "ds"},
    {ErrorCode::KEEL_REMOTEDBEXISTS, "KEEL_REMOTEDBEXISTS",
     "The database '%s' already exists on the database server at '%s'", "ds"},
    {ErrorCode::KEEL_REMOTEINVDBUSER, "KEEL_REMOTEINVDBUSER", "The database user name is either invalid or blank",
     ""},
    {ErrorCode::KEEL_REMOTEDBUSERNOTFOUND, "KEEL_REMOTEDBUSERNOTFOUND",
     "The database user '%s' does not exist for the database '%s' on the database server at '%s'", "uds"},
    {ErrorCode::KEEL_REMOTEDBUSEREXISTS, "KEEL_REMOTEDBUSEREXISTS",
     "The database user '%s' already exists for the database '%s' on the database server at '%s'", "uds"},
    {ErrorCode::KEEL_REMOTEINVPROC, "KEEL_REMOTEINVPROC", "The procedure name is either invalid or blank", ""},
    {ErrorCode::KEEL_REMOTEPROCNOTFOUND, "KEEL_REMOTEPROCNOTFOUND",
     "The procedure '%s' does not exist on the database server at '%s'", "es"},
    {ErrorCode::KEEL_REMOTEPROCEXISTS, "KEEL_REMOTEPROCEXISTS",
     "The procedure '%s' already exists on the database server at '%s'", "es"},
    {ErrorCode::KEEL_REMOTEINVPROCUSER, "KEEL_REMOTEINVPROCUSER",
     "The procedure user name is either invalid or blank", ""},
    {ErrorCode::KEEL_REMOTEPROCUSERNOTFOUND, "KEEL_REMOTEPROCUSERNOTFOUND",
     "The procedure user '%s' does not exist for the database '%s' on the database server at '%s'", "uds"},
    {ErrorCode::KEEL_REMOTEPROCUSEREXISTS, "KEEL_REMOTEPROCUSEREXISTS",
     "The procedure user '%s' already exists for the database '%s' on the database server at '%s'", "uds"},
    {ErrorCode::KEEL_REMOTEINVEVENT, "KEEL_REMOTEINVEVENT", "The event name is either invalid or blank", ""},
    {ErrorCode::KEEL_REMOTEEVENTNOTFOUND, "KEEL_REMOTEEVENTNOTFOUND",
     "The event '%s' does not exist on the database server at '%s'", "es"},
    {ErrorCode::KEEL_REMOTEEVENTEXISTS, "KEEL_REMOTEEVENTEXISTS",
     "The event '%s' already exists on the database server at '%s'", "es"},
    {ErrorCode::KEEL_REMOTEINVREQ, "KEEL_REMOTEINVREQ",
     "An invalid or unknown request was made to the database server at '%s'", "s"},
    {ErrorCode::KEEL_IMPORTERR, "KEEL_IMPORTERR", "An error occurred during the import into the table '%s' - %s",
     "tx"},
    {ErrorCode::KEEL_EXPORTERR, "KEEL_EXPORTERR", "An error occurred during the export from the table '%s' - %s",
     "tx"},
    {ErrorCode::KEEL_LOADSTREAMERR, "KEEL_LOADSTREAMERR",
     "An error occurred during the loading of a stream into the table '%s' - %s", "tx"},
    {ErrorCode::KEEL_SAVESTREAMERR, "KEEL_SAVESTREAMERR",
     "An error occurred during the saving of the table '%s' to a stream - %s", "tx"},
    {ErrorCode::KEEL_TRIGGERERR, "KEEL_TRIGGERERR", "An error occurred during a trigger on the table '%s' - %s", "tx"},
    {ErrorCode::KEEL_SQLPARSE, "KEEL_SQLPARSE", "SQL parsing error - %s at line %u, column %u", "xlc"},
    {ErrorCode::KEEL_SQLEXEC, "KEEL_SQLEXEC", "SQL execution error - %s", "x"},
    {ErrorCode::KEEL_OLDVERSION, "KEEL_OLDVERSION", "The table '%s' is not the correct version", "t"},
    {ErrorCode::KEEL_BADSIGNATURE, "KEEL_BADSIGNATURE", "The table or backup file '%s' is not valid", "t"},
    {ErrorCode::KEEL_SEARCHCOLREQD, "KEEL_SEARCHCOLREQD",
     "Invalid field '%s' specified for the index '%s' in the table '%s'", "fit"},
    {ErrorCode::KEEL_TABLEEXISTS, "KEEL_TABLEEXISTS", "The table '%s' already exists", "t"},
    {ErrorCode::KEEL_COMPRESS, "KEEL_COMPRESS", "Error compressing data", ""},
    {ErrorCode::KEEL_UNCOMPRESS, "KEEL_UNCOMPRESS", "Error uncompressing data", ""},
    {ErrorCode::KEEL_CANNOTLOADLDDRV, "KEEL_CANNOTLOADLDDRV",
     "The locale support for the table '%s' is not available or installed", "t"},
};

constexpr size_t kMaxContextText = 255;
constexpr size_t kMaxMessage = 254;

const ErrorEntry* FindEntry(ErrorCode code) {
  for (const ErrorEntry& entry : kErrors) {
    if (entry.code == code) return &entry;
  }
  return nullptr;
}

std::string PlaceText(char place, const ErrorContext& context) {
  switch (place) {
    case 't': return context.table;
    case 'd': return context.database;
    case 'f': return context.field;
    case 'i': return context.index;
    case 'u': return context.user;
    case 's': return context.server;
    case 'e': return context.event;
    case 'x': return context.extra;
    case 'o': return std::to_string(static_cast<uint32_t>(context.osError));
    case 'l': return std::to_string(static_cast<uint32_t>(context.line));
    case 'c': return std::to_string(static_cast<uint32_t>(context.column));
    default: return {};
  }
}

std::string FillTemplate(const ErrorEntry& entry, const ErrorContext& context) {
  std::string out;
  size_t next_place = 0;
  std::string_view text = entry.text;
  for (size_t i = 0; i < text.size(); ++i) {
    bool is_place = text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'u');
    if (!is_place) {
      out += text[i];
      continue;
    }
    if (next_place < entry.places.size()) out += PlaceText(entry.places[next_place], context);
    ++next_place;
    ++i;
  }
  return out;
}

void CutTo(std::string& text, size_t length) {
  if (text.size() > length) text.resize(length);
}

ErrorContext Recorded(ErrorContext context) {
  for (std::string* text : {&context.table, &context.database, &context.field, &context.index, &context.user,
                            &context.server, &context.event, &context.extra}) {
    CutTo(*text, kMaxContextText);
  }
  return context;
}

}  // namespace

std::string_view ErrorName(ErrorCode code) {
  const ErrorEntry* entry = FindEntry(code);
  return entry ? entry->name : std::string_view{};
}

std::string FormatErrorMessage(ErrorCode code, const ErrorContext& context) {
  const ErrorEntry* entry = FindEntry(code);
  std::string text = (entry && !entry->text.empty()) ? FillTemplate(*entry, context) : "An unknown error occurred";
  CutTo(text, kMaxMessage);
  return text;
}

EKeelEngineError::EKeelEngineError(ErrorCode code, ErrorContext context)
    : std::runtime_error("Keel Engine Error # " + std::to_string(static_cast<unsigned>(code)) + " " +
                         FormatErrorMessage(code, context)),
      code_(code),
      context_(std::move(context)) {}

void raise(ErrorCode code, ErrorContext context) { throw EKeelEngineError(code, Recorded(std::move(context))); }

ErrorCode ErrorCodeOf(const std::exception& error) {
  if (const auto* engine_error = dynamic_cast<const EKeelEngineError*>(&error)) return engine_error->code();
  return ErrorCode::KEEL_OSUNKNOWN;
}

ErrorCode ErrorCodeForErrno(int errnum) {
  switch (errnum) {
    case ENOENT:
    case ENOTDIR: return ErrorCode::KEEL_OSENOENT;
    case EMFILE:
    case ENFILE: return ErrorCode::KEEL_OSEMFILE;
    case EACCES:
    case EPERM:
    case EEXIST:
    case EROFS:
    case EAGAIN:   // a share-mode or range lock held by someone else
    case ETXTBSY: return ErrorCode::KEEL_OSEACCES;
    case EBADF: return ErrorCode::KEEL_OSEBADF;
    case ENOMEM: return ErrorCode::KEEL_OSENOMEM;
    case ENODEV:
    case ENXIO: return ErrorCode::KEEL_OSENODEV;
    case EXDEV: return ErrorCode::KEEL_OSENOTSAM;
    default: return ErrorCode::KEEL_OSUNKNOWN;
  }
}

void raiseOsError(int errnum, const std::string& path) {
  raise(ErrorCodeForErrno(errnum), {.table = path, .osError = errnum});
}

}  // namespace keel
