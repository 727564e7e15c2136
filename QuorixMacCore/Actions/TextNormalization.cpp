#include "QuorixMacCore/Actions/TextNormalization.h"

#include <QString>

namespace quorix {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::string trimmedWhitespaceAndNewlines(std::string_view text) {
    return fromUtf8(text).trimmed().toStdString();
}

std::string lowercased(std::string_view text) {
    return fromUtf8(text).toLower().toStdString();
}

std::string uppercased(std::string_view text) {
    return fromUtf8(text).toUpper().toStdString();
}

} // namespace quorix
