#pragma once

// Word lists the tree maker draws its people from (UTF-8).

#include <span>
#include <string>

namespace mindrel::names {

std::span<const std::string> MaleFirstNames();
std::span<const std::string> FemaleFirstNames();
std::span<const std::string> Surnames();
std::span<const std::string> Places();
std::span<const std::string> Occupations();
std::span<const std::string> Notes();
std::span<const std::string> Phrases();  // date phrases, without the apostrophe

}  // namespace mindrel::names
