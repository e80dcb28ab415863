#include "app/enter_delegate.h"

#include <QKeyEvent>

#include "app/fields.h"

namespace trevolo {

EnterCommitDelegate::EnterCommitDelegate(StringGrid* grid, QString editorName, Qt::Alignment alignment,
                                         std::function<void(TEdit*)> prepare, std::function<void()> onEnter)
    : GridDelegate(grid),
      editorName_(std::move(editorName)),
      alignment_(alignment),
      prepare_(std::move(prepare)),
      onEnter_(std::move(onEnter))
{
}

QWidget* EnterCommitDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* e = new TEdit(parent);
    e->setObjectName(editorName_);
    e->setFrame(false);
    e->setAlignment(alignment_);
    if (prepare_)
        prepare_(e);
    return e;
}

bool EnterCommitDelegate::eventFilter(QObject* object, QEvent* event)
{
    auto* editor = qobject_cast<QWidget*>(object);
    if (editor && event->type() == QEvent::KeyPress && IsEnterKey(static_cast<QKeyEvent*>(event))) {
        emit commitData(editor);
        emit closeEditor(editor, QAbstractItemDelegate::NoHint);
        onEnter_();
        return true;
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

}  // namespace trevolo
