#include "tools/mktree/NameLists.h"

#include <array>

namespace mindrel::names {

namespace {

// Accented names are here on purpose: every one of them fits Windows-1252.
const std::array<std::string, 32> kMale = {
    "John",    "William", "Thomas", "James",     "Henry",  "Pieter",  "Jan",   "Hendrik",
    "Björn",   "Søren",   "José",   "François",  "Jürgen", "André",   "Olaf",  "Karl",
    "Edward",  "George",  "Arthur", "Frederick", "Lars",   "Mathias", "Émile", "Ole",
    "Patrick", "Seán",    "Anders", "Johannes",  "Walter", "Hugo",    "Niels", "Robert"};

const std::array<std::string, 32> kFemale = {
    "Mary",  "Elizabeth", "Anna",  "Margaret", "Sarah",   "Catherine", "Maria",  "Johanna",
    "Zoë",   "Renée",     "Chloé", "Åsa",      "Inés",    "Noémie",    "Greta",  "Ingrid",
    "Alice", "Emily",     "Grace", "Hannah",   "Kirsten", "Louise",    "Martha", "Sophie",
    "Agnes", "Brigid",    "Clara", "Dorothea", "Frida",   "Helene",    "Jane",   "Wilhelmina"};

const std::array<std::string, 36> kSurnames = {
    "Smith",  "Brown",    "Müller",  "Jansen",  "de Vries", "Sørensen", "Núñez",    "Lefèvre",  "Öberg",
    "Peña",   "Åberg",    "O'Brien", "MacLeod", "Taylor",   "Wilson",   "Bakker",   "Visser",   "Schmidt",
    "Becker", "Andersen", "Nilsson", "Dubois",  "Moreau",   "García",   "Evans",    "Hughes",   "Walsh",
    "Byrne",  "Fischer",  "Weber",   "Larsen",  "Holm",     "Krüger",   "Thornton", "Ashworth", "Berg"};

const std::array<std::string, 20> kPlaces = {"Aberdeen", "Bergen",    "Köln",     "Lyon",      "Zürich",
                                             "Cork",     "Utrecht",   "Malmö",    "Sevilla",   "York",
                                             "Leiden",   "Hamburg",   "Göteborg", "Galway",    "Odense",
                                             "Bordeaux", "Groningen", "Dundee",   "Trondheim", "Århus"};

const std::array<std::string, 14> kOccupations = {
    "Farmer",    "Blacksmith", "Teacher", "Seamstress", "Miller", "Clerk",      "Nurse",
    "Carpenter", "Fisherman",  "Weaver",  "Engineer",   "Baker",  "Shopkeeper", ""};

const std::array<std::string, 8> kNotes = {
    "Moved to the city",        "Served in the army",    "Known as a fine singer", "Kept bees",
    "Wrote letters home often", "Lived with a daughter", "Church warden",          ""};

const std::array<std::string, 5> kPhrases = {"in the great winter", "during the war", "before the flood",
                                             "at harvest time", "the year the mill burned"};

}  // namespace

std::span<const std::string> MaleFirstNames() {
  return kMale;
}
std::span<const std::string> FemaleFirstNames() {
  return kFemale;
}
std::span<const std::string> Surnames() {
  return kSurnames;
}
std::span<const std::string> Places() {
  return kPlaces;
}
std::span<const std::string> Occupations() {
  return kOccupations;
}
std::span<const std::string> Notes() {
  return kNotes;
}
std::span<const std::string> Phrases() {
  return kPhrases;
}

}  // namespace mindrel::names
