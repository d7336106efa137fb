// Text crosses between the windows (QString) and the shared routines (8-bit text in
// the system's code page) only through these two.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace quillet::ui {

inline std::string ToStd(const QString& text) {
    return text.toLocal8Bit().toStdString();
}
inline QString FromStd(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
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
