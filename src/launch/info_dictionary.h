#pragma once
// The bundle's information dictionary (Contents/Info.plist), reduced to the value
// kinds Quorvel reads. Anything else is kept as "other", so a key of the wrong
// type reads as missing.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace quorvel {

struct OtherPlistValue {
  bool operator==(const OtherPlistValue&) const = default;
};
using InfoValue = std::variant<std::string, bool, std::int64_t, double, OtherPlistValue>;
using InfoDictionary = std::map<std::string, InfoValue>;

// Parses an XML or binary property list. Anything that is not a dictionary at the
// top, or not a property list at all, gives an empty dictionary.
InfoDictionary parseInfoDictionary(std::string_view bytes);

// Reads and parses the file; a missing, unreadable or oversized file is empty.
InfoDictionary readInfoDictionary(const std::string& path);

std::optional<std::string> infoString(const InfoDictionary& info, const std::string& key);
std::optional<bool> infoBool(const InfoDictionary& info, const std::string& key);
// Integers and reals alike.
std::optional<double> infoNumber(const InfoDictionary& info, const std::string& key);

}  // namespace quorvel
