#pragma once
// Spell checking as the user types, in the languages of the user's locale that
// have a dictionary (Enchant's, as WebKit uses them), else American English.

typedef struct _WebKitWebContext WebKitWebContext;

namespace quorvel {

// Once the main loop has nothing more urgent to do.
void enableSpellChecking(WebKitWebContext* context);

}  // namespace quorvel
