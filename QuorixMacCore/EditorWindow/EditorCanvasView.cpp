#include "QuorixMacCore/EditorWindow/EditorCanvasView.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"
#include "QuorixMacCore/Editor/ActionSummary.h"
#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/EditorWindow/DeleteConfirmation.h"
#include "QuorixMacCore/EditorWindow/EditorStyle.h"
#include "QuorixMacCore/EditorWindow/IconArtwork.h"
#include "QuorixMacCore/EditorWindow/SymbolView.h"

#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace quorix {

namespace {

const QString deleteButtonText = QStringLiteral("このショートカットを削除");

// The button that "ショートカットを追加" makes.
constexpr std::string_view newButtonSymbol = "app.fill";
const ColorGradient newButtonGradient{"#4f46e5", "#38bdf8", 135};

constexpr int canvasInset = 24;
constexpr int columnPadding = 8;
constexpr qreal tileCornerRadius = 10;
constexpr int textGap = 12;
constexpr int lineGap = 3;
constexpr qreal selectedCaptionOpacity = 0.78;
constexpr qreal columnOutlineOpacity = 0.28;
constexpr int emptyButtonsMinimumHeight = 240;
constexpr int emptySymbolSide = 44;

/// Where one row moved to, when that is all that changed between two orders.
struct RowMove {
    int from;
    int to;
};

std::optional<RowMove> singleMove(const std::vector<UUID>& before, const std::vector<UUID>& after) {
    if (before.size() != after.size()) {
        return std::nullopt;
    }
    const auto first = std::mismatch(before.begin(), before.end(), after.begin());
    if (first.first == before.end()) {
        return std::nullopt;
    }
    const auto last = std::mismatch(before.rbegin(), before.rend(), after.rbegin());
    const auto i = first.first - before.begin();
    const auto j = before.rend() - last.first - 1;
    if (after[i] == before[j] &&
        std::equal(before.begin() + i, before.begin() + j, after.begin() + i + 1)) {
        return RowMove{int(j), int(i)};
    }
    if (after[j] == before[i] &&
        std::equal(before.begin() + i + 1, before.begin() + j + 1, after.begin() + i)) {
        return RowMove{int(i), int(j)};
    }
    return std::nullopt;
}

std::optional<UUID> idFromText(const QString& text) {
    return UUID::fromString(text.toStdString());
}

/// The rows' grouped background: the control background softened, with a faint outline.
class ButtonColumn final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(
            EditorStyle::withOpacity(palette().color(QPalette::Mid), columnOutlineOpacity), 1));
        painter.setBrush(EditorStyle::withOpacity(palette().color(QPalette::Base),
                                                  EditorStyle::groupedBackgroundOpacity));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5),
                                EditorStyle::rowCornerRadius, EditorStyle::rowCornerRadius);
    }
};

QWidget* emptyState(const char* objectName, std::string symbolName, const QString& title,
                    const QString& description, QWidget* parent) {
    auto* view = new QWidget(parent);
    view->setObjectName(QString::fromLatin1(objectName));
    const QColor secondary = EditorStyle::secondaryText(view->palette());
    auto* symbol = new SymbolView(std::move(symbolName), emptySymbolSide, secondary, view);
    auto* titleLabel = new QLabel(title, view);
    titleLabel->setFont(EditorStyle::secondTitleFont(view->font()));
    auto* descriptionLabel = new QLabel(description, view);
    descriptionLabel->setWordWrap(true);
    descriptionLabel->setAlignment(Qt::AlignHCenter);
    QPalette palette = descriptionLabel->palette();
    palette.setColor(QPalette::WindowText, secondary);
    descriptionLabel->setPalette(palette);

    auto* layout = new QVBoxLayout(view);
    layout->addStretch();
    layout->addWidget(symbol, 0, Qt::AlignHCenter);
    layout->addSpacing(4);
    layout->addWidget(titleLabel, 0, Qt::AlignHCenter);
    layout->addWidget(descriptionLabel);
    layout->addStretch();
    return view;
}

} // namespace

