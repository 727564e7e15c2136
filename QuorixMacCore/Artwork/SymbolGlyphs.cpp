#include "QuorixMacCore/Artwork/SymbolGlyphs.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QtMath>

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace quorix::SymbolGlyphs {

namespace {

// The symbols the editor and the quick panel draw, then the ones phones commonly store:
// media, audio, camera, documents, arrows, system and communication. Sorted by name.
constexpr std::array symbolGlyphs = std::to_array<SymbolGlyph>({
    {"app", "crop_square", u'\ue3c6'},
    {"app.fill", "square", u'\ueb36'},
    {"arrow.clockwise", "refresh", u'\ue5d5'},
    {"arrow.counterclockwise", "replay", u'\ue042'},
    {"arrow.down", "arrow_downward", u'\ue5db'},
    {"arrow.left", "arrow_back", u'\ue5c4'},
    {"arrow.right", "arrow_forward", u'\ue5c8'},
    {"arrow.up", "arrow_upward", u'\ue5d8'},
    {"arrow.up.left.and.arrow.down.right", "open_in_full", u'\uf1ce'},
    {"arrow.uturn.backward", "undo", u'\ue166'},
    {"arrow.uturn.forward", "redo", u'\ue15a'},
    {"at", "alternate_email", u'\ue0e6'},
    {"backward.end.fill", "skip_previous", u'\ue045'},
    {"backward.fill", "fast_rewind", u'\ue020'},
    {"bell.fill", "notifications", u'\ue7f4'},
    {"bolt.fill", "bolt", u'\uea0b'},
    {"bubble.left.fill", "chat_bubble", u'\ue0ca'},
    {"calendar", "calendar_today", u'\ue935'},
    {"camera", "photo_camera", u'\ue412'},
    {"camera.fill", "photo_camera", u'\ue412'},
    {"cart.fill", "shopping_cart", u'\ue8cc'},
    {"checkmark", "check", u'\ue5ca'},
    {"chevron.down", "expand_more", u'\ue5cf'},
    {"chevron.left", "chevron_left", u'\ue5cb'},
    {"chevron.right", "chevron_right", u'\ue5cc'},
    {"chevron.up", "expand_less", u'\ue5ce'},
    {"clock", "schedule", u'\ue8b5'},
    {"command", "keyboard_command_key", u'\ueae7'},
    {"cursorarrow.click.2", "ads_click", u'\ue762'},
    {"delete.left", "backspace", u'\ue14a'},
    {"desktopcomputer", "computer", u'\ue30a'},
    {"display", "desktop_windows", u'\ue30c'},
    {"doc", "description", u'\ue873'},
    {"doc.fill", "description", u'\ue873'},
    {"doc.on.clipboard", "content_paste", u'\ue14f'},
    {"doc.on.doc", "content_copy", u'\ue14d'},
    {"doc.text", "article", u'\uef42'},
    {"envelope.fill", "mail", u'\ue158'},
    {"folder", "folder", u'\ue2c7'},
    {"folder.fill", "folder", u'\ue2c7'},
    {"forward.end.fill", "skip_next", u'\ue044'},
    {"forward.fill", "fast_forward", u'\ue01f'},
    {"gearshape", "settings", u'\ue8b8'},
    {"gearshape.fill", "settings", u'\ue8b8'},
    {"globe", "language", u'\ue894'},
    {"hand.point.up.left.fill", "pan_tool_alt", u'\uebb9'},
    {"hand.raised.fill", "back_hand", u'\ue764'},
    {"hand.tap.fill", "touch_app", u'\ue913'},
    {"hand.thumbsup.fill", "thumb_up", u'\ue8dc'},
    {"headphones", "headphones", u'\uf01f'},
    {"heart.fill", "favorite", u'\ue87d'},
    {"house.fill", "home", u'\ue88a'},
    {"info.circle", "info_outline", u'\ue88f'},
    {"keyboard", "keyboard", u'\ue312'},
    {"laptopcomputer", "laptop", u'\ue31e'},
    {"link", "link", u'\ue157'},
    {"list.bullet", "list", u'\ue896'},
    {"lock.fill", "lock", u'\ue897'},
    {"lock.open.fill", "lock_open", u'\ue898'},
    {"macwindow", "web_asset", u'\ue069'},
    {"magnifyingglass", "search", u'\ue8b6'},
    {"message.fill", "chat", u'\ue0b7'},
    {"mic.fill", "mic", u'\ue029'},
    {"mic.slash.fill", "mic_off", u'\ue02b'},
    {"moon.fill", "dark_mode", u'\ue51c'},
    {"music.note", "music_note", u'\ue405'},
    {"paperclip", "attach_file", u'\ue226'},
    {"paperplane.fill", "send", u'\ue163'},
    {"pause.fill", "pause", u'\ue034'},
    {"pencil", "edit", u'\ue3c9'},
    {"person.2.fill", "group", u'\ue7ef'},
    {"person.fill", "person", u'\ue7fd'},
    {"phone.fill", "call", u'\ue0b0'},
    {"photo", "image", u'\ue3f4'},
    {"photo.on.rectangle", "photo_library", u'\ue413'},
    {"play.fill", "play_arrow", u'\ue037'},
    {"play.rectangle.on.rectangle", "video_library", u'\ue04a'},
    {"playpause.fill", "play_circle", u'\ue1c4'},
    {"plus", "add", u'\ue145'},
    {"plus.circle.fill", "add_circle", u'\ue147'},
    {"power", "power_settings_new", u'\ue8ac'},
    {"printer.fill", "print", u'\ue8ad'},
    {"qrcode.viewfinder", "qr_code_scanner", u'\uf206'},
    {"record.circle", "fiber_manual_record", u'\ue061'},
    {"rectangle.badge.plus", "add_to_queue", u'\ue05c'},
    {"rectangle.grid.3x2", "view_comfy", u'\ue42a'},
    {"rectangle.on.rectangle", "filter_none", u'\ue3e0'},
    {"repeat", "repeat", u'\ue040'},
    {"return", "keyboard_return", u'\ue31b'},
    {"scissors", "content_cut", u'\ue14e'},
    {"shuffle", "shuffle", u'\ue043'},
    {"sparkles", "auto_awesome", u'\ue65f'},
    {"speaker.fill", "volume_mute", u'\ue04e'},
    {"speaker.slash.fill", "volume_off", u'\ue04f'},
    {"speaker.wave.1.fill", "volume_down", u'\ue04d'},
    {"speaker.wave.2.fill", "volume_up", u'\ue050'},
    {"speaker.wave.3.fill", "volume_up", u'\ue050'},
    {"square.and.arrow.down", "download", u'\uf090'},
    {"square.and.arrow.up", "ios_share", u'\ue6b8'},
    {"square.and.pencil", "edit_note", u'\ue745'},
    {"square.grid.2x2", "grid_view", u'\ue9b0'},
    {"star.fill", "star", u'\ue838'},
    {"stop.fill", "stop", u'\ue047'},
    {"sun.max.fill", "light_mode", u'\ue518'},
    {"terminal", "terminal", u'\ueb8e'},
    {"timer", "timer", u'\ue425'},
    {"trash", "delete", u'\ue872'},
    {"tray.fill", "inbox", u'\ue156'},
    {"video.fill", "videocam", u'\ue04b'},
    {"video.slash.fill", "videocam_off", u'\ue04c'},
    {"waveform", "graphic_eq", u'\ue1b8'},
    {"wifi", "wifi", u'\ue63e'},
    {"xmark", "close", u'\ue5cd'},
    {"xmark.circle.fill", "cancel", u'\ue5c9'},
});

constexpr bool isStrictlySortedByName() {
    return std::adjacent_find(symbolGlyphs.begin(), symbolGlyphs.end(),
                              [](const SymbolGlyph& left, const SymbolGlyph& right) {
                                  return !(left.symbolName < right.symbolName);
                              }) == symbolGlyphs.end();
}
// Sorted without equal neighbours: every name appears once, and lookups can bisect.
static_assert(isStrictlySortedByName());

// Outlines are read at this size and scaled; the font's outlines are exact at any size.
constexpr qreal outlinePixelSize = 96;
// A disabled control's symbol, as faint as the style's disabled text.
constexpr qreal disabledOpacity = 0.35;

struct GlyphOutline {
    QPainterPath path;
    /// The glyph's em square around its origin, which the path is centred in.
    QRectF box;
};

// Qt's raw fonts are not meant to be shared between threads, so the font and the outlines
// read from it stay behind one lock; painting works on copies of the paths.
class GlyphOutlines {
public:
    std::optional<GlyphOutline> outline(char16_t codepoint) {
        std::scoped_lock lock(m_lock);
        if (const auto found = m_outlines.find(codepoint); found != m_outlines.end()) {
            return found->second;
        }
        const QRawFont& font = rawFont();
        if (!font.isValid()) {
            return std::nullopt;
        }
        const QChar character(codepoint);
        const QList<quint32> indexes = font.glyphIndexesForString(QString(character));
        if (indexes.size() != 1 || indexes.front() == 0) {
            return std::nullopt;
        }
        const QList<QPointF> advances = font.advancesForGlyphIndexes(indexes);
        const qreal advance = advances.isEmpty() ? font.pixelSize() : advances.front().x();
        GlyphOutline outline{font.pathForGlyph(indexes.front()),
                             QRectF(0, -font.ascent(), advance, font.ascent() + font.descent())};
        return m_outlines.emplace(codepoint, std::move(outline)).first->second;
    }

private:
    const QRawFont& rawFont() {
        if (!m_font) {
            QRawFont font(QString(fontPath), outlinePixelSize);
            if (!font.isValid()) {
                // Installed somewhere else: ask the font configuration for the family.
                QFont byFamily{QString(fontFamily)};
                byFamily.setPixelSize(int(outlinePixelSize));
                font = QRawFont::fromFont(byFamily);
                if (font.familyName() != fontFamily) {
                    font = QRawFont();
                }
            }
            m_font = font;
        }
        return *m_font;
    }

    std::mutex m_lock;
    std::optional<QRawFont> m_font;
    std::unordered_map<char16_t, GlyphOutline> m_outlines;
};

GlyphOutlines& glyphOutlines() {
    static GlyphOutlines outlines;
    return outlines;
}

class SymbolIconEngine final : public QIconEngine {
public:
    SymbolIconEngine(std::string_view symbolName, const QColor& color)
        : m_symbolName(symbolName)
        , m_color(color) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        paintSymbol(*painter, rect, m_symbolName, colorFor(mode));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        QPixmap pixmap(size * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paintSymbol(painter, QRectF(QPointF(0, 0), QSizeF(size)), m_symbolName, colorFor(mode));
        return pixmap;
    }

    QIconEngine* clone() const override { return new SymbolIconEngine(m_symbolName, m_color); }

private:
    QColor colorFor(QIcon::Mode mode) const {
        if (mode != QIcon::Disabled) {
            return m_color;
        }
        QColor faint = m_color;
        faint.setAlphaF(float(m_color.alphaF() * disabledOpacity));
        return faint;
    }

    // Views keep the symbol names of short-lived records, so the engine keeps its own copy.
    std::string m_symbolName;
    QColor m_color;
};

} // namespace

std::span<const SymbolGlyph> table() {
    return symbolGlyphs;
}

const SymbolGlyph& glyph(std::string_view symbolName) {
    const auto found = std::lower_bound(
        symbolGlyphs.begin(), symbolGlyphs.end(), symbolName,
        [](const SymbolGlyph& entry, std::string_view name) { return entry.symbolName < name; });
    if (found == symbolGlyphs.end() || found->symbolName != symbolName) {
        return fallbackGlyph;
    }
    return *found;
}

bool isKnown(std::string_view symbolName) {
    return &glyph(symbolName) != &fallbackGlyph;
}

void paintSymbol(QPainter& painter, const QRectF& rect, std::string_view symbolName,
                 const QColor& color) {
    const std::optional<GlyphOutline> outline =
        glyphOutlines().outline(glyph(symbolName).codepoint);
    if (!outline || rect.isEmpty()) {
        return;
    }
    const qreal scale =
        std::min(rect.width() / outline->box.width(), rect.height() / outline->box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.center());
    painter.scale(scale, scale);
    painter.translate(-outline->box.center());
    painter.fillPath(outline->path, color);
    painter.restore();
}

QPixmap symbolPixmap(std::string_view symbolName, const QColor& color, qreal side,
                     qreal devicePixelRatio) {
    const int pixels = std::max(1, qCeil(side * devicePixelRatio));
    QPixmap pixmap(pixels, pixels);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paintSymbol(painter, QRectF(0, 0, side, side), symbolName, color);
    return pixmap;
}

QIcon symbolIcon(std::string_view symbolName, const QColor& color) {
    return QIcon(new SymbolIconEngine(symbolName, color));
}

} // namespace quorix::SymbolGlyphs
