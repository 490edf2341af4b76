#include "web/spell_checking.h"

#include <enchant.h>
#include <webkit2/webkit2.h>

#include "base/glib_ptr.h"
#include "web/rules/spelling_languages.h"

namespace quorvel {
namespace {

void useTheLocalesDictionaries(WebKitWebContext* context) {
  std::set<std::string> dictionaries;
  if (CPtr<EnchantBroker, enchant_broker_free> broker{enchant_broker_init()}) {
    enchant_broker_list_dicts(
        broker.get(),
        [](const char* tag, const char*, const char*, const char*, void* found) {
          static_cast<std::set<std::string>*>(found)->insert(tag);
        },
        &dictionaries);
  }
  std::vector<std::string> names;
  for (const char* const* name = g_get_language_names(); *name; ++name) names.emplace_back(*name);
  const std::vector<std::string> chosen = spellingLanguages(names, dictionaries);
  std::vector<const char*> languages;
  for (const auto& language : chosen) languages.push_back(language.c_str());
  languages.push_back(nullptr);
  g_debug("Spell checking in %s", takeString(g_strjoinv(", ", const_cast<char**>(languages.data()))).c_str());
  webkit_web_context_set_spell_checking_enabled(context, TRUE);
  webkit_web_context_set_spell_checking_languages(context, languages.data());
}

}  // namespace

void enableSpellChecking(WebKitWebContext* context) {
  // Finding and loading the dictionaries takes 20 to 40 ms of the main thread:
  // only when it has nothing else to do.
  using Owner = WeakOwner<WebKitWebContext>;
  g_idle_add_full(
      G_PRIORITY_LOW,
      [](gpointer weak) {
        if (auto alive = static_cast<Owner*>(weak)->get()) useTheLocalesDictionaries(alive.get());
        return G_SOURCE_REMOVE;
      },
      Owner::object(context).data(), Owner::free);
}

}  // namespace quorvel
