#include "QuorixMacCore/Editor/MacEditorState.h"

#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"
#include "QuorixMacCore/Editor/LayoutNormalization.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>
#include <unordered_map>
#include <utility>

namespace quorix {

namespace {

constexpr int newPageGridColumns = 3;
constexpr int newPageGridRows = 5;

ColorGradient applicationGradient() {
    return ColorGradient{"#ffffff", "#e5e7eb", 135};
}

// Cheapest differences first: an edit renews `updatedAt`, so comparing the pages, icon
// data included, is rarely needed.
bool sameLayout(const LayoutRecord& first, const LayoutRecord& second) {
    return first.updatedAt == second.updatedAt && first.id == second.id &&
           first.theme == second.theme && first.pages == second.pages;
}

bool samePending(const std::optional<LayoutRecord>& first,
                 const std::optional<LayoutRecord>& second) {
    if (first.has_value() != second.has_value()) {
        return false;
    }
    return !first || sameLayout(*first, *second);
}

/// Indices of `items` sorted by `key`, equal keys in stored order.
template <typename Item, typename Key>
std::vector<std::size_t> indicesInOrder(const std::vector<Item>& items, Key key) {
    std::vector<std::size_t> indices(items.size());
    std::iota(indices.begin(), indices.end(), std::size_t{0});
    std::stable_sort(indices.begin(), indices.end(), [&](std::size_t left, std::size_t right) {
        return key(items[left]) < key(items[right]);
    });
    return indices;
}

std::vector<std::size_t> pagesInOrder(const LayoutRecord& layout) {
    return indicesInOrder(layout.pages, [](const PageRecord& page) { return page.order; });
}

std::vector<std::size_t> buttonsInOrder(const PageRecord& page) {
    return indicesInOrder(page.buttons,
                          [](const QuorixButtonRecord& button) { return button.position; });
}

std::optional<UUID> firstStoredButton(const PageRecord& page) {
    if (page.buttons.empty()) {
        return std::nullopt;
    }
    return page.buttons.front().id;
}

std::optional<UUID> firstButtonInOrder(const PageRecord& page) {
    const std::vector<std::size_t> order = buttonsInOrder(page);
    if (order.empty()) {
        return std::nullopt;
    }
    return page.buttons[order.front()].id;
}

template <typename Item>
auto findByID(std::vector<Item>& items, const UUID& id) {
    return std::find_if(items.begin(), items.end(),
                        [&](const Item& item) { return item.id == id; });
}

template <typename Item>
auto findByID(const std::vector<Item>& items, const UUID& id) {
    return std::find_if(items.begin(), items.end(),
                        [&](const Item& item) { return item.id == id; });
}

constexpr std::int64_t largestNumber = std::numeric_limits<std::int64_t>::max();

void renumberButtons(PageRecord& page) {
    const std::vector<std::size_t> order = buttonsInOrder(page);
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        page.buttons[order[rank]].position = static_cast<std::int64_t>(rank);
    }
}

void renumberPages(LayoutRecord& layout) {
    const std::vector<std::size_t> order = pagesInOrder(layout);
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        layout.pages[order[rank]].order = static_cast<std::int64_t>(rank);
    }
}

} // namespace

// A layout with its custom icon data held apart and shared with the neighbouring
// snapshots: an undo history of large photo icons would otherwise hold fifty copies of
// every image.
struct MacEditorState::EditorSnapshot {
    LayoutRecord layout;
    /// The custom icons' data, pages and buttons in stored order.
    std::vector<std::shared_ptr<const Bytes>> iconData;
    std::optional<UUID> selectedPageID;
    std::optional<UUID> selectedButtonID;

