#include "tools/keel/SqlCommand.h"

#include <charconv>
#include <filesystem>
#include <ostream>

#include "engine/core/DataSession.h"
#include "engine/core/TextCase.h"
#include "engine/sql/SelectExecutor.h"
#include "tools/keel/RowJson.h"

namespace mindrel {

namespace {

constexpr int kExitEngine = 2;
constexpr int kExitUsage = 64;
constexpr const char* kUsage = "usage: keel sql DIR \"TEXT\" [--password P] [--max-rows N]\n";

struct SqlArguments {
  std::string folder;
  std::string text;
  std::vector<std::string> passwords;
  int maxRows = -1;
};

int RowCountArgument(const std::string& text) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0)
    throw EUsageError("not a row count: " + text);
  return value;
}

SqlArguments ParseSqlArguments(const std::vector<std::string>& args) {
  SqlArguments parsed;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw EUsageError(arg + " needs a value");
      return args[++i];
    };
    if (arg == "--password") {
      parsed.passwords.push_back(value());
    } else if (arg == "--max-rows") {
      parsed.maxRows = RowCountArgument(value());
    } else if (arg.rfind("--", 0) == 0) {
      throw EUsageError("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) throw EUsageError("sql needs a folder and one statement text");
  parsed.folder = positional[0];
  parsed.text = positional[1];
  return parsed;
}

// Result tables go to the system's temporary folder, under the temporary
// extensions the application uses, never among the tables being queried.
keel::TSelectSettings ToolSettings(int maxRows) {
  keel::TSelectSettings settings;
  std::error_code error;
  std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
  if (!error) settings.PrivateDir = temporary.string() + "/";
  settings.MaxRowCount = maxRows;
  return settings;
}

int RunQuery(const SqlArguments& arguments, std::ostream& out) {
  keel::TDataEngine engine;
  engine.settings().TableDataTempExtension = ".tmpd";
  engine.settings().TableIndexTempExtension = ".tmpi";
  engine.settings().TableBlobTempExtension = ".tmpb";
  keel::TDataSession session(engine);
  for (const std::string& password : arguments.passwords) session.passwords().add(keel::Utf8ToAnsi(password));
  keel::TDataDirectory folder(session, arguments.folder);
  keel::TSelectExecutor executor(folder, ToolSettings(arguments.maxRows));
  executor.Prepare(keel::Utf8ToAnsi(arguments.text));
  keel::TDataCursor& result = executor.Execute();
  std::vector<uint8_t> row(result.rowSize());
  for (keel::Nav at = result.first(); at == keel::Nav::Ok; at = result.next()) {
    result.currentRow(row);
    TJsonValue object = TJsonValue::Object();
    for (const keel::FieldDescriptor& field : result.fields()) {
      object.add(keel::AnsiToUtf8(field.name), FieldToJson(result, row, field));
    }
    out << object.write() << '\n';
  }
  return 0;
}

}  // namespace

int RunSqlCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    return RunQuery(ParseSqlArguments(args), out);
  } catch (const EUsageError& error) {
    err << "keel: " << error.what() << '\n' << kUsage;
    return kExitUsage;
  } catch (const keel::EKeelEngineError& error) {
    err << keel::AnsiToUtf8(error.what()) << '\n';
    return kExitEngine;
  }
}

}  // namespace mindrel
