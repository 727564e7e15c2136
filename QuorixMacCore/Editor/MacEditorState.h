#pragma once

#include "QuorixMacCore/Editor/WebIconResolver.h"
#include "QuorixMacCore/Storage/MacEditorLayoutStore.h"
#include "QuorixProtocol/Models.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QThreadPool;

namespace quorix {

class InstalledAppsScanner;

/// Seams of the editor state.
struct MacEditorStateOptions {
    /// Stamps `updatedAt`.
    std::function<Date()> clock = currentDate;
    /// Runs the catalogue scan and application icon renders; the application's global pool
    /// when none is given.
    QThreadPool* taskPool = nullptr;
};

/// The one editable button layout with its selection, undo and copy buffer, and the copy
/// of it that still has to reach the phone.
///
/// Every edit records an undo snapshot, changes the layout, fixes the selection and marks
/// the layout dirty: a new `updatedAt`, the layout kept as `pendingSyncLayout`, saved to the
/// store, then `onDirty` called. Operations whose target is missing (no selected page, an
/// unknown id) change nothing.
///
/// Lives on the main thread; every operation must be called there. Observers connect to the
/// change signals, which are emitted once an operation has finished changing state and only
/// for values that actually changed. Background work (the application catalogue and
/// icons, site icons) holds the state weakly and hands its results back to the main
/// thread.
class MacEditorState final : public QObject {
    Q_OBJECT

public:
    static constexpr std::size_t maxUndoSnapshots = 50;
    static constexpr int installedAppIconPixelSize = 512;
    /// Queue priority of the catalogue scan: below ordinary pool work.
    static constexpr int installedAppsScanPriority = -1;

    using Options = MacEditorStateOptions;

    /// Takes `layout` after normalising it (old Shortcuts placeholders, brand-site icons);
    /// when that changed it, the result is stamped with a new `updatedAt` and pending for
    /// the phone. Selects the first stored page and its first stored button, and saves the
    /// layout to `layoutStore` when there is one. `onDirty` is not called.
    MacEditorState(LayoutRecord layout, QString syncStatusText,
                   std::shared_ptr<InstalledAppsScanner> installedAppsScanner,
                   std::optional<MacEditorLayoutStore> layoutStore,
                   std::shared_ptr<WebIconResolving> webIconResolver, Options options = {},
                   QObject* parent = nullptr);
    ~MacEditorState() override;

    /// One page holding a Zoom mute button (command-shift-A), with new ids and now as
    /// `updatedAt`.
    static LayoutRecord sampleLayout();

    // Observed values.
    const LayoutRecord& layout() const { return m_layout; }
    const std::optional<UUID>& selectedPageID() const { return m_selectedPageID; }
    const std::optional<UUID>& selectedButtonID() const { return m_selectedButtonID; }
    /// The layout as of the last change that the phone has not received; nothing while the
    /// two are in step.
    const std::optional<LayoutRecord>& pendingSyncLayout() const { return m_pendingSyncLayout; }
    void setPendingSyncLayout(std::optional<LayoutRecord> layout);
    /// The phone received the pending layout.
    void markSynced() { setPendingSyncLayout(std::nullopt); }
    const QString& syncStatusText() const { return m_syncStatusText; }
    void setSyncStatusText(const QString& text);
    /// Empty until the catalogue has loaded.
    const std::vector<AppInfo>& installedApps() const { return m_installedApps; }

    /// Called on the main thread at the end of every change the phone must receive.
    void setOnDirty(std::function<void()> onDirty) { m_onDirty = std::move(onDirty); }

    InstalledAppsScanner& installedAppsScanner() const { return *m_installedAppsScanner; }
    const std::optional<MacEditorLayoutStore>& layoutStore() const { return m_layoutStore; }
    /// The program's one resolver, for views that show site icons too.
    const std::shared_ptr<WebIconResolving>& webIconResolver() const { return m_webIconResolver; }
    bool isLoadingInstalledApps() const { return m_isLoadingInstalledApps; }

    // Derived values. The pointers stay valid until the next change of the layout.
    /// The first stored page with the selected id.
    const PageRecord* selectedPage() const;
    /// The first stored button of the selected page with the selected id.
    const QuorixButtonRecord* selectedButton() const;
    bool canUndo() const;
    std::size_t undoDepth() const;
    bool hasCopiedButton() const { return m_copiedButtonTemplate != nullptr; }

    // Selection and pages.
    /// Selects the page and its first stored button; nothing is recorded for undo.
    void selectPage(const UUID& pageID);
    /// Selects the button as given, without checking that it exists.
    void selectButton(const std::optional<UUID>& buttonID);
    /// Appends "ページ N" after the page with the largest order and selects it. Where the
    /// largest order leaves no room above it, the pages are numbered 0, 1, 2, ... in order
    /// first.
    void addPage();
    /// Removes the page, numbers the rest 0, 1, 2, ... and selects the page that took the
    /// removed one's place, else the last one.
    void deletePage(const UUID& pageID);
    void deleteSelectedPage();
    /// "2ページ目" for the second page by order; "ページ" for an unknown page.
    QString pageNumberTitle(const UUID& pageID) const;

    // Buttons of the selected page.
    /// "ボタン 3" for the button at position 2: the position plus one, for any position.
    static QString buttonNumberTitle(std::int64_t position);

