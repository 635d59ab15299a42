#pragma once
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/MainFrame.h"
#include "app/VorpexApp.h"
#include "app/VorpexDoc.h"
#include "tests/support/ArchiveBuilder.h"
#include "views/DirView.h"
#include "views/FilesView.h"

// Empty settings in a temporary folder, so that no test reads or writes the user's.
inline void UseEmptySettings() {
    static QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings(CVorpexApp::kCompany, CVorpexApp::kAppName).clear();
}

inline QString WriteArchive(const QTemporaryDir& dir, const QString& name, const std::vector<CNode>& top) {
    WriteFileBytes(dir.filePath(name).toStdString(), BuildArchive(top));
    return dir.filePath(name);
}

// An application started the way the program starts, with its messages recorded instead of shown.
struct CTestApp {
    CRecordingSink m_Messages;
    std::unique_ptr<CVorpexApp> m_pApp;

    bool Start(const QStringList& args = {}) {
        m_pApp = std::make_unique<CVorpexApp>();
        m_pApp->SetMessageSink(&m_Messages);
        return m_pApp->InitInstance(args);
    }
    CMainFrame* Frame() const { return m_pApp->GetMainWnd(); }
    CDirView* Tree() const { return Frame()->GetDirView(); }
    CFilesView* List() const { return Frame()->GetFilesView(); }
};

// The rows under `parent`, each as the texts of its columns joined by "|".
inline QStringList Rows(const QAbstractItemModel* model, const QModelIndex& parent = {}) {
    QStringList rows;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        QStringList texts;
        for (int column = 0; column < model->columnCount(parent); ++column)
            texts << model->index(row, column, parent).data().toString();
        rows << texts.join(QLatin1Char('|'));
    }
    return rows;
}
