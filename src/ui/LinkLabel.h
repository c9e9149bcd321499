#pragma once

#include <QLabel>
#include <QUrl>

// A label that is one link: the desktop opens its address when it is clicked, or when Enter
// is pressed on it. Screen readers see it as a link they can follow, not as text.
class LinkLabel final : public QLabel {
    Q_OBJECT

public:
    LinkLabel(const QString& shown, const QUrl& url, QWidget* parent = nullptr);

    QUrl Url() const { return m_url; }
    // Follows the link, as a click does.
    void Follow();

protected:
    // Enter follows the link however the focus came here; the label alone follows it only
    // when Tab brought the focus.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QUrl m_url;
};
