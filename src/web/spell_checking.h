#pragma once
// Spell checking as the user types, in the languages of the user's locale that
// have a dictionary (Enchant's, as WebKit uses them), else American English.

typedef struct _WebKitWebContext WebKitWebContext;

namespace quorvel {

// Loads the dictionaries (memory, and 20 to 40 ms of the calling thread) and
// tells the web process; call it before handing on the key that needs them.
void enableSpellChecking(WebKitWebContext* context);

}  // namespace quorvel
