#pragma once

#include "QuorixMacCore/EditorWindow/ButtonReorderDrag.h"
#include "QuorixMacCore/EditorWindow/DeletableRowDelegate.h"
#include "QuorixProtocol/Models.h"

#include <QAbstractListModel>
#include <QListView>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <vector>

class QLabel;
class QMessageBox;
class QPropertyAnimation;

namespace quorix {

class IconArtworkCache;
class MacEditorState;

/// The buttons of the selected page sorted by position, titled "ボタン N" and captioned
/// with what they do.
class ButtonListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        /// The button's id as text.
        buttonIDRole = Qt::UserRole + 1,
        captionRole,
        selectedRole,
    };

    explicit ButtonListModel(MacEditorState& state, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// A drag carries the button's id as plain text.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    /// Accepts a drop of a button of this list; the order already changed on the way.
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    /// The record behind a row; valid until the layout next changes.
    const QuorixButtonRecord* button(const QModelIndex& index) const;
    QModelIndex indexOf(const UUID& buttonID) const;
    /// The ids of the rows, in row order.
    std::vector<UUID> order() const;

private:
    void refresh();

    MacEditorState& m_state;
    std::vector<const QuorixButtonRecord*> m_rows;
    /// The ids of `m_rows`, kept apart: the records may be gone when the layout changes.
    std::vector<UUID> m_ids;
};

/// Paints a button row: the icon on a rounded tile, the title and caption, and the delete
/// button at the trailing end.
class ButtonRowDelegate final : public DeletableRowDelegate {
    Q_OBJECT

public:
    static constexpr int rowHeight = 62;
    static constexpr int rowGap = 8;
    static constexpr int tileSide = 46;
    static constexpr int artworkSide = 30;
    static constexpr int deleteButtonSide = 30;
    static constexpr int horizontalInset = 10;
    /// Opacity of the row being dragged.
    static constexpr qreal draggedRowOpacity = 0.45;

    explicit ButtonRowDelegate(IconArtworkCache& artwork, QObject* parent = nullptr);

    /// The painted part of a row, without the gap around it.
    static QRect rowRect(const QRect& item);
    QRect deleteButtonRect(const QRect& item) const override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    IconArtworkCache& m_artwork;
};

/// The rows of the selected page's buttons: selecting on a click, reordering live while a
/// row is dragged over the others, and scrolling the selected row into view.
class ButtonListView final : public QListView {
    Q_OBJECT

public:
    static constexpr int maximumHeight = 430;
    /// Length of the scroll that brings the selected row into view.
    static constexpr int scrollDurationMilliseconds = 220;

    ButtonListView(MacEditorState& state, ButtonListModel& model, QWidget* parent = nullptr);

    const ButtonReorderDrag& reorderDrag() const { return m_drag; }
    /// Starts the drag state of the button's row without the platform's drag loop; a drag
    /// begun by the mouse goes through here too.
    void beginDrag(const UUID& buttonID);
    /// Scrolls, animated, until the button's row is fully visible.
    void scrollToButton(const UUID& buttonID);

    QSize sizeHint() const override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    /// Runs the platform's drag loop for the row; returns when the drag has ended.
    void dragRow(const QModelIndex& index);
    bool carriesDraggedButton(const QMimeData* data) const;
    void endDrag();

    MacEditorState& m_state;
    ButtonListModel& m_model;
    ButtonReorderDrag m_drag;
    QPropertyAnimation* m_scroll;
    QPersistentModelIndex m_pressedIndex;
    QPoint m_pressPosition;
};

/// The middle column: the selected page's title and its buttons, with adding, deleting
/// after confirmation, and reordering by drag and drop.
class EditorCanvasView final : public QWidget {
    Q_OBJECT

public:
    static constexpr int minimumWidth = 460;

    explicit EditorCanvasView(MacEditorState& state, QWidget* parent = nullptr);

    /// The button waiting for the user's confirmation, if any.
    const std::optional<UUID>& buttonPendingDeletion() const { return m_buttonPendingDeletion; }

private:
    void refresh();
    void requestDeletion(const QModelIndex& index);

    MacEditorState& m_state;
    ButtonListModel* m_model;
    QWidget* m_noPages;
    QWidget* m_page;
    QLabel* m_title;
    QWidget* m_noButtons;
    QWidget* m_buttonColumn;
    ButtonListView* m_list;
    std::optional<UUID> m_buttonPendingDeletion;
    QPointer<QMessageBox> m_confirmation;
};

} // namespace quorix
