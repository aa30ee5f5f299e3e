// A second program for the filter tests that need a writer in another
// process. It opens nothing until a line arrives on its input, then appends
// one row to the table with the integer column "I" set, answers "done" (or
// the engine error) on its output and ends. It gives up after 30 seconds,
// whatever it is waiting for.
//
// usage: keel_filter_writer FOLDER TABLE VALUE

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/ByteOrder.h"
#include "engine/core/DataCursor.h"
#include "engine/core/DataSession.h"
#include "engine/core/FieldCodec.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: keel_filter_writer FOLDER TABLE VALUE\n";
    return 64;
  }
  std::thread([] {
    std::this_thread::sleep_for(std::chrono::seconds(30));
    std::_Exit(4);
  }).detach();
  std::string go;
  if (!std::getline(std::cin, go)) return 65;
  try {
    keel::TDataEngine engine;
    keel::TDataSession session(engine);
    keel::TDataDirectory folder(session, argv[1]);
    keel::TDataCursor cursor(folder, argv[2]);
    std::vector<uint8_t> row = cursor.newRow();
    uint8_t value[4];
    keel::StoreI32(value, std::stoi(argv[3]));
    keel::SetFieldValue(row, cursor.field("I"), value, 0);
    cursor.append(row);
    std::cout << "done" << std::endl;
  } catch (const keel::EKeelEngineError& error) {
    std::cout << error.what() << std::endl;
    return 1;
  }
  return 0;
}