    static EditorSnapshot capture(const LayoutRecord& layout, std::optional<UUID> selectedPageID,
                                  std::optional<UUID> selectedButtonID,
                                  const EditorSnapshot* previous) {
        // Most edits touch one button; the previous snapshot already holds the other
        // images, found by size and then by content.
        std::unordered_multimap<std::size_t, const std::shared_ptr<const Bytes>*> known;
        if (previous != nullptr) {
            for (const std::shared_ptr<const Bytes>& data : previous->iconData) {
                known.emplace(data->size(), &data);
            }
        }
        const auto shared = [&](const Bytes& data) {
            const auto [first, last] = known.equal_range(data.size());
            for (auto candidate = first; candidate != last; ++candidate) {
                const Bytes& held = **candidate->second;
                if (data.empty() || std::memcmp(held.data(), data.data(), data.size()) == 0) {
                    return *candidate->second;
                }
            }
            return std::make_shared<const Bytes>(data);
        };

        EditorSnapshot snapshot{
            {layout.id, {}, layout.theme, layout.updatedAt}, {}, selectedPageID, selectedButtonID};
        snapshot.layout.pages.reserve(layout.pages.size());
        for (const PageRecord& page : layout.pages) {
            PageRecord copy{page.id, page.name,        page.order,   page.gradient,
                            {},      page.gridColumns, page.gridRows};
            copy.buttons.reserve(page.buttons.size());
            for (const QuorixButtonRecord& button : page.buttons) {
                const auto* custom = std::get_if<IconRef::Custom>(&button.icon.value);
                if (custom != nullptr) {
                    snapshot.iconData.push_back(shared(custom->data));
                }
                copy.buttons.push_back({button.id, button.position,
                                        custom != nullptr ? IconRef::custom({}) : button.icon,
                                        button.colorGradient, button.action});
            }
            snapshot.layout.pages.push_back(std::move(copy));
        }
        return snapshot;
    }

    LayoutRecord restoredLayout() const {
        LayoutRecord restored = layout;
        std::size_t next = 0;
        for (PageRecord& page : restored.pages) {
            for (QuorixButtonRecord& button : page.buttons) {
                if (auto* custom = std::get_if<IconRef::Custom>(&button.icon.value)) {
                    custom->data = *iconData.at(next++);
                }
            }
        }
        return restored;
    }
};

struct MacEditorState::ButtonTemplate {
    IconRef icon;
    ColorGradient colorGradient;
    ActionSpec action;
};

MacEditorState::MacEditorState(LayoutRecord layout, QString syncStatusText,
                               std::shared_ptr<InstalledAppsScanner> installedAppsScanner,
                               std::optional<MacEditorLayoutStore> layoutStore,
                               std::shared_ptr<WebIconResolving> webIconResolver, Options options,
                               QObject* parent)
    : QObject(parent)
    , m_syncStatusText(std::move(syncStatusText))
    , m_installedAppsScanner(std::move(installedAppsScanner))
    , m_layoutStore(std::move(layoutStore))
    , m_webIconResolver(std::move(webIconResolver))
    , m_options(std::move(options)) {
    const bool normalized = normalizeIncoming(layout);
    m_layout = std::move(layout);
    if (!m_layout.pages.empty()) {
        m_selectedPageID = m_layout.pages.front().id;
        m_selectedButtonID = firstStoredButton(m_layout.pages.front());
    }
    if (normalized) {
        m_pendingSyncLayout = m_layout;
    }
    saveToStore();
}

MacEditorState::~MacEditorState() = default;

LayoutRecord MacEditorState::sampleLayout() {
    QuorixButtonRecord mute{
        UUID::random(), 0, IconRef::sfSymbol("mic.slash.fill"),
        ColorGradient{"#4facfe", "#00a3ff", 135},
        ActionSpec::keyboardShortcut(KeyCombo{{Modifier::command, Modifier::shift}, "a"})};
    PageRecord page{UUID::random(),     "Zoom",         0, GradientPreset::zoom, {std::move(mute)},
                    newPageGridColumns, newPageGridRows};
    return LayoutRecord{UUID::random(), {std::move(page)}, Theme::liquidGlass, currentDate()};
}

// Observed values.

void MacEditorState::setLayout(LayoutRecord layout) {
    if (sameLayout(m_layout, layout)) {
        return;
    }
    m_layout = std::move(layout);
    m_unpublishedChanges |= layoutChange;
}

void MacEditorState::setSelectedPageID(const std::optional<UUID>& pageID) {
    if (m_selectedPageID == pageID) {
        return;
    }
    m_selectedPageID = pageID;
    m_unpublishedChanges |= selectedPageChange;
}

void MacEditorState::setSelectedButtonID(const std::optional<UUID>& buttonID) {
    if (m_selectedButtonID == buttonID) {
        return;
    }
    m_selectedButtonID = buttonID;
    m_unpublishedChanges |= selectedButtonChange;
}

void MacEditorState::setSelection(const std::optional<UUID>& pageID,
                                  const std::optional<UUID>& buttonID) {
    setSelectedPageID(pageID);
    setSelectedButtonID(buttonID);
}

void MacEditorState::storePendingSyncLayout(std::optional<LayoutRecord> layout) {
    if (samePending(m_pendingSyncLayout, layout)) {
        return;
    }
    m_pendingSyncLayout = std::move(layout);
    m_unpublishedChanges |= pendingChange;
}

