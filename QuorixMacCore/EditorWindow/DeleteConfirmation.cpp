#include "QuorixMacCore/EditorWindow/DeleteConfirmation.h"

#include "QuorixMacCore/Editor/MacEditorState.h"

#include <QMessageBox>
#include <QPushButton>

namespace quorix::DeleteConfirmation {

QString pageMessage(const QString& pageTitle) {
    return pageTitle + QStringLiteral(" を削除します。");
}

QString buttonMessage(std::int64_t position) {
    return MacEditorState::buttonNumberTitle(position) + QStringLiteral(" を削除します。");
}

QMessageBox* ask(QWidget* parent, const QString& title, const QString& message,
                 std::function<void()> onDelete, std::function<void()> onFinished) {
    auto* box = new QMessageBox(parent);
    box->setObjectName(QStringLiteral("deleteConfirmation"));
    if (parent != nullptr) {
        // A window does not inherit its parent's font: keep the editor's Japanese face.
        box->setFont(parent->font());
    }
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(title);
    box->setTextFormat(Qt::PlainText);
    box->setText(title);
    box->setInformativeText(message);
    QPushButton* cancel = box->addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    QPushButton* remove = box->addButton(QStringLiteral("削除"), QMessageBox::DestructiveRole);
    remove->setObjectName(QStringLiteral("deleteButton"));
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    QObject::connect(
        box, &QMessageBox::finished, box,
        [box, remove, onDelete = std::move(onDelete), onFinished = std::move(onFinished)] {
            if (box->clickedButton() == remove) {
                onDelete();
            }
            onFinished();
        });
    box->open();
    return box;
}

} // namespace quorix::DeleteConfirmation