ButtonListModel::ButtonListModel(MacEditorState& state, QObject* parent)
    : QAbstractListModel(parent)
    , m_state(state) {
    connect(&state, &MacEditorState::layoutChanged, this, &ButtonListModel::refresh);
    connect(&state, &MacEditorState::selectedPageIDChanged, this, &ButtonListModel::refresh);
    connect(&state, &MacEditorState::selectedButtonIDChanged, this, &ButtonListModel::refresh);
    refresh();
}

int ButtonListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant ButtonListModel::data(const QModelIndex& index, int role) const {
    const QuorixButtonRecord* record = button(index);
    if (record == nullptr) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return MacEditorState::buttonNumberTitle(record->position);
    case captionRole:
        return QString::fromStdString(readableName(record->action));
    case buttonIDRole:
        return QString::fromStdString(record->id.uuidString());
    case selectedRole:
        return m_state.selectedButtonID() == record->id;
    default:
        return {};
    }
}

Qt::ItemFlags ButtonListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QStringList ButtonListModel::mimeTypes() const {
    return {QStringLiteral("text/plain")};
}

QMimeData* ButtonListModel::mimeData(const QModelIndexList& indexes) const {
    const QuorixButtonRecord* record = indexes.isEmpty() ? nullptr : button(indexes.front());
    if (record == nullptr) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setText(QString::fromStdString(record->id.uuidString()));
    return data;
}

Qt::DropActions ButtonListModel::supportedDragActions() const {
    return Qt::MoveAction;
}

Qt::DropActions ButtonListModel::supportedDropActions() const {
    return Qt::MoveAction;
}

bool ButtonListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int, int,
                                   const QModelIndex&) {
    if (action != Qt::MoveAction || data == nullptr) {
        return false;
    }
    const std::optional<UUID> id = idFromText(data->text());
    return id && indexOf(*id).isValid();
}

const QuorixButtonRecord* ButtonListModel::button(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this || index.row() >= int(m_rows.size())) {
        return nullptr;
    }
    return m_rows[std::size_t(index.row())];
}

QModelIndex ButtonListModel::indexOf(const UUID& buttonID) const {
    const auto found = std::find(m_ids.begin(), m_ids.end(), buttonID);
    return found == m_ids.end() ? QModelIndex() : index(int(found - m_ids.begin()));
}

std::vector<UUID> ButtonListModel::order() const {
    return m_ids;
}

void ButtonListModel::refresh() {
    std::vector<const QuorixButtonRecord*> rows;
    if (const PageRecord* page = m_state.selectedPage()) {
        for (const QuorixButtonRecord& record : page->buttons) {
            rows.push_back(&record);
        }
        std::stable_sort(rows.begin(), rows.end(), [](const auto* left, const auto* right) {
            return left->position < right->position;
        });
    }
    std::vector<UUID> ids;
    ids.reserve(rows.size());
    for (const QuorixButtonRecord* record : rows) {
        ids.push_back(record->id);
    }

    if (ids == m_ids) {
        m_rows = std::move(rows);
    } else if (const std::optional<RowMove> move = singleMove(m_ids, ids)) {
        // A drag step: move the one row, so the view keeps its place and its scroll.
        beginMoveRows({}, move->from, move->from, {},
                      move->to > move->from ? move->to + 1 : move->to);
        m_rows = std::move(rows);
        m_ids = std::move(ids);
        endMoveRows();
    } else {
        beginResetModel();
        m_rows = std::move(rows);
        m_ids = std::move(ids);
        endResetModel();
        return;
    }
    // Titles follow the positions, captions the actions, and the selection may have moved.
    if (!m_ids.empty()) {
        Q_EMIT dataChanged(index(0), index(int(m_ids.size()) - 1));
    }
}

ButtonRowDelegate::ButtonRowDelegate(IconArtworkCache& artwork, QObject* parent)
    : DeletableRowDelegate(deleteButtonText, parent)
    , m_artwork(artwork) {}

QRect ButtonRowDelegate::rowRect(const QRect& item) {
    return item.adjusted(0, rowGap / 2, 0, -rowGap / 2);
}

QRect ButtonRowDelegate::deleteButtonRect(const QRect& item) const {
    const QRect row = rowRect(item);
    return QRect(row.right() + 1 - horizontalInset - deleteButtonSide,
                 row.top() + (row.height() - deleteButtonSide) / 2, deleteButtonSide,
                 deleteButtonSide);
}

void ButtonRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const auto* model = qobject_cast<const ButtonListModel*>(index.model());
    const QuorixButtonRecord* record = model != nullptr ? model->button(index) : nullptr;
    if (record == nullptr) {
        return;
    }
    const auto* view = qobject_cast<const ButtonListView*>(option.widget);
    const bool dragged = view != nullptr && view->reorderDrag().draggingButtonID() == record->id;
    const bool selected = index.data(ButtonListModel::selectedRole).toBool();
    const QRect row = rowRect(option.rect);
    const QColor text = selected ? QColor(Qt::white) : option.palette.color(QPalette::Text);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (dragged) {
        painter->setOpacity(draggedRowOpacity);
    }
    painter->setPen(Qt::NoPen);
    if (selected) {
        painter->setBrush(EditorStyle::accent(option.palette));
        painter->drawRoundedRect(QRectF(row), EditorStyle::rowCornerRadius,
                                 EditorStyle::rowCornerRadius);
    }
    const QRectF tile(row.left() + horizontalInset, row.top() + (row.height() - tileSide) / 2.0,
                      tileSide, tileSide);
    painter->setBrush(selected
                          ? EditorStyle::withOpacity(Qt::white, EditorStyle::selectedControlOpacity)
                          : option.palette.color(QPalette::Window));
    painter->drawRoundedRect(tile, tileCornerRadius, tileCornerRadius);
    const qreal inset = (tileSide - artworkSide) / 2.0;
    paintIconArtwork(*painter, tile.adjusted(inset, inset, -inset, -inset), record->icon, text,
                     m_artwork);

    const QRect button = deleteButtonRect(option.rect);
    const int left = int(tile.right()) + textGap;
    const int width = button.left() - textGap - left;
    const QFont titleFont = EditorStyle::bodySemiboldFont(option.font);
    const QFont captionFont = EditorStyle::captionFont(option.font);
    const QFontMetrics titleMetrics(titleFont);
    const QFontMetrics captionMetrics(captionFont);
    const int top =
        row.top() + (row.height() - titleMetrics.height() - lineGap - captionMetrics.height()) / 2;
    painter->setFont(titleFont);
    painter->setPen(text);
    painter->drawText(QRect(left, top, width, titleMetrics.height()),
                      Qt::AlignLeading | Qt::AlignVCenter,
                      titleMetrics.elidedText(index.data().toString(), Qt::ElideRight, width));
    painter->setFont(captionFont);
    painter->setPen(selected ? EditorStyle::withOpacity(Qt::white, selectedCaptionOpacity)
                             : EditorStyle::secondaryText(option.palette));
    painter->drawText(
        QRect(left, top + titleMetrics.height() + lineGap, width, captionMetrics.height()),
        Qt::AlignLeading | Qt::AlignVCenter,
        captionMetrics.elidedText(index.data(ButtonListModel::captionRole).toString(),
                                  Qt::ElideRight, width));
    EditorStyle::paintTrashButton(*painter, button, selected);
    painter->restore();
}

QSize ButtonRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {option.rect.width(), rowHeight + rowGap};
}

ButtonListView::ButtonListView(MacEditorState& state, ButtonListModel& model, QWidget* parent)
    : QListView(parent)
    , m_state(state)
    , m_model(model)
    , m_scroll(new QPropertyAnimation(this)) {
    setObjectName(QStringLiteral("buttonList"));
    setModel(&model);
    IconArtworkCache& artwork = IconArtworkCache::of(state);
    auto* delegate = new ButtonRowDelegate(artwork, this);
    setItemDelegate(delegate);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    viewport()->setAutoFillBackground(false);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    m_scroll->setTargetObject(verticalScrollBar());
    m_scroll->setPropertyName("value");
    m_scroll->setDuration(scrollDurationMilliseconds);
    m_scroll->setEasingCurve(QEasingCurve::OutCubic);

    connect(&artwork, &IconArtworkCache::pictureArrived, viewport(), qOverload<>(&QWidget::update));
    // An application's icon may come from the catalogue once it has loaded.
    connect(&state, &MacEditorState::installedAppsChanged, viewport(),
            qOverload<>(&QWidget::update));
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(&model, signal, this, [this] { updateGeometry(); });
    }
    connect(&model, &QAbstractItemModel::modelReset, this, [this] { updateGeometry(); });
    connect(&state, &MacEditorState::selectedButtonIDChanged, this, [this] {
        if (const std::optional<UUID>& id = m_state.selectedButtonID()) {
            scrollToButton(*id);
        }
    });
    connect(delegate, &ButtonRowDelegate::selectRequested, this, [this](const QModelIndex& index) {
        if (const QuorixButtonRecord* record = m_model.button(index)) {
            m_state.selectButton(record->id);
        }
    });
}

