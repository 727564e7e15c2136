#pragma once

#include <QColor>
#include <QIcon>
#include <QLatin1StringView>
#include <QPixmap>
#include <QRectF>

#include <span>
#include <string_view>

class QPainter;

/// System symbol names, as layouts store them and the editor draws them, mapped to glyphs
/// of the Material Icons font. Every name outside the table draws one neutral glyph.
namespace quorix::SymbolGlyphs {

/// Where Debian's icon font package puts the font.
inline constexpr QLatin1StringView fontPath{
    "/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf"};
inline constexpr QLatin1StringView fontFamily{"Material Icons"};

struct SymbolGlyph {
    std::string_view symbolName;
    /// The font's own name of the glyph, as its code-point list spells it.
    std::string_view glyphName;
    char16_t codepoint;
};

/// The glyph drawn for every symbol name the table does not know.
inline constexpr SymbolGlyph fallbackGlyph{"", "category", u'\ue574'};

/// Every known symbol name with its glyph, sorted by name; names are unique.
std::span<const SymbolGlyph> table();

/// The glyph for the name; `fallbackGlyph` for an unknown one.
const SymbolGlyph& glyph(std::string_view symbolName);

/// Whether the table knows the name.
bool isKnown(std::string_view symbolName);

/// Fills the symbol's glyph in `color`, as large as fits into `rect` and centred in it.
/// Drawn as a vector outline, so it is sharp at any device pixel ratio. Draws nothing
/// when the icon font cannot be read.
void paintSymbol(QPainter& painter, const QRectF& rect, std::string_view symbolName,
                 const QColor& color);

/// The symbol on a transparent square of `side` points, for `devicePixelRatio`.
QPixmap symbolPixmap(std::string_view symbolName, const QColor& color, qreal side,
                     qreal devicePixelRatio);

/// The symbol as an icon for buttons and menus, drawn afresh at every size; dimmed when
/// disabled.
QIcon symbolIcon(std::string_view symbolName, const QColor& color);

} // namespace quorix::SymbolGlyphs
