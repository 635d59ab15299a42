#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

// The bar above the file list in which the user types a name to find across the archive. It only edits:
// whoever shows the matches listens to its signals. Esc closes it. GUI thread only.
class CFindBar : public QWidget {
    Q_OBJECT
public:
    explicit CFindBar(QWidget* parent = nullptr);

    QLineEdit* Edit() const { return m_pEdit; }
    QString Text() const;
    // Shows the bar with its text selected and the caret in it.
    void Open();
    // "12 found", or empty while nothing is asked.
    void SetResultText(const QString& text);
    // Hides the bar and tells so (Closed).
    void Close();

signals:
    void TextChanged(const QString& text);
    // Enter in the bar: the user wants the first match.
    void Accepted();
    // The down arrow: the user moves into the matches.
    void MoveToResults();
    // Esc or the close button: the bar is hidden now.
    void Closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* m_pEdit;
    QLabel* m_pResult;
};
