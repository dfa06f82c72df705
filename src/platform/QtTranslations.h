// The toolkit's own texts (standard buttons, the file and folder dialogs) in the interface's
// language, Simplified Chinese, from the toolkit's translation catalogue.
#pragma once

#include <string>

class QCoreApplication;

namespace quillet {

// Loads the catalogue and installs it on the application. False, with the reason, when it cannot
// be loaded (the toolkit's texts then stay in English).
bool InstallQtTranslations(QCoreApplication& app, std::string* error);

// The same, once per process, when the toolkit's texts are first needed (no window shows them
// at the start); a missing catalogue is said once on the error output.
void EnsureQtTranslations();

}  // namespace quillet
