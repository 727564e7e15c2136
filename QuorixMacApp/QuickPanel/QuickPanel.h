#pragma once

#include "QuorixMacApp/QuickPanel/QuickPanelPageCache.h"
#include "QuorixMacApp/QuickPanel/QuickPanelPictures.h"
#include "QuorixMacApp/QuickPanelPresenting.h"

#include <QObject>
#include <QRect>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace quorix {

class ActionExecuting;
class FloatingPanels;
class MacAppIconImageCache;
class MacEditorState;
class QuickPanelWindow;
struct ActionSpec;

/// Seams of the quick panel.
struct QuickPanelOptions {
    /// The system's alert sound; `QApplication::beep` when none is given.
    std::function<void()> beep;
    /// `systemFloatingPanels()` when none is given.
    std::shared_ptr<FloatingPanels> floatingPanels;
    /// The shared cache of installed applications' icons when none is given.
    MacAppIconImageCache* appIcons = nullptr;
};

/// The quick panel: a floating pad of the layout's buttons over whatever application is in
/// use, opened on the editor's layout, paged by scrolling and dragging, and closed by
/// Escape, a click elsewhere or running one of its buttons.
///
/// The window is made on first use and kept. Each opening takes the layout's pages as they
/// are then, and each page's buttons as they are when it is first drawn; while open, the
/// panel follows the layout's pages only when their number changes. Main thread only.
class QuickPanel final : public QObject, public QuickPanelPresenting {
    Q_OBJECT

public:
    using Options = QuickPanelOptions;

    /// Escape, in the monitors' key codes.
    static constexpr std::uint16_t escapeKeyCode = InputEvents::escapeKeyCode;
    /// A click this close to the panel still counts as on it.
    static constexpr qreal clickMargin = 8;
    /// Scrolling this close to the panel pages it.
    static constexpr qreal scrollMargin = 16;
    /// Where the panel goes when no screen is known.
    static constexpr QRect fallbackScreenArea{0, 0, 1280, 800};
    /// Once edits pause this long, the pictures of the page the panel would open on are
    /// decoded ahead.
    static constexpr std::chrono::milliseconds decodeAheadDelay{500};

    /// Runs buttons with `executor`.
    QuickPanel(MacEditorState& state, std::shared_ptr<ActionExecuting> executor,
               Options options = {}, QObject* parent = nullptr);
    ~QuickPanel() override;

    void showQuickPanel() override;
    void toggleQuickPanel() override;
    void hideQuickPanel() override;
    bool isQuickPanelVisible() const override;
    bool handleScroll(const InputEvents::Scroll& event) override;
    bool handleMouseDown(const InputEvents::MouseDown& event) override;
    bool handleKeyDown(const InputEvents::KeyDown& event) override;

    /// Hides the panel, then runs the action; a failure sounds the beep. Takes its own copy:
    /// hiding drops the opening's buttons.
    void runButton(ActionSpec action);

    /// The panel's window, once it has been shown.
    QuickPanelWindow* window() const { return m_window.get(); }
    const QuickPanelPictures& pictures() const { return m_pictures; }

    /// The panel's frame, centred in the screen's `available` area (the fallback area when
    /// there is none).
    static QRect placement(const std::optional<QRect>& available, QSize size);

private:
    void followPageCount();
    void decodeAhead();
    /// Reads a page's buttons from the layout as it is when the page is first drawn.
    QuickPanelPageCache::ButtonLoader buttonLoader() const;

    MacEditorState& m_state;
    const std::shared_ptr<ActionExecuting> m_executor;
    Options m_options;
    QuickPanelPictures m_pictures;
    QTimer m_decodeAheadTimer;
    std::unique_ptr<QuickPanelWindow> m_window;
};

} // namespace quorix
