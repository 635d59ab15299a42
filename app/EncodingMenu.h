#pragma once

#include <QMenu>
#include <functional>

class QActionGroup;

// View, "Encoding": the code page the archive's names are read in, the common ones of game data first and
// "Other..." for any name iconv knows. The choice is stored ("Settings"/"Encoding") and announced; what
// to do with it is the owner's. GUI thread only.
class CEncodingMenu : public QMenu {
    Q_OBJECT
public:
    // `accepts` tells whether a name is an encoding the program can decode.
    CEncodingMenu(std::function<bool(const QString&)> accepts, QWidget* parent = nullptr);

    // The stored encoding, or "WINDOWS-1252" when none is.
    static QString Stored();
    // Checks the item of `encoding` ("Other..." for one not listed).
    void SetCurrent(const QString& encoding);
    // Asks for the name behind "Other..."; replaced by tests.
    std::function<QString(QWidget*, const QString&)> m_fnAskName;

signals:
    // The user chose `encoding`, which is stored already.
    void EncodingChosen(const QString& encoding);
    // The user gave "Other..." a name that is no encoding; nothing changed.
    void EncodingRefused(const QString& name);

private:
    void Choose(const QString& encoding);
    void OnOther();

    std::function<bool(const QString&)> m_fnAccepts;
    QActionGroup* m_pGroup;
    QAction* m_pOther;
    QString m_strCurrent;
};
