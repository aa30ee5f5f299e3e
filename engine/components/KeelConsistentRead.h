#pragma once

// A reading over open datasets that must see one state of their tables (see
// TConsistentRead): run again while another program changed a table meanwhile,
// the last time holding every table's read lock. The datasets must stay open
// while it runs.

#include <functional>
#include <vector>

namespace keel {

class TKeelDataSet;

class TKeelConsistentRead {
 public:
  explicit TKeelConsistentRead(std::vector<TKeelDataSet*> dataSets) : dataSets_(std::move(dataSets)) {}

  // `read` must start afresh every time it is called.
  void Run(const std::function<void()>& read);

 private:
  std::vector<TKeelDataSet*> dataSets_;
};

}  // namespace keel
