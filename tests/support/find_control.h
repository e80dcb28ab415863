#pragma once
// Finds a control of the main window by its object name, typed:
//
//     auto* upper = Ctl<TEdit>(form, "editKupper");
//
// Tests, benchmarks and the test drivers reach the window's controls this way
// rather than through members, so they do not depend on which class of the
// window holds a control. Every control carries the name it is known by.
//
// Only the window's own widgets, menus and actions are searched. The dialogs
// it owns are left out: the setting dialog has fields of the same names as
// the window's header fields. The name must name exactly one object there,
// and that object must be of the type asked for.
#include <QCheckBox>
#include <QDialog>
#include <QList>
#include <QObject>
#include <QString>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "app/fields.h"

namespace trevolo::testing {

namespace detail {

inline void CollectNamed(const QObject& parent, const QString& name, QList<QObject*>& found)
{
    for (QObject* child : parent.children()) {
        if (qobject_cast<QDialog*>(child))
            continue;
        if (child->objectName() == name)
            found.append(child);
        CollectNamed(*child, name, found);
    }
}

inline const QObject& WindowObject(const QObject& window)
{
    return window;
}
inline const QObject& WindowObject(const QObject* window)
{
    return *window;
}
template <class W>
const QObject& WindowObject(const std::unique_ptr<W>& window)
{
    return *window;
}

}  // namespace detail

// The object named name among the window's own, or nullptr with the reason
// in why: no such object, more than one, or one of another type.
template <class T>
T* FindControl(const QObject& window, const QString& name, QString* why = nullptr)
{
    static_assert(std::is_base_of_v<QObject, T>, "controls are QObjects");
    QList<QObject*> found;
    detail::CollectNamed(window, name, found);
    QString problem;
    if (found.isEmpty())
        problem = QStringLiteral("no control named \"%1\" in the main window").arg(name);
    else if (found.size() > 1)
        problem = QStringLiteral("%1 controls named \"%2\" in the main window").arg(found.size()).arg(name);
    else if (T* typed = qobject_cast<T*>(found.front()))
        return typed;
    else
        problem = QStringLiteral("the control \"%1\" is a %2, not a %3")
                      .arg(name, QString::fromLatin1(found.front()->metaObject()->className()),
                           QString::fromLatin1(T::staticMetaObject.className()));
    if (why)
        *why = problem;
    return nullptr;
}

// A name that finds no control, or not exactly one of the type asked for.
class ControlLookupError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// FindControl for a window given as a reference, a pointer or a unique_ptr.
// A failed lookup throws ControlLookupError naming the control: a GoogleTest
// case reports it as its failure, a program without a test framework ends
// with the message.
template <class T, class Window>
T* Ctl(const Window& window, const char* name)
{
    QString why;
    if (T* control = FindControl<T>(detail::WindowObject(window), QString::fromLatin1(name), &why))
        return control;
    throw ControlLookupError(why.toStdString());
}

// Several controls of one type, in the order of their names.
template <class T, class Window>
std::vector<T*> Ctls(const Window& window, std::initializer_list<const char*> names)
{
    std::vector<T*> controls;
    for (const char* name : names)
        controls.push_back(Ctl<T>(window, name));
    return controls;
}

// The control-limit panel by line, in the order of the session's limits:
// the eleven limit fields, and the check box and name field of each of the
// nine visible lines.
template <class Window>
TEdit* LimitFieldCtl(const Window& window, int f)
{
    static const char* const names[] = {"editUcl3", "editUcl2", "editUcl1",   "editLcl3",   "editLcl2",  "editLcl1",
                                        "editXcl",  "editRcl",  "editRsUcl3", "editRsUcl2", "editRsUcl1"};
    return Ctl<TEdit>(window, names[f]);
}

template <class Window>
QCheckBox* LimitBoxCtl(const Window& window, int line)
{
    static const char* const names[] = {"cbUcl3", "cbUcl2", "cbUcl1", "cbLcl3",  "cbLcl2",
                                        "cbLcl1", "cbXcl",  "cbRcl",  "cbRsUcl3"};
    return Ctl<QCheckBox>(window, names[line]);
}

template <class Window>
TEdit* LimitNameCtl(const Window& window, int line)
{
    static const char* const names[] = {"itemUcl3", "itemUcl2", "itemUcl1", "itemLcl3",  "itemLcl2",
                                        "itemLcl1", "itemXcl",  "itemRcl",  "itemRsUcl3"};
    return Ctl<TEdit>(window, names[line]);
}

}  // namespace trevolo::testing
