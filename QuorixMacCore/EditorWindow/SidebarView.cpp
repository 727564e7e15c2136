#include "QuorixMacCore/EditorWindow/SidebarView.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"
#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/EditorWindow/DeleteConfirmation.h"
#include "QuorixMacCore/EditorWindow/EditorStyle.h"

#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QVBoxLayout>

namespace quorix {

namespace {

// Side of the add button's symbol box and the gap after it.
constexpr int addSymbolBox = 18;
constexpr int addSymbolGap = 8;
constexpr int addHorizontalInset = 12;
constexpr int addVerticalInset = 9;

constexpr int rowGap = PageRowDelegate::rowGap;

const QString deletePageText = QStringLiteral("このページを削除");

} // namespace

PageListModel::PageListModel(MacEditorState& state, QObject* parent)
    : QAbstractListModel(parent)
    , m_state(state) {
    connect(&state, &MacEditorState::layoutChanged, this, &PageListModel::refresh);
    connect(&state, &MacEditorState::selectedPageIDChanged, this, &PageListModel::refresh);
    refresh();
}

int PageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_pageIDs.size());
}

QVariant PageListModel::data(const QModelIndex& index, int role) const {
    const std::optional<UUID> id = pageID(index);
    if (!id) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return m_state.pageNumberTitle(*id);
    case selectedRole:
        return m_state.selectedPageID() == id;
    default:
        return {};
    }
}

std::optional<UUID> PageListModel::pageID(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this || index.row() >= int(m_pageIDs.size())) {
        return std::nullopt;
    }
    return m_pageIDs[std::size_t(index.row())];
}

void PageListModel::refresh() {
    std::vector<UUID> ids;
    ids.reserve(m_state.layout().pages.size());
    for (const PageRecord& page : m_state.layout().pages) {
        ids.push_back(page.id);
    }
    if (ids == m_pageIDs) {
        // Titles and the selection may have changed; the rows have not.
        if (!ids.empty()) {
            Q_EMIT dataChanged(index(0), index(int(ids.size()) - 1));
        }
        return;
    }
    beginResetModel();
    m_pageIDs = std::move(ids);
    endResetModel();
}

PageRowDelegate::PageRowDelegate(QObject* parent)
    : DeletableRowDelegate(deletePageText, parent) {}

QRect PageRowDelegate::deleteButtonRect(const QRect& item) const {
    const QRect row = item.adjusted(0, rowGap / 2, 0, -rowGap / 2);
    return QRect(row.right() + 1 - trailingInset - deleteButtonSide,
                 row.top() + (row.height() - deleteButtonSide) / 2, deleteButtonSide,
                 deleteButtonSide);
}

void PageRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const bool selected = index.data(PageListModel::selectedRole).toBool();
    const QRect row = option.rect.adjusted(0, rowGap / 2, 0, -rowGap / 2);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (selected) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(EditorStyle::accent(option.palette));
        painter->drawRoundedRect(QRectF(row), EditorStyle::rowCornerRadius,
                                 EditorStyle::rowCornerRadius);
    }
    const QRect button = deleteButtonRect(option.rect);
    const QRect text(row.left() + leadingInset, row.top(),
                     button.left() - row.left() - leadingInset - trailingInset, row.height());
    const QFont font = EditorStyle::bodySemiboldFont(option.font);
    painter->setFont(font);
    painter->setPen(selected ? QColor(Qt::white) : option.palette.color(QPalette::Text));
    painter->drawText(
        text, Qt::AlignVCenter | Qt::AlignLeading,
        QFontMetrics(font).elidedText(index.data().toString(), Qt::ElideRight, text.width()));
    EditorStyle::paintTrashButton(*painter, button, selected);
    painter->restore();
}

QSize PageRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {option.rect.width(), rowHeight + rowGap};
}

