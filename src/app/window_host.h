#pragma once
// What the main window's controllers need from the window and from each
// other, each as a narrow interface: the window's save point, command guard
// and outcome display; the shown sheet with its tab and counts; and the
// judgment chain the reports run first.
#include <functional>

class QWidget;

namespace trevolo {

struct Outcome;
class SessionJournal;

class WindowHost {
public:
    // The parent of message boxes and dialogs.
    virtual QWidget* boxParent() = 0;
    // A save point: the open cell editor and the focused field are taken.
    virtual void commitPendingInput() = 0;
    // Runs a command as one journal transaction; an error it does not catch
    // is shown by the general error box and the program goes on.
    virtual void runCommand(const std::function<void()>& command) = 0;
    // Shows what a session command changed, gives the focus, shows its
    // message boxes, and raises the conversion error that stopped it.
    virtual void applyOutcome(const Outcome& o) = 0;
    // This copy's crash journal, or null while none runs.
    virtual SessionJournal* journal() const = 0;

protected:
    ~WindowHost() = default;
};

class ShownSheet {
public:
    // The sheet shown by its selected tab, or -1 when none is (after the
    // shown sheet's tab was removed).
    virtual int shownIndex() const = 0;
    // The tab the strip highlights, also while none is selected.
    virtual int highlightedTab() const = 0;
    // Writes the shown sheet into its record, with the counts its fields show.
    virtual void store() = 0;
    // Shows the selected sheet afresh from its record.
    virtual void showAfresh() = 0;
    // The limits emptied, the results cleared and the tables laid out again
    // for the counts the fields show (a new chart kind).
    virtual void resetLimitsAndLayOut() = 0;
    // The count fields and the tables' shapes follow the session (a lot
    // count or n undone or redone).
    virtual void showCounts() = 0;
    // The tab strip takes the focus, as a click on it does.
    virtual void focusTabs() = 0;
    // The lot count and n as their fields show them.
    virtual int lotCountSetting() const = 0;
    virtual int columnCountSetting() const = 0;

protected:
    ~ShownSheet() = default;
};

class JudgmentChain {
public:
    // Checks the required header fields, giving the focus to the first
    // missing one; false when one is missing.
    virtual bool requiredFieldsFilled() = 0;
    // The specification, capability and SPC judgments in turn; true when
    // they left a specification and a capability verdict.
    virtual bool judgeAll() = 0;

protected:
    ~JudgmentChain() = default;
};

}  // namespace trevolo
