#pragma once

#include <QString>
#include <QWidget>

class QTextEdit;

// A profile's run log as the person reads it: the coloured RTF the run writes, shown
// read-only in a fixed-pitch face.
class RunLogPane final : public QWidget {
    Q_OBJECT

public:
    explicit RunLogPane(QWidget* parent = nullptr);

    // Shows the run log of the named profile; empty when it has none.
    void LoadRunLog(const QString& profileName);
    void Clear();
    QTextEdit* TextBox() const { return m_rtbRunLog; }

private:
    QTextEdit* m_rtbRunLog = nullptr;
};
