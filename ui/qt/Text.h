// Text crosses between the Qt windows (QString) and the shared routines (UTF-8 in every
// std::string, whatever the locale) only through these.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace quillet::ui {

inline std::string ToStd(const QString& text) {
    return text.toStdString();
}
inline QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}
inline QString FromStd(const char* text) {
    return QString::fromUtf8(text);
}

inline std::vector<std::string> ToStd(const QStringList& texts) {
    std::vector<std::string> out;
    for (const QString& text : texts)
        out.push_back(ToStd(text));
    return out;
}
inline QStringList FromStd(const std::vector<std::string>& texts) {
    QStringList out;
    for (const std::string& text : texts)
        out << FromStd(text);
    return out;
}

} // namespace quillet::ui