void MacEditorState::setPendingSyncLayout(std::optional<LayoutRecord> layout) {
    storePendingSyncLayout(std::move(layout));
    publishChanges();
}

void MacEditorState::setSyncStatusText(const QString& text) {
    if (m_syncStatusText == text) {
        return;
    }
    m_syncStatusText = text;
    Q_EMIT syncStatusTextChanged();
}

void MacEditorState::publishChanges() {
    const unsigned changes = std::exchange(m_unpublishedChanges, 0U);
    if ((changes & layoutChange) != 0) {
        Q_EMIT layoutChanged();
    }
    if ((changes & selectedPageChange) != 0) {
        Q_EMIT selectedPageIDChanged();
    }
    if ((changes & selectedButtonChange) != 0) {
        Q_EMIT selectedButtonIDChanged();
    }
    if ((changes & pendingChange) != 0) {
        Q_EMIT pendingSyncLayoutChanged();
    }
    if ((changes & installedAppsChange) != 0) {
        Q_EMIT installedAppsChanged();
    }
}

// Derived values.

const PageRecord* MacEditorState::selectedPage() const {
    if (!m_selectedPageID) {
        return nullptr;
    }
    const auto page = findByID(m_layout.pages, *m_selectedPageID);
    return page == m_layout.pages.end() ? nullptr : &*page;
}

PageRecord* MacEditorState::selectedPageForEditing() {
    return const_cast<PageRecord*>(std::as_const(*this).selectedPage());
}

const QuorixButtonRecord* MacEditorState::selectedButton() const {
    const PageRecord* page = selectedPage();
    if (page == nullptr || !m_selectedButtonID) {
        return nullptr;
    }
    const auto button = findByID(page->buttons, *m_selectedButtonID);
    return button == page->buttons.end() ? nullptr : &*button;
}

bool MacEditorState::canUndo() const {
    return !m_undoStack.empty();
}

std::size_t MacEditorState::undoDepth() const {
    return m_undoStack.size();
}

// The edit cycle.

void MacEditorState::captureUndoSnapshot() {
    m_undoStack.push_back(
        EditorSnapshot::capture(m_layout, m_selectedPageID, m_selectedButtonID,
                                m_undoStack.empty() ? nullptr : &m_undoStack.back()));
    if (m_undoStack.size() > maxUndoSnapshots) {
        m_undoStack.erase(m_undoStack.begin(),
                          m_undoStack.begin() +
                              static_cast<std::ptrdiff_t>(m_undoStack.size() - maxUndoSnapshots));
    }
}

void MacEditorState::markDirty(bool contentChanged) {
    const Date now = m_options.clock();
    if (contentChanged || m_layout.updatedAt != now) {
        m_layout.updatedAt = now;
        m_unpublishedChanges |= layoutChange;
    }
    storePendingSyncLayout(m_layout);
    publishChanges();
    saveToStore();
    if (m_onDirty) {
        m_onDirty();
    }
}

void MacEditorState::saveToStore() const {
    if (m_layoutStore) {
        m_layoutStore->save(m_layout);
    }
}

bool MacEditorState::normalizeIncoming(LayoutRecord& layout) const {
    if (!normalizeLayout(layout)) {
        return false;
    }
    layout.updatedAt = m_options.clock();
    return true;
}

void MacEditorState::undo() {
    if (m_undoStack.empty()) {
        return;
    }
    EditorSnapshot snapshot = std::move(m_undoStack.back());
    m_undoStack.pop_back();
    setLayout(snapshot.restoredLayout());
    setSelection(snapshot.selectedPageID, snapshot.selectedButtonID);
    markDirty(false);
}

// Selection and pages.

void MacEditorState::selectPage(const UUID& pageID) {
    setSelectedPageID(pageID);
    const auto page = findByID(m_layout.pages, pageID);
    setSelectedButtonID(page == m_layout.pages.end() ? std::nullopt : firstStoredButton(*page));
    publishChanges();
}

void MacEditorState::selectButton(const std::optional<UUID>& buttonID) {
    setSelectedButtonID(buttonID);
    publishChanges();
}

