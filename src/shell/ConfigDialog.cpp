// The settings dialog's behaviour: loading, browsing, submitting, closing.
#include "shell/TfrmConfig.h"

namespace quillet {

// Comes next: load the controls from the settings file when it exists.
void TfrmConfig::FormShow() {}

// Comes next: choose a folder; it goes into the edit box with a trailing separator.
void TfrmConfig::btnLyricPathClick() {}

// Comes next: write the settings file, confirm, close.
void TfrmConfig::btnPathOkClick() {}

// Comes next: close without writing.
void TfrmConfig::btnPathCloseClick() {}

}  // namespace quillet
