#pragma once
// The in-place editor of an editable table where Enter commits: the editor's
// text is written into the cell, the editor closes, and the table's own
// Enter action (commit and move on) runs.
#include <functional>

#include "app/stringgrid.h"

namespace trevolo {

class TEdit;

class EnterCommitDelegate : public GridDelegate {
public:
    // editorName and alignment are the editor's; prepare adds what else
    // the table's editor does (its key filter); onEnter is the table's Enter.
    EnterCommitDelegate(StringGrid* grid, QString editorName, Qt::Alignment alignment,
                        std::function<void(TEdit*)> prepare, std::function<void()> onEnter);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override;
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    QString editorName_;
    Qt::Alignment alignment_;
    std::function<void(TEdit*)> prepare_;
    std::function<void()> onEnter_;
};

}  // namespace trevolo
