// The one bridge between the program's UTF-8 texts and the toolkit's strings, and the
// translated form of a text written in the code.
#pragma once

#include <QString>
#include <string>

#include "lang/Translate.h"

namespace zent {

inline QString ToQt(const std::string& utf8) { return QString::fromStdString(utf8); }
inline std::string FromQt(const QString& text) { return text.toStdString(); }
// The text in the window thread's language, for the toolkit.
inline QString Tr(const char* text) { return ToQt(Translate(text)); }

}  // namespace zent
