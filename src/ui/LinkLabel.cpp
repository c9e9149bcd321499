#include "LinkLabel.h"

#include "DesktopOpen.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>

namespace {

class LinkAccessible final : public QAccessibleWidget {
public:
    explicit LinkAccessible(LinkLabel* link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override {
        auto* link = static_cast<LinkLabel*>(widget());
        if (t == QAccessible::Name)
            return link->accessibleName();
        if (t == QAccessible::Value)
            return link->Url().toString();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == pressAction())
            static_cast<LinkLabel*>(widget())->Follow();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* LinkFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(LinkLabel::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new LinkAccessible(static_cast<LinkLabel*>(object));
    return nullptr;
}

} // namespace

LinkLabel::LinkLabel(const QString& shown, const QUrl& url, QWidget* parent)
    : QLabel(parent), m_url(url) {
    static const bool installed = (QAccessible::installFactory(LinkFactory), true);
    Q_UNUSED(installed);
    setText(QStringLiteral("<a href=\"%1\">%2</a>")
                .arg(url.toString().toHtmlEscaped(), shown.toHtmlEscaped()));
    setAccessibleName(shown);
    setToolTip(url.toString());
    setCursor(Qt::PointingHandCursor);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
    // The desktop opens it; whether it could is of no consequence here.
    setOpenExternalLinks(false);
    connect(this, &QLabel::linkActivated, this, &LinkLabel::Follow);
}

void LinkLabel::Follow() {
    DesktopOpen::OpenUrl(m_url);
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Follow();
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}