void MacEditorState::addPage() {
    captureUndoSnapshot();
    std::int64_t largestOrder = -1;
    for (const PageRecord& page : m_layout.pages) {
        largestOrder = std::max(largestOrder, page.order);
    }
    // Orders come from phones too; the name needs two above the largest.
    if (largestOrder > largestNumber - 2) {
        renumberPages(m_layout);
        largestOrder = static_cast<std::int64_t>(m_layout.pages.size()) - 1;
    }
    PageRecord page{UUID::random(),
                    "ページ " + std::to_string(largestOrder + 2),
                    largestOrder + 1,
                    GradientPreset::custom,
                    {},
                    newPageGridColumns,
                    newPageGridRows};
    const UUID pageID = page.id;
    m_layout.pages.push_back(std::move(page));
    setSelection(pageID, std::nullopt);
    markDirty(true);
}

void MacEditorState::deletePage(const UUID& pageID) {
    const auto page = findByID(m_layout.pages, pageID);
    if (page == m_layout.pages.end()) {
        return;
    }
    const auto removedIndex = static_cast<std::int64_t>(page - m_layout.pages.begin());
    captureUndoSnapshot();
    m_layout.pages.erase(page);
    renumberPages(m_layout);

    const std::vector<std::size_t> order = pagesInOrder(m_layout);
    if (order.empty()) {
        setSelection(std::nullopt, std::nullopt);
    } else {
        const auto next = std::find_if(order.begin(), order.end(), [&](std::size_t index) {
            return m_layout.pages[index].order >= removedIndex;
        });
        const PageRecord& selected = m_layout.pages[next != order.end() ? *next : order.back()];
        setSelection(selected.id, firstButtonInOrder(selected));
    }
    markDirty(true);
}

void MacEditorState::deleteSelectedPage() {
    if (m_selectedPageID) {
        deletePage(*m_selectedPageID);
    }
}

QString MacEditorState::pageNumberTitle(const UUID& pageID) const {
    const std::vector<std::size_t> order = pagesInOrder(m_layout);
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        if (m_layout.pages[order[rank]].id == pageID) {
            return QString::number(rank + 1) + QStringLiteral("ページ目");
        }
    }
    return QStringLiteral("ページ");
}

// Buttons.

QString MacEditorState::buttonNumberTitle(std::int64_t position) {
    // Counted in unsigned arithmetic where one more would not fit: positions come from
    // phones.
    const QString number = position >= 0 ? QString::number(static_cast<quint64>(position) + 1)
                                         : QString::number(position + 1);
    return QStringLiteral("ボタン ") + number;
}

void MacEditorState::addButtonToSelectedPage(IconRef icon, ColorGradient colorGradient,
                                             ActionSpec action) {
    PageRecord* page = selectedPageForEditing();
    if (page == nullptr) {
        return;
    }
    captureUndoSnapshot();
    std::int64_t largestPosition = -1;
    for (const QuorixButtonRecord& button : page->buttons) {
        largestPosition = std::max(largestPosition, button.position);
    }
    // Positions come from phones too.
    if (largestPosition == largestNumber) {
        renumberButtons(*page);
        largestPosition = static_cast<std::int64_t>(page->buttons.size()) - 1;
    }
    const UUID buttonID = UUID::random();
    page->buttons.push_back({buttonID, largestPosition + 1, std::move(icon),
                             std::move(colorGradient), std::move(action)});
    setSelectedButtonID(buttonID);
    markDirty(true);
}

void MacEditorState::deleteButton(const UUID& buttonID) {
    PageRecord* page = selectedPageForEditing();
    if (page == nullptr) {
        return;
    }
    const auto button = findByID(page->buttons, buttonID);
    if (button == page->buttons.end()) {
        return;
    }
    const bool deletingSelected = m_selectedButtonID == buttonID;
    captureUndoSnapshot();
    page->buttons.erase(button);
    renumberButtons(*page);

    const bool selectionStays = !deletingSelected && m_selectedButtonID &&
                                findByID(page->buttons, *m_selectedButtonID) != page->buttons.end();
    if (!selectionStays) {
        setSelectedButtonID(firstButtonInOrder(*page));
    }
    markDirty(true);
}

void MacEditorState::deleteSelectedButton() {
    if (m_selectedButtonID) {
        deleteButton(*m_selectedButtonID);
    }
}

