#pragma once

#include "QuorixMacCore/EditorWindow/DeletableRowDelegate.h"
#include "QuorixProtocol/Foundation.h"

#include <QAbstractButton>
#include <QAbstractListModel>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QListView;
class QMessageBox;

namespace quorix {

class MacEditorState;

/// The pages of the editor state in their stored order, titled by their place in page
/// order ("2ページ目"), with the selected one marked.
class PageListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        selectedRole = Qt::UserRole + 1,
    };

    explicit PageListModel(MacEditorState& state, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    std::optional<UUID> pageID(const QModelIndex& index) const;

private:
    void refresh();

    MacEditorState& m_state;
    std::vector<UUID> m_pageIDs;
};

/// Paints a page row: its title, and the delete button at the trailing end.
class PageRowDelegate final : public DeletableRowDelegate {
    Q_OBJECT

public:
    static constexpr int rowHeight = 34;
    static constexpr int deleteButtonSide = 28;
    static constexpr int leadingInset = 12;
    static constexpr int trailingInset = 6;
    /// Rows are this far apart; each keeps half of it above and below its painted part.
    static constexpr int rowGap = 6;

    explicit PageRowDelegate(QObject* parent = nullptr);

    QRect deleteButtonRect(const QRect& item) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

/// A full-width button with a symbol and a title on a softly filled rounded rectangle.
class SymbolRowButton final : public QAbstractButton {
    Q_OBJECT

public:
    SymbolRowButton(std::string symbolName, const QString& title, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string m_symbolName;
};

/// The left column: one row per page, selecting on a click and asking before deleting,
/// then the button that adds a page.
class SidebarView final : public QWidget {
    Q_OBJECT

public:
    static constexpr int minimumWidth = 220;

    explicit SidebarView(MacEditorState& state, QWidget* parent = nullptr);

    /// The page waiting for the user's confirmation, if any.
    const std::optional<UUID>& pagePendingDeletion() const { return m_pagePendingDeletion; }

private:
    void requestDeletion(const QModelIndex& index);
    void showContextMenu(const QPoint& position);
    void fitListToRows();

    MacEditorState& m_state;
    PageListModel* m_model;
    QListView* m_list;
    std::optional<UUID> m_pagePendingDeletion;
    QPointer<QMessageBox> m_confirmation;
};

} // namespace quorix