QSize ButtonListView::sizeHint() const {
    const int rows = m_model.rowCount();
    const int content =
        rows * (ButtonRowDelegate::rowHeight + ButtonRowDelegate::rowGap) + 2 * frameWidth();
    return {QListView::sizeHint().width(), std::min(content, maximumHeight)};
}

void ButtonListView::beginDrag(const UUID& buttonID) {
    m_drag.begin(buttonID);
    viewport()->update();
}

void ButtonListView::scrollToButton(const UUID& buttonID) {
    const QModelIndex index = m_model.indexOf(buttonID);
    if (!index.isValid()) {
        return;
    }
    executeDelayedItemsLayout();
    const QRect row = visualRect(index);
    QScrollBar* bar = verticalScrollBar();
    int target = bar->value();
    if (row.top() < 0) {
        target += row.top();
    } else if (row.bottom() >= viewport()->height()) {
        target += row.bottom() + 1 - viewport()->height();
    }
    target = std::clamp(target, bar->minimum(), bar->maximum());
    m_scroll->stop();
    if (target == bar->value()) {
        return;
    }
    m_scroll->setStartValue(bar->value());
    m_scroll->setEndValue(target);
    m_scroll->start();
}

void ButtonListView::mousePressEvent(QMouseEvent* event) {
    m_pressedIndex =
        event->button() == Qt::LeftButton ? indexAt(event->position().toPoint()) : QModelIndex();
    m_pressPosition = event->position().toPoint();
    QListView::mousePressEvent(event);
}

void ButtonListView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint position = event->position().toPoint();
    if (m_pressedIndex.isValid() && (event->buttons() & Qt::LeftButton) &&
        (position - m_pressPosition).manhattanLength() >= QApplication::startDragDistance() &&
        !static_cast<const ButtonRowDelegate*>(itemDelegate())
             ->deleteButtonRect(visualRect(m_pressedIndex))
             .contains(m_pressPosition)) {
        const QModelIndex index = m_pressedIndex;
        m_pressedIndex = QModelIndex();
        dragRow(index);
        return;
    }
    QListView::mouseMoveEvent(event);
}

void ButtonListView::dragRow(const QModelIndex& index) {
    const QuorixButtonRecord* record = m_model.button(index);
    if (record == nullptr) {
        return;
    }
    const QRect row = visualRect(index);
    auto* drag = new QDrag(this);
    drag->setMimeData(m_model.mimeData({index}));
    drag->setPixmap(viewport()->grab(ButtonRowDelegate::rowRect(row)));
    drag->setHotSpot(m_pressPosition - ButtonRowDelegate::rowRect(row).topLeft());
    beginDrag(record->id);
    drag->exec(Qt::MoveAction);
    // However the drag ended, the row stops looking dragged.
    endDrag();
}

bool ButtonListView::carriesDraggedButton(const QMimeData* data) const {
    return data != nullptr && m_drag.draggingButtonID() &&
           idFromText(data->text()) == m_drag.draggingButtonID();
}

void ButtonListView::dragEnterEvent(QDragEnterEvent* event) {
    // Entering the list may already mean entering a row.
    dragMoveEvent(event);
}