    /// Appends a button after the one with the largest position and selects it. Where the
    /// largest position leaves no room above it, the page's buttons are numbered 0, 1, 2, ...
    /// in order first.
    void addButtonToSelectedPage(IconRef icon, ColorGradient colorGradient, ActionSpec action);
    /// Removes the button and numbers the page's buttons 0, 1, 2, ...; the selection moves to
    /// the page's first button only if it was on the removed one.
    void deleteButton(const UUID& buttonID);
    void deleteSelectedButton();
    /// Moves the button directly in front of `before` (drag and drop) and numbers the
    /// page's buttons in their new order.
    void moveButton(const UUID& buttonID, const UUID& before);
    /// Replaces what is given and keeps the rest; records an undo snapshot and marks the
    /// layout dirty even when nothing is given.
    void updateSelectedButton(std::optional<IconRef> icon,
                              std::optional<ColorGradient> colorGradient,
                              std::optional<ActionSpec> action);
    /// The same, then fetches the icon of the site the given action opens (else of the
    /// given favicon); it replaces the button's icon when it arrives, if the button still
    /// shows a favicon of that site.
    void updateSelectedButtonResolvingWebIcon(std::optional<IconRef> icon,
                                              std::optional<ColorGradient> colorGradient,
                                              std::optional<ActionSpec> action);
    /// Keeps the selected button's icon, gradient and action; false when none is selected.
    bool copySelectedButton();
    /// Adds the copied button to the selected page under a new id; false when nothing was
    /// copied. The copy stays for further pastes.
    bool pasteCopiedButton();
    /// Restores the layout and selection of the last snapshot and marks it dirty.
    void undo();

    // Applications.
    /// Scans the installed applications in the background unless they are known or a scan
    /// is under way; an empty result leaves the catalogue empty, so the next call scans
    /// again.
    void loadInstalledAppsIfNeeded();
    /// The first catalogue entry with exactly that bundle id.
    std::optional<AppInfo> appInfo(std::string_view bundleID) const;
    /// Adds a button launching the application, or makes the selected button launch it.
    /// Its icon is the rendered one when the catalogue holds it already; otherwise the
    /// button refers to the application while the icon renders in the background, and the
    /// render replaces that reference when it arrives, if the button still shows it. The
    /// replacement is saved and goes to the phone, but is no step of its own for undo.
    void addInstalledAppToSelectedPage(const AppInfo& app);
    void selectInstalledApp(const AppInfo& app, std::optional<std::string> fallbackPath = {});

    // Synchronisation with the phone.
    /// Takes the phone's layout, normalised; selects its first page and button by order.
    /// When normalisation changed it, it stays pending (so the corrected layout goes back)
    /// and `onDirty` is called. The undo stack is kept.
    void replaceLayout(LayoutRecord layout);
    /// Takes the phone's layout unless unsent edits differ from it; `updatedAt` is compared
    /// at full precision, so a round trip through the wire's whole seconds counts as
    /// different. True when it was taken.
    bool replaceLayoutIfNoPendingChanges(LayoutRecord layout);
    /// Fetches site icons for the favicon buttons of the layout (the first 40, brand sites
    /// left out).
    void resolveWebIconsForCurrentLayout();

Q_SIGNALS:
    void layoutChanged();
    void selectedPageIDChanged();
    void selectedButtonIDChanged();
    void pendingSyncLayoutChanged();
    void syncStatusTextChanged();
    void installedAppsChanged();
    /// A catalogue load started or ended, with applications or without.
    void isLoadingInstalledAppsChanged();

private:
    struct EditorSnapshot;
    struct ButtonTemplate;
    enum Change : unsigned {
        layoutChange = 1U << 0U,
        selectedPageChange = 1U << 1U,
        selectedButtonChange = 1U << 2U,
        pendingChange = 1U << 3U,
        installedAppsChange = 1U << 4U,
    };

    PageRecord* selectedPageForEditing();
    void setLayout(LayoutRecord layout);
    void setSelection(const std::optional<UUID>& pageID, const std::optional<UUID>& buttonID);
    void setSelectedPageID(const std::optional<UUID>& pageID);
    void setSelectedButtonID(const std::optional<UUID>& buttonID);
    void storePendingSyncLayout(std::optional<LayoutRecord> layout);
    /// Emits the signals of the values changed since the last call.
    void publishChanges();

    /// The layout changed in place (or `updatedAt` alone is to be renewed): stamp, keep as
    /// pending, save, notify the controller.
    void markDirty(bool contentChanged);
    void captureUndoSnapshot();
    /// Normalises a layout entering the editor; true when that changed it.
    bool normalizeIncoming(LayoutRecord& layout) const;
    void saveToStore() const;
    QThreadPool* taskPool() const;
    IconRef installedAppIcon(const AppInfo& app) const;
    void renderInstalledAppIconOfSelectedButton(const std::string& bundleID);
    void applyRenderedAppIcon(Bytes data, const UUID& buttonID, const std::string& bundleID);
    void finishLoadingInstalledApps(std::vector<AppInfo> apps);

    void resolveWebIcon(const UUID& buttonID, const URL& url);
    void applyResolvedWebIconData(const Bytes& data, const UUID& buttonID, const URL& sourceURL);

    LayoutRecord m_layout;
    std::optional<UUID> m_selectedPageID;
    std::optional<UUID> m_selectedButtonID;
    std::optional<LayoutRecord> m_pendingSyncLayout;
    QString m_syncStatusText;
    std::vector<AppInfo> m_installedApps;
    std::function<void()> m_onDirty;

    const std::shared_ptr<InstalledAppsScanner> m_installedAppsScanner;
    const std::optional<MacEditorLayoutStore> m_layoutStore;
    const std::shared_ptr<WebIconResolving> m_webIconResolver;
    const Options m_options;

    bool m_isLoadingInstalledApps = false;
    std::vector<EditorSnapshot> m_undoStack;
    std::unique_ptr<ButtonTemplate> m_copiedButtonTemplate;
    unsigned m_unpublishedChanges = 0;
};

} // namespace quorix
