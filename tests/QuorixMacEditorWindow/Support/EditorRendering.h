#pragma once

#include <QFont>
#include <QString>

#include <string_view>
#include <vector>

class QWidget;

namespace quorix::test {

/// The test executable, started with this argument and a folder, renders the editor on the
/// display it is given instead of running tests.
inline constexpr std::string_view renderEditorArgument = "--render-editor";

/// Screenshots written by the render mode.
inline constexpr const char* emptyLayoutScreenshot = "editor-empty-layout.png";
inline constexpr const char* fullPageScreenshot = "editor-full-page.png";

/// One text a widget shows, with the font it is drawn in.
struct ShownText {
    QString text;
    QFont font;
};

/// Every text the visible widgets below `root` show: labels, buttons, tool tips and the
/// rows of item views.
std::vector<ShownText> shownTexts(const QWidget& root);

/// The characters of `text` that no font on the system draws in `font` or its fallbacks.
QString charactersWithoutGlyph(const QString& text, const QFont& font);

/// Shows the editor on an empty layout and on a page full of buttons, checks that every text
/// shown has real glyphs, and saves screenshots into `directory`. The process's exit status:
/// 0 when all is well.
int renderEditorScreens(const QString& directory);

} // namespace quorix::test
