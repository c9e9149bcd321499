#include "frmMain.h"
#include "frmMainParts.h"

#include "Forms.h"
#include "frmProfile.h"

#include "app/AppError.h"
#include "app/MessageService.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>

#include <algorithm>

using namespace main_window;

// The windows the main window opens live in its document area; these place, raise and
// track them.

QMdiSubWindow* frmMain::Host(QWidget* child, bool show) {
    QMdiSubWindow* sub = m_mdiArea->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setObjectName(QStringLiteral("sub") + child->objectName());
    sub->setWindowIcon(windowIcon());
    child->installEventFilter(this);
    Track(child);
    if (show)
        ShowInside(sub);
    return sub;
}

void frmMain::BringIntoView(QWidget* focused) {
    // A window larger than the document area (a small screen, a large scale) keeps its
    // lower controls reachable: the one Tab lands on scrolls into view.
    QWidget* view = m_mdiArea->viewport();
    if (!focused || !view->isAncestorOf(focused))
        return;
    const QRect area = view->rect().adjusted(4, 4, -4, -4);
    const QRect at(focused->mapTo(view, QPoint()), focused->size());
    const auto shift = [](int low, int high, int areaLow, int areaHigh) {
        if (high > areaHigh)
            return std::min(high - areaHigh, low - areaLow);
        return low < areaLow ? low - areaLow : 0;
    };
    if (const int dy = shift(at.top(), at.bottom(), area.top(), area.bottom()))
        m_mdiArea->verticalScrollBar()->setValue(m_mdiArea->verticalScrollBar()->value() + dy);
    if (const int dx = shift(at.left(), at.right(), area.left(), area.right()))
        m_mdiArea->horizontalScrollBar()->setValue(m_mdiArea->horizontalScrollBar()->value() + dx);
}

void frmMain::ShowInside(QMdiSubWindow* sub) {
    ShowManagerPane(false);
    sub->show();
    // Showing polishes the window; its layouts know the size it needs only once they ran.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QSize room = m_mdiArea->viewport()->size();
    QRect frame = sub->geometry();
    if (room.isValid() && !room.isEmpty()) {
        frame.setSize(frame.size().boundedTo(room).expandedTo(sub->minimumSizeHint()));
        frame.moveTo(std::clamp(frame.left(), 0, std::max(0, room.width() - frame.width())),
                     std::clamp(frame.top(), 0, std::max(0, room.height() - frame.height())));
        sub->setGeometry(frame);
    }
    m_mdiArea->setActiveSubWindow(sub);
}

QSize frmMain::DocumentRoom() const {
    if (m_mdiArea->isVisible())
        return m_mdiArea->viewport()->size();
    const int frame = 2 * m_mdiArea->frameWidth();
    return centralWidget()->size() - QSize(frame, frame);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_mdiArea->viewport() && event->type() == QEvent::Resize && m_resizable) {
        if (frmProfile* profile = Forms::Profile())
            if (auto* sub = qobject_cast<QMdiSubWindow*>(profile->parentWidget()))
                sub->setGeometry(m_mdiArea->viewport()->rect());
    }
    // A hosted window that is shown while its frame is hidden (the profile window loaded
    // hidden for a run) takes its frame along, in front of the profile manager.
    if (event->type() == QEvent::ShowToParent) {
        auto* child = qobject_cast<QWidget*>(watched);
        auto* sub = child ? qobject_cast<QMdiSubWindow*>(child->parentWidget()) : nullptr;
        if (sub && !sub->isVisible())
            ShowInside(sub);
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::BringToFront(QWidget* window) {
    if (!window)
        return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget())) {
        ShowInside(sub);
    } else {
        window->show();
        window->raise();
        window->activateWindow();
    }
}

int frmMain::OpenProfile(const QString& strProfileName, ProfileMode mode) {
    return OpenProfile(strProfileName, mode, true);
}

int frmMain::OpenProfile(const QString& strProfileName, ProfileMode mode, bool show) {
    int result = 0;
    MainTrap("OpenProfile", QString(), [&] {
        if (frmProfile* open = Forms::Profile()) {
            QString name = open->ProfileNameText();
            if (name.isEmpty())
                name = QStringLiteral("<new profile>");
            if (mode == ProfileMode::Add)
                Messages().Inform(
                    QStringLiteral(" Profile name : ") + name +
                    QStringLiteral(
                        " is already open. Please close it before opening another profile."));
            BringToFront(open);
            result = 0;
            return;
        }
        auto* profile = new frmProfile(*this);
        profile->SetAction(mode);
        if (profile->Init(strProfileName) != Success) {
            delete profile;
            result = Failed;
            return;
        }
        QMdiSubWindow* sub = Host(profile, false);
        // Over the profile list's extent, but never below what its contents need: with a
        // theme's larger fonts that would cut controls off, where a window larger than the
        // area can still be scrolled.
        sub->move(0, 0);
        sub->resize(DocumentRoom().expandedTo(sub->minimumSizeHint()));
        QCoreApplication::processEvents();
        if (show)
            ShowInside(sub);
        result = Success;
    });
    return result;
}
