#pragma once

#include "app/LinkStatic.h"

#include <QDialog>

class QPushButton;

namespace vorpex {

// The About box: the program's name and version, that it is freeware, the icons' credits and a link to the
// program's page on the maker's web site. The caller runs it modally and destroys it after; nothing is kept
// between two showings, so the link starts unvisited each time.
class AboutDlg : public QDialog {
    Q_OBJECT

public:
    // The address the box shows, and the one its link opens (the first up to and including its last slash).
    static constexpr const char* kPageAddress = "http://www.example.com/vorpex/index.html";
    static constexpr const char* kHomeAddress = "http://www.example.com/vorpex/";

    explicit AboutDlg(QWidget* parent = nullptr);

    // Where the link reports that it could not open its address; not owned. Null: a message box of its own.
    void setMessageSink(MessageSink* sink) { m_link.setMessageSink(sink); }

private:
    // Binds the link to its place in the box, points it at the home page and sets the focus on OK.
    void setupUi();

    LinkStatic m_link;           // a child of the box, placed like its other texts
    QPushButton* m_ok = nullptr; // owned by the box
};

} // namespace vorpex