void MacEditorState::moveButton(const UUID& buttonID, const UUID& before) {
    if (buttonID == before) {
        return;
    }
    PageRecord* page = selectedPageForEditing();
    if (page == nullptr) {
        return;
    }
    std::vector<QuorixButtonRecord> sorted;
    sorted.reserve(page->buttons.size());
    for (std::size_t index : buttonsInOrder(*page)) {
        sorted.push_back(page->buttons[index]);
    }
    const auto source = findByID(sorted, buttonID);
    const auto target = findByID(sorted, before);
    if (source == sorted.end() || target == sorted.end()) {
        return;
    }
    const auto sourceIndex = source - sorted.begin();
    auto targetIndex = target - sorted.begin();

    captureUndoSnapshot();
    QuorixButtonRecord moved = std::move(*source);
    sorted.erase(source);
    if (sourceIndex < targetIndex) {
        --targetIndex;
    }
    sorted.insert(sorted.begin() + targetIndex, std::move(moved));
    for (std::size_t index = 0; index < sorted.size(); ++index) {
        sorted[index].position = static_cast<std::int64_t>(index);
    }
    page->buttons = std::move(sorted);
    setSelectedButtonID(buttonID);
    markDirty(true);
}

void MacEditorState::updateSelectedButton(std::optional<IconRef> icon,
                                          std::optional<ColorGradient> colorGradient,
                                          std::optional<ActionSpec> action) {
    PageRecord* page = selectedPageForEditing();
    if (page == nullptr || !m_selectedButtonID) {
        return;
    }
    const auto button = findByID(page->buttons, *m_selectedButtonID);
    if (button == page->buttons.end()) {
        return;
    }
    captureUndoSnapshot();
    bool changed = false;
    const auto replace = [&changed](auto& field, auto& value) {
        if (value && !(field == *value)) {
            field = std::move(*value);
            changed = true;
        }
    };
    replace(button->icon, icon);
    replace(button->colorGradient, colorGradient);
    replace(button->action, action);
    markDirty(changed);
}

void MacEditorState::updateSelectedButtonResolvingWebIcon(
    std::optional<IconRef> icon, std::optional<ColorGradient> colorGradient,
    std::optional<ActionSpec> action) {
    const std::optional<UUID> buttonID = m_selectedButtonID;
    const std::optional<URL> siteURL = webIconSourceURL(icon, action);
    updateSelectedButton(std::move(icon), std::move(colorGradient), std::move(action));
    if (buttonID && siteURL) {
        resolveWebIcon(*buttonID, *siteURL);
    }
}

bool MacEditorState::copySelectedButton() {
    const QuorixButtonRecord* button = selectedButton();
    if (button == nullptr) {
        return false;
    }
    m_copiedButtonTemplate = std::make_unique<ButtonTemplate>(
        ButtonTemplate{button->icon, button->colorGradient, button->action});
    return true;
}

bool MacEditorState::pasteCopiedButton() {
    if (!m_copiedButtonTemplate) {
        return false;
    }
    const ButtonTemplate copied = *m_copiedButtonTemplate;
    addButtonToSelectedPage(copied.icon, copied.colorGradient, copied.action);
    return true;
}

// Applications.

void MacEditorState::loadInstalledAppsIfNeeded() {
    if (!m_installedApps.empty() || m_isLoadingInstalledApps) {
        return;
    }
    m_isLoadingInstalledApps = true;
    Q_EMIT isLoadingInstalledAppsChanged();
    QPointer<MacEditorState> self(this);
    taskPool()->start(
        [self, scanner = m_installedAppsScanner]() mutable {
            std::vector<AppInfo> apps = scanner->scan();
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self = std::move(self), apps = std::move(apps)]() mutable {
                    if (self) {
                        self->finishLoadingInstalledApps(std::move(apps));
                    }
                },
                Qt::QueuedConnection);
        },
        installedAppsScanPriority);
}

void MacEditorState::finishLoadingInstalledApps(std::vector<AppInfo> apps) {
    m_isLoadingInstalledApps = false;
    if (m_installedApps != apps) {
        m_installedApps = std::move(apps);
        m_unpublishedChanges |= installedAppsChange;
    }
    publishChanges();
    Q_EMIT isLoadingInstalledAppsChanged();
}

std::optional<AppInfo> MacEditorState::appInfo(std::string_view bundleID) const {
    const auto app = std::find_if(m_installedApps.begin(), m_installedApps.end(),
                                  [&](const AppInfo& each) { return each.bundleID == bundleID; });
    if (app == m_installedApps.end()) {
        return std::nullopt;
    }
    return *app;
}

QThreadPool* MacEditorState::taskPool() const {
    return m_options.taskPool != nullptr ? m_options.taskPool : QThreadPool::globalInstance();
}

IconRef MacEditorState::installedAppIcon(const AppInfo& app) const {
    if (std::optional<Bytes> data = m_installedAppsScanner->cachedIconData(app.bundleID)) {
        return IconRef::custom(std::move(*data));
    }
    return IconRef::appIcon(app.bundleID);
}

