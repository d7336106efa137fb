// Text crosses between the windows (QString) and the shared routines (8-bit text in
// the system's code page) only through these two.
#pragma once

#include <QString>
#include <string>

namespace quillet::ui {

inline std::string ToStd(const QString& text) {
    return text.toLocal8Bit().toStdString();
}
inline QString FromStd(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace quillet::ui
