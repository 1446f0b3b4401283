#include <cstdlib>
#include <string>

#include "platform/CodePage.h"

uint32_t GetUserDefaultLCID() {
  for (const char* Var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* V = std::getenv(Var);
    if (V == nullptr || *V == '\0') continue;
    std::string Value(V);
    // "tr", "tr_TR", "tr_TR.UTF-8", "tr@..." all name Turkish.
    if (Value.size() >= 2 && (Value[0] == 't' || Value[0] == 'T') && (Value[1] == 'r' || Value[1] == 'R') &&
        (Value.size() == 2 || Value[2] == '_' || Value[2] == '.' || Value[2] == '@'))
      return LocaleTurkish;
    return LocaleNeutral;
  }
  return LocaleNeutral;
}
