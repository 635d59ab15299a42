#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace vorpex {

// The bar above the file list in which the user types a name to find across the archive. It only edits:
// whoever shows the matches listens to its signals. Esc closes it. GUI thread only.
class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(QWidget* parent = nullptr);

    QLineEdit* edit() const { return m_edit; }
    QString text() const;
    // Shows the bar with its text selected and the caret in it.
    void open();
    // "12 found", or empty while nothing is asked.
    void setResultText(const QString& text);
    // Hides the bar and tells so (Closed).
    void close();

signals:
    void textChanged(const QString& text);
    // Enter in the bar: the user wants the first match.
    void accepted();
    // The down arrow: the user moves into the matches.
    void moveToResults();
    // Esc or the close button: the bar is hidden now.
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* m_edit;
    QLabel* m_result;
};

} // namespace vorpex