SymbolRowButton::SymbolRowButton(std::string symbolName, const QString& title, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbolName(std::move(symbolName)) {
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize SymbolRowButton::sizeHint() const {
    const QFontMetrics metrics(EditorStyle::bodySemiboldFont(font()));
    return {addHorizontalInset * 2 + addSymbolBox + addSymbolGap +
                metrics.horizontalAdvance(text()),
            std::max(addSymbolBox, metrics.height()) + addVerticalInset * 2};
}

void SymbolRowButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const qreal opacity = EditorStyle::groupedBackgroundOpacity * (isDown() ? 1.6 : 1.0);
    painter.setBrush(EditorStyle::withOpacity(palette().color(QPalette::Base), opacity));
    painter.drawRoundedRect(QRectF(rect()), EditorStyle::rowCornerRadius,
                            EditorStyle::rowCornerRadius);
    const QColor textColor = palette().color(QPalette::Text);
    const QRectF box(addHorizontalInset, (height() - addSymbolBox) / 2.0, addSymbolBox,
                     addSymbolBox);
    const qreal glyph = EditorStyle::smallSymbolSize;
    SymbolGlyphs::paintSymbol(
        painter, QRectF(box.center() - QPointF(glyph / 2, glyph / 2), QSizeF(glyph, glyph)),
        m_symbolName, textColor);
    painter.setFont(EditorStyle::bodySemiboldFont(font()));
    painter.setPen(textColor);
    const int textLeft = addHorizontalInset + addSymbolBox + addSymbolGap;
    painter.drawText(QRect(textLeft, 0, width() - textLeft - addHorizontalInset, height()),
                     Qt::AlignVCenter | Qt::AlignLeading, text());
}

SidebarView::SidebarView(MacEditorState& state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_model(new PageListModel(state, this))
    , m_list(new QListView(this)) {
    setObjectName(QStringLiteral("sidebar"));
    setMinimumWidth(minimumWidth);
    QPalette background = palette();
    background.setColor(QPalette::Window, EditorStyle::sidebarBackground(background));
    setPalette(background);
    setAutoFillBackground(true);

    m_list->setObjectName(QStringLiteral("pageList"));
    m_list->setModel(m_model);
    auto* delegate = new PageRowDelegate(m_list);
    m_list->setItemDelegate(delegate);
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);

    auto* addPage = new SymbolRowButton("plus", QStringLiteral("ページを追加"), this);
    addPage->setObjectName(QStringLiteral("addPageButton"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 12 - rowGap / 2, 10, 12);
    layout->setSpacing(rowGap / 2);
    // The rows take the height they need, up to all there is; the add button follows them.
    layout->addWidget(m_list, 1);
    layout->addWidget(addPage);
    layout->addStretch();

    connect(delegate, &PageRowDelegate::selectRequested, this, [this](const QModelIndex& index) {
        if (const std::optional<UUID> id = m_model->pageID(index)) {
            m_state.selectPage(*id);
        }
    });
    connect(delegate, &PageRowDelegate::deleteRequested, this, &SidebarView::requestDeletion);
    connect(m_list, &QWidget::customContextMenuRequested, this, &SidebarView::showContextMenu);
    connect(addPage, &QAbstractButton::clicked, this, [this] { m_state.addPage(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, &SidebarView::fitListToRows);
    fitListToRows();
}

void SidebarView::fitListToRows() {
    const int rows = m_model->rowCount();
    m_list->setVisible(rows > 0);
    m_list->setMaximumHeight(rows * (PageRowDelegate::rowHeight + rowGap));
}

void SidebarView::requestDeletion(const QModelIndex& index) {
    const std::optional<UUID> id = m_model->pageID(index);
    if (!id || m_confirmation) {
        return;
    }
    m_pagePendingDeletion = id;
    m_confirmation = DeleteConfirmation::ask(
        this, DeleteConfirmation::pageTitle.toString(),
        DeleteConfirmation::pageMessage(m_state.pageNumberTitle(*id)),
        [this, page = *id] { m_state.deletePage(page); },
        [this] { m_pagePendingDeletion.reset(); });
}

void SidebarView::showContextMenu(const QPoint& position) {
    const QPersistentModelIndex index = m_list->indexAt(position);
    if (!index.isValid()) {
        return;
    }
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("pageContextMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* remove = menu->addAction(SymbolGlyphs::symbolIcon("trash", EditorStyle::destructive()),
                                      deletePageText);
    remove->setObjectName(QStringLiteral("deletePageAction"));
    connect(remove, &QAction::triggered, this, [this, index] { requestDeletion(index); });
    menu->popup(m_list->viewport()->mapToGlobal(position));
}

} // namespace quorix
