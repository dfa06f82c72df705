// Turning stored bytes into what a widget shows, and widget text back into bytes.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quillet {

// Valid UTF-8 is decoded as UTF-8, anything else as GB18030. The bytes are never changed.
QString DisplayText(std::string_view bytes);
// The same, up to the first NUL (tag fields are NUL padded).
QString DisplayTagText(std::string_view bytes);
// A path or text typed or chosen in a widget, back to the locale's narrow bytes.
std::string LocalBytes(const QString& s);
// The other way: a path held as bytes, for a widget or a dialog (the locale's file-name decoding,
// so LocalBytes gives the same bytes back).
QString PathText(std::string_view bytes);

}  // namespace quillet