void MacEditorState::addInstalledAppToSelectedPage(const AppInfo& app) {
    if (selectedPage() == nullptr) {
        return;
    }
    addButtonToSelectedPage(installedAppIcon(app), applicationGradient(),
                            ActionSpec::launchApp(app.bundleID));
    renderInstalledAppIconOfSelectedButton(app.bundleID);
}

void MacEditorState::selectInstalledApp(const AppInfo& app,
                                        std::optional<std::string> fallbackPath) {
    if (selectedButton() == nullptr) {
        return;
    }
    updateSelectedButton(installedAppIcon(app), applicationGradient(),
                         ActionSpec::launchApp(app.bundleID, std::move(fallbackPath)));
    renderInstalledAppIconOfSelectedButton(app.bundleID);
}

// Rendering reads icon files and may draw vector artwork, which would stall the editor;
// the button refers to the application until the picture is ready.
void MacEditorState::renderInstalledAppIconOfSelectedButton(const std::string& bundleID) {
    const QuorixButtonRecord* button = selectedButton();
    if (button == nullptr || !(button->icon == IconRef::appIcon(bundleID))) {
        return;
    }
    QPointer<MacEditorState> self(this);
    taskPool()->start([self, scanner = m_installedAppsScanner, buttonID = button->id, bundleID] {
        std::optional<Bytes> data = scanner->iconData(bundleID, installedAppIconPixelSize);
        if (!data) {
            return;
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, buttonID, bundleID, data = std::move(*data)]() mutable {
                if (self) {
                    self->applyRenderedAppIcon(std::move(data), buttonID, bundleID);
                }
            },
            Qt::QueuedConnection);
    });
}

// The button may have been edited, deleted or undone meanwhile; only one that still
// shows the application's reference takes the picture. Like a site icon, it is no edit
// of its own for undo.
void MacEditorState::applyRenderedAppIcon(Bytes data, const UUID& buttonID,
                                          const std::string& bundleID) {
    for (PageRecord& page : m_layout.pages) {
        const auto button = findByID(page.buttons, buttonID);
        if (button == page.buttons.end()) {
            continue;
        }
        if (button->icon == IconRef::appIcon(bundleID)) {
            button->icon = IconRef::custom(std::move(data));
            markDirty(true);
        }
        return;
    }
}

// Synchronisation.

void MacEditorState::replaceLayout(LayoutRecord layout) {
    const bool normalized = normalizeIncoming(layout);
    setLayout(std::move(layout));
    const std::vector<std::size_t> order = pagesInOrder(m_layout);
    if (order.empty()) {
        setSelection(std::nullopt, std::nullopt);
    } else {
        const PageRecord& first = m_layout.pages[order.front()];
        setSelection(first.id, firstButtonInOrder(first));
    }
    storePendingSyncLayout(normalized ? std::optional<LayoutRecord>(m_layout) : std::nullopt);
    publishChanges();
    saveToStore();
    if (normalized && m_onDirty) {
        m_onDirty();
    }
}

bool MacEditorState::replaceLayoutIfNoPendingChanges(LayoutRecord layout) {
    if (m_pendingSyncLayout && !sameLayout(*m_pendingSyncLayout, layout)) {
        return false;
    }
    replaceLayout(std::move(layout));
    return true;
}

// Site icons.

void MacEditorState::resolveWebIcon(const UUID& buttonID, const URL& url) {
    const std::optional<URL> fetchURL = webIconFetchURL(url);
    if (!fetchURL) {
        return;
    }
    QPointer<MacEditorState> self(this);
    m_webIconResolver->iconData(*fetchURL).then(
        QtFuture::Launch::Sync, [self, buttonID, sourceURL = *fetchURL](WebIconData data) {
            if (!data) {
                return;
            }
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, buttonID, sourceURL, png = std::move(*data)] {
                    if (self) {
                        self->applyResolvedWebIconData(png, buttonID, sourceURL);
                    }
                },
                Qt::QueuedConnection);
        });
}

void MacEditorState::applyResolvedWebIconData(const Bytes& data, const UUID& buttonID,
                                              const URL& sourceURL) {
    if (quorix::applyResolvedWebIconData(m_layout, data, buttonID, sourceURL)) {
        markDirty(true);
    }
}

void MacEditorState::resolveWebIconsForCurrentLayout() {
    for (const WebIconFetch& fetch : webIconFetchesForLayout(m_layout)) {
        resolveWebIcon(fetch.buttonID, fetch.url);
    }
}

} // namespace quorix
