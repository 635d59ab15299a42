#include "tests/gui/GuiTestSupport.h"

#include <QAbstractItemModel>
#include <QSettings>

#include "app/MainFrame.h"
#include "views/DirView.h"
#include "views/FilesView.h"

void UseTemporarySettings() {
    static QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
}

void ClearSettings() {
    QSettings settings(QString::fromLatin1(CVorpexApp::kCompany), QString::fromLatin1(CVorpexApp::kAppName));
    settings.clear();
    settings.sync();
}

QString WriteArchive(const QTemporaryDir& dir, const QString& name, const std::vector<CNode>& top) {
    const QString path = dir.filePath(name);
    WriteFileBytes(path.toStdString(), BuildArchive(top));
    return path;
}

bool CTestApp::Start(const QStringList& args) {
    m_pApp = std::make_unique<CVorpexApp>();
    m_pApp->SetMessageSink(&m_Messages);
    return m_pApp->InitInstance(args);
}

CMainFrame* CTestApp::Frame() const {
    return m_pApp->GetMainWnd();
}
CDirView* CTestApp::Tree() const {
    return Frame()->GetDirView();
}
CFilesView* CTestApp::List() const {
    return Frame()->GetFilesView();
}

QStringList ListRow(const CFilesView* list, int row) {
    const QAbstractItemModel* model = list->model();
    QStringList texts;
    for (int column = 0; column < 3; ++column)
        texts << model->index(row, column).data().toString();
    return texts;
}

QStringList ListRows(const CFilesView* list) {
    QStringList rows;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        rows << ListRow(list, row).join(QLatin1Char('|'));
    return rows;
}

QStringList ChildLabels(const QAbstractItemModel* model, const QModelIndex& parent) {
    QStringList labels;
    for (int row = 0; row < model->rowCount(parent); ++row)
        labels << model->index(row, 0, parent).data().toString();
    return labels;
}

QModelIndex ChildNamed(const QAbstractItemModel* model, const QModelIndex& parent, const QString& label) {
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex child = model->index(row, 0, parent);
        if (child.data().toString() == label)
            return child;
    }
    return {};
}
