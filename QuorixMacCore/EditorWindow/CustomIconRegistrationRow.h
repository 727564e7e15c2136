#pragma once

#include "QuorixMacCore/EditorWindow/InspectorServices.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace quorix {

class IconArtworkView;
class SpinnerView;

/// The button's icon with "画像を選択", which replaces it by a picture file. The file is
/// decoded off the main thread through the raster-only image path, bounded in size, and
/// stored as PNG of at most 512 pixels; anything unreadable shows the error text in red.
class CustomIconRegistrationRow final : public QWidget {
    Q_OBJECT

public:
    static constexpr int iconSide = 44;
    static constexpr int maxPixelSize = 512;
    static constexpr const char* importErrorText =
        "画像を読み込めませんでした。別の画像を選んでください。";

    CustomIconRegistrationRow(ButtonEditing editing, const InspectorServices& services,
                              QWidget* parent = nullptr);

    void showIcon(const IconRef& icon);
    /// Reads the picture at the path and makes it the icon.
    void importImage(const QString& path);
    bool isImporting() const { return m_isImporting; }

private:
    void finishImport(const std::optional<Bytes>& png);

    ButtonEditing m_editing;
    InspectorServices m_services;
    IconArtworkView* m_icon;
    QPushButton* m_chooseButton;
    SpinnerView* m_spinner;
    QLabel* m_error;
    bool m_isImporting = false;
};

} // namespace quorix
