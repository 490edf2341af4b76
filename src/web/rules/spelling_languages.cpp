#include "web/rules/spelling_languages.h"

#include <algorithm>

namespace quorvel {
namespace {

std::string languageOf(const std::string& tag) { return tag.substr(0, tag.find('_')); }

}  // namespace

std::vector<std::string> spellingLanguages(const std::vector<std::string>& localeNames,
                                           const std::set<std::string>& dictionaries) {
  std::vector<std::string> chosen;
  auto choose = [&](const std::string& dictionary) {
    if (std::find(chosen.begin(), chosen.end(), dictionary) == chosen.end()) chosen.push_back(dictionary);
  };
  for (const std::string& name : localeNames) {
    const std::string tag = name.substr(0, name.find_first_of(".@"));  // without codeset and modifier
    if (dictionaries.count(tag)) {
      choose(tag);
    } else if (!tag.empty() && tag.find('_') == std::string::npos) {
      const bool haveLanguage = std::any_of(chosen.begin(), chosen.end(),
                                            [&](const std::string& c) { return languageOf(c) == tag; });
      auto first = std::find_if(dictionaries.begin(), dictionaries.end(),
                                [&](const std::string& d) { return languageOf(d) == tag; });
      if (!haveLanguage && first != dictionaries.end()) choose(*first);
    }
  }
  if (chosen.empty()) chosen.push_back("en_US");
  return chosen;
}

}  // namespace quorvel
