#pragma once

#include <QMenu>
#include <functional>

class QActionGroup;

namespace vorpex {

// View, "Encoding": the code page the archive's names are read in, the common ones of game data first and
// "Other..." for any name iconv knows. The choice is stored ("Settings"/"Encoding") and announced; what
// to do with it is the owner's. GUI thread only.
class EncodingMenu : public QMenu {
    Q_OBJECT
public:
    // `accepts` tells whether a name is an encoding the program can decode.
    EncodingMenu(std::function<bool(const QString&)> accepts, QWidget* parent = nullptr);

    // The stored encoding, or "WINDOWS-1252" when none is.
    static QString stored();
    // Checks the item of `encoding` ("Other..." for one not listed).
    void setCurrent(const QString& encoding);
    // Asks for the name behind "Other..."; replaced by tests.
    std::function<QString(QWidget*, const QString&)> m_askName;

signals:
    // The user chose `encoding`, which is stored already.
    void encodingChosen(const QString& encoding);
    // The user gave "Other..." a name that is no encoding; nothing changed.
    void encodingRefused(const QString& name);

private:
    void choose(const QString& encoding);
    void onOther();

    std::function<bool(const QString&)> m_accepts;
    QActionGroup* m_group;
    QAction* m_other;
    QString m_current;
};

} // namespace vorpex
