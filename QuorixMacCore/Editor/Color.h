#pragma once

#include <QColor>

#include <cstdint>
#include <string_view>

namespace quorix {

/// An opaque sRGB colour read from hex text such as "#4facfe".
struct Color {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    /// Reads the text leniently, as stored colours have always been read: blanks at either
    /// end and every "#" are dropped, then the leading hexadecimal number (an optional
    /// "0x" before it) is taken and its low 24 bits give red, green and blue. Three digits
    /// are not expanded ("fff" is 0x000fff), eight digits lose their top byte, and text
    /// without a leading number is black.
    static Color fromHex(std::string_view text);

    double redF() const { return red / 255.0; }
    double greenF() const { return green / 255.0; }
    double blueF() const { return blue / 255.0; }
    QColor toQColor() const { return QColor(red, green, blue); }

    bool operator==(const Color&) const = default;
};

} // namespace quorix
