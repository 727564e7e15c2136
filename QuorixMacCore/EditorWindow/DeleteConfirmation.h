#pragma once

#include <QString>

#include <cstdint>
#include <functional>

class QMessageBox;
class QWidget;

namespace quorix {

/// Texts of the editor's two delete confirmations.
namespace DeleteConfirmation {
inline constexpr QStringView pageTitle = u"このページを削除しますか？";
inline constexpr QStringView buttonTitle = u"このショートカットを消しますか？";
/// "<display title> を削除します。"
QString pageMessage(const QString& pageTitle);
/// "ボタン <position + 1> を削除します。"
QString buttonMessage(std::int64_t position);

/// Opens a confirmation over `parent` without waiting for it: "削除" runs `onDelete`, and
/// "キャンセル" or closing it any other way does not; `onFinished` runs in every case,
/// after `onDelete`. The box deletes itself when it closes.
QMessageBox* ask(QWidget* parent, const QString& title, const QString& message,
                 std::function<void()> onDelete, std::function<void()> onFinished);
} // namespace DeleteConfirmation

} // namespace quorix
