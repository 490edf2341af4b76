#pragma once
// Which dictionaries spell checking uses: the user's languages in their order of
// preference, those that have a dictionary.

#include <set>
#include <string>
#include <vector>

namespace quorvel {

// `localeNames` as g_get_language_names() gives them ("de_AT.UTF-8", "de_AT", "de",
// "C"), `dictionaries` as Enchant names them ("de_DE", "en_US"). A name matches its
// own dictionary, a bare language ("de") the first dictionary of that language
// when none of it was chosen yet. en_US when nothing matches.
std::vector<std::string> spellingLanguages(const std::vector<std::string>& localeNames,
                                           const std::set<std::string>& dictionaries);

}  // namespace quorvel