void ButtonListView::dragMoveEvent(QDragMoveEvent* event) {
    if (!carriesDraggedButton(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    const QuorixButtonRecord* target = m_model.button(indexAt(event->position().toPoint()));
    if (target == nullptr) {
        m_drag.leave();
    } else if (const auto move = m_drag.enter(target->id, m_model.order())) {
        m_state.moveButton(move->buttonID, move->before);
    }
}

void ButtonListView::dragLeaveEvent(QDragLeaveEvent* event) {
    m_drag.leave();
    event->accept();
}

void ButtonListView::dropEvent(QDropEvent* event) {
    if (!carriesDraggedButton(event->mimeData()) ||
        !m_model.dropMimeData(event->mimeData(), Qt::MoveAction, -1, -1, QModelIndex())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    endDrag();
}

void ButtonListView::endDrag() {
    m_drag.end();
    viewport()->update();
}

EditorCanvasView::EditorCanvasView(MacEditorState& state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_model(new ButtonListModel(state, this)) {
    setObjectName(QStringLiteral("canvas"));
    setMinimumWidth(minimumWidth);

    m_noPages =
        emptyState("noPagesState", "rectangle.grid.3x2", QStringLiteral("ページがありません"),
                   QStringLiteral("左の一覧からページを追加できます。"), this);

    m_page = new QWidget(this);
    m_title = new QLabel(m_page);
    m_title->setObjectName(QStringLiteral("pageTitle"));
    m_title->setFont(EditorStyle::titleFont(font()));
    auto* heading = new QLabel(QStringLiteral("ショートカット"), m_page);
    heading->setFont(EditorStyle::headlineFont(font()));
    auto* add =
        new QPushButton(SymbolGlyphs::symbolIcon("plus", palette().color(QPalette::ButtonText)),
                        QStringLiteral("ショートカットを追加"), m_page);
    add->setObjectName(QStringLiteral("addShortcutButton"));
    m_noButtons = emptyState("noButtonsState", "rectangle.badge.plus",
                             QStringLiteral("ショートカットがありません"),
                             QStringLiteral("ショートカットを追加を押してください"), m_page);
    m_noButtons->setMinimumHeight(emptyButtonsMinimumHeight);

    m_buttonColumn = new ButtonColumn(m_page);
    m_list = new ButtonListView(state, *m_model, m_buttonColumn);
    auto* columnLayout = new QVBoxLayout(m_buttonColumn);
    columnLayout->setContentsMargins(columnPadding, columnPadding - ButtonRowDelegate::rowGap / 2,
                                     columnPadding, columnPadding - ButtonRowDelegate::rowGap / 2);
    columnLayout->addWidget(m_list);

    auto* header = new QHBoxLayout;
    header->addWidget(heading);
    header->addStretch();
    header->addWidget(add);
    auto* pageLayout = new QVBoxLayout(m_page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(14);
    pageLayout->addWidget(m_title);
    pageLayout->addLayout(header);
    pageLayout->addWidget(m_noButtons);
    pageLayout->addWidget(m_buttonColumn);
    pageLayout->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(canvasInset, canvasInset, canvasInset, canvasInset);
    layout->addWidget(m_noPages);
    layout->addWidget(m_page);

    connect(add, &QPushButton::clicked, this, [this] {
        m_state.addButtonToSelectedPage(IconRef::sfSymbol(std::string(newButtonSymbol)),
                                        newButtonGradient, ActionSpec::launchApp(""));
    });
    connect(static_cast<ButtonRowDelegate*>(m_list->itemDelegate()),
            &ButtonRowDelegate::deleteRequested, this, &EditorCanvasView::requestDeletion);
    connect(&state, &MacEditorState::layoutChanged, this, &EditorCanvasView::refresh);
    connect(&state, &MacEditorState::selectedPageIDChanged, this, &EditorCanvasView::refresh);
    refresh();
}

void EditorCanvasView::refresh() {
    const PageRecord* page = m_state.selectedPage();
    m_noPages->setVisible(page == nullptr);
    m_page->setVisible(page != nullptr);
    if (page == nullptr) {
        return;
    }
    m_title->setText(m_state.pageNumberTitle(page->id));
    m_noButtons->setVisible(page->buttons.empty());
    m_buttonColumn->setVisible(!page->buttons.empty());
}

void EditorCanvasView::requestDeletion(const QModelIndex& index) {
    const QuorixButtonRecord* record = m_model->button(index);
    if (record == nullptr || m_confirmation) {
        return;
    }
    m_buttonPendingDeletion = record->id;
    m_confirmation = DeleteConfirmation::ask(
        this, DeleteConfirmation::buttonTitle.toString(),
        DeleteConfirmation::buttonMessage(record->position),
        [this, id = record->id] { m_state.deleteButton(id); },
        [this] { m_buttonPendingDeletion.reset(); });
}

} // namespace quorix
