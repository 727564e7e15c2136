#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

class QPainter;
class QRectF;

/// The editor's type sizes, colours and shapes, in one place so the columns agree.
namespace quorix::EditorStyle {

/// Corner radius of rows and grouped areas.
inline constexpr qreal rowCornerRadius = 8;
/// Opacity of the control background behind grouped areas.
inline constexpr qreal groupedBackgroundOpacity = 0.55;
/// Opacity of white behind a selected row's small buttons and tiles.
inline constexpr qreal selectedControlOpacity = 0.18;
/// Opacity of red behind an unselected row's delete button.
inline constexpr qreal destructiveControlOpacity = 0.08;
/// The point size of small symbols on buttons.
inline constexpr int smallSymbolSize = 13;

/// The font of the whole editor: the user-facing text is Japanese, so a Japanese face is
/// preferred over whatever the desktop's default face falls back to.
QFont editorFont();

/// `base` at one of the editor's text sizes.
QFont bodyFont(const QFont& base);
QFont bodySemiboldFont(const QFont& base);
QFont headlineFont(const QFont& base);
QFont titleFont(const QFont& base);
/// The title of an empty state: between the headline and the title.
QFont secondTitleFont(const QFont& base);
QFont captionFont(const QFont& base);

QColor accent(const QPalette& palette);
QColor destructive();
QColor secondaryText(const QPalette& palette);
/// The sidebar's background, set apart from the window's.
QColor sidebarBackground(const QPalette& palette);
/// `color` at `opacity` times its own opacity.
QColor withOpacity(QColor color, qreal opacity);

/// The rounded square behind a row's delete button with the trash symbol on it, white on a
/// selected row and red otherwise.
void paintTrashButton(QPainter& painter, const QRectF& rect, bool rowSelected);

} // namespace quorix::EditorStyle
