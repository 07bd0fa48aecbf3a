#pragma once

#include <string>

// The application's texts are written in English, which is also what any text without a
// translation shows. Translations come from Qt's catalogues (.qm files), chosen by the user's
// language: the default locale's UI languages (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).

// Installs the toolkit's own translations (its menus' and buttons' texts) and the application's
// catalogue `<catalogue>_<language>.qm` from `directory`, replacing what an earlier call
// installed. Needs the toolkit up. Returns whether the application's catalogue was found; for
// English none is looked for, and none is needed.
bool AfxInstallTranslations(const std::string& catalogue, const std::string& directory);

// A text of ours in the user's language, as UTF-8: `source` is its English text, `context` the
// group it is translated in (a dialog class, a resource). The translation tools find the
// texts by this function's name.
std::string AfxTranslate(const char* context, const char* source);

// The contexts of the resources' texts: each dialog template's texts, and the string table's,
// are translated apart, as the same English word may need other words in another language.
std::string DialogTextContext(int templateId);
inline constexpr const char* kStringTableContext = "String table";
