#pragma once

// A stored row of a family-tree table made up in a test: date records by
// "~B" column, integers, Booleans and texts by name, and the death columns
// whose event came after sunset.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "app/ScanSource.h"

namespace mindrel::testing {

struct FakeRecord : TScanRecord {
  std::map<std::string, TJDate> dates;
  std::map<std::string, std::int32_t> integers;
  std::map<std::string, bool> booleans;
  std::map<std::string, std::string> texts;

  bool DateRecord(const std::string& column, TJDate& date) const override {
    const auto found = dates.find(column);
    if (found == dates.end()) return false;
    date = found->second;
    return true;
  }
  std::int32_t IntegerField(const std::string& name) const override {
    const auto found = integers.find(name);
    return found == integers.end() ? 0 : found->second;
  }
  bool BooleanField(const std::string& name) const override {
    const auto found = booleans.find(name);
    return found != booleans.end() && found->second;
  }
  std::string StringField(const std::string& name) const override {
    const auto found = texts.find(name);
    return found == texts.end() ? "" : found->second;
  }
  std::set<std::string> afterSunset;  // "~B" columns
  bool AfterSunset(const std::string& column) const override { return afterSunset.contains(column); }
};

inline TJDate Written(const std::string& text) {
  TJDate date;
  std::string message;
  EXPECT_TRUE(StrToJDate(date, text, message, {1, ' '}, true)) << text << ": " << message;
  return date;
}

}  // namespace mindrel::testing
