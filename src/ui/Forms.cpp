#include "Forms.h"

#include "frmProfile.h"

#include <QApplication>
#include <QList>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QVariant>
#include <QWidget>

namespace Forms {

namespace {

// A window is a widget named after its class ("frm..."). Hosted windows sit inside a
// document-area frame, so the search goes through every top-level widget's children too.
bool IsWindowName(const QString& name) {
    return name.startsWith(QStringLiteral("frm"));
}

// Set on a window that has been unloaded but whose deletion waits for the event loop.
constexpr const char* UnloadedProperty = "echofindUnloaded";

// A window inside an unloaded one goes with it, even before the deletion has happened.
bool IsLoaded(const QWidget* w) {
    if (!IsWindowName(w->objectName()))
        return false;
    for (const QWidget* p = w; p; p = p->parentWidget())
        if (p->property(UnloadedProperty).toBool())
            return false;
    // A hosted window whose frame has been closed is gone from its document area at once,
    // although the frame itself is only deleted later.
    if (auto* frame = qobject_cast<QMdiSubWindow*>(w->parentWidget()))
        if (QMdiArea* area = frame->mdiArea())
            return area->subWindowList().contains(frame);
    return true;
}

QList<QWidget*> LoadedWindows() {
    QList<QWidget*> found;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->property(UnloadedProperty).toBool())
            continue;
        if (IsLoaded(top) && !found.contains(top))
            found.append(top);
        for (QWidget* child : top->findChildren<QWidget*>()) {
            if (IsLoaded(child) && !found.contains(child))
                found.append(child);
        }
    }
    return found;
}

} // namespace

// The deletion waits for the event loop because the call may come from one of the
// window's own handlers.
void Unload(QWidget* w) {
    QWidget* target = w;
    if (auto* frame = qobject_cast<QMdiSubWindow*>(w->parentWidget()))
        target = frame;
    QPointer<QWidget> guard = target;
    target->close();
    if (!guard)
        return;
    w->setProperty(UnloadedProperty, true);
    target->setProperty(UnloadedProperty, true);
    target->hide();
    target->deleteLater();
}

void UnloadOthers(const QWidget* keep) {
    QList<QPointer<QWidget>> others;
    for (QWidget* w : LoadedWindows())
        if (w != keep)
            others.append(w);
    for (const QPointer<QWidget>& w : others) {
        // A window may already have gone with one closed before it.
        if (w && IsLoaded(w))
            Unload(w);
    }
}

QWidget* Find(const QString& name) {
    for (QWidget* w : LoadedWindows())
        if (w->objectName() == name)
            return w;
    return nullptr;
}

bool CheckFormLoaded(const QString& name) {
    return Find(name) != nullptr;
}

int LoadedCount() {
    return int(LoadedWindows().size());
}

frmProfile* Profile() {
    return qobject_cast<frmProfile*>(Find(QStringLiteral("frmProfile")));
}

void UnloadAllForms() {
    QPointer<QWidget> main = Find(QStringLiteral("frmMain"));
    UnloadOthers(main);
    if (main && IsLoaded(main))
        Unload(main);
}

} // namespace Forms
