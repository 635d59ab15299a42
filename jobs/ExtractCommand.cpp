#include "jobs/ExtractCommand.h"

#include <QDir>
#include <QFile>

#include "dialogs/ExtractDlg.h"
#include "jobs/ExtractJob.h"
#include "platform/MessageSink.h"

namespace vorpex {

bool ExtractCommand::run(From from, const Context& context, const std::function<Selection()>& select,
                         ExtractResult* pResult, QString* pFolder) {
    if (!context.m_packFile || !context.m_sink || !context.m_codec)
        return false;

    ExtractDlg dlg(context.m_extractDir, context.m_window);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    const QString strFolder = dlg.m_folder;
    const Selection selection = select();

    const FileDescriptor dirfd = FolderWalk::openDestination(QFile::encodeName(strFolder).toStdString());
    if (!dirfd.isOpen()) {
        Message message;
        message.m_text = from == From::Tree ? FolderWalk::kChangeDir : FolderWalk::kListMakeDir;
        message.m_name = strFolder.toStdString();
        context.m_sink->report(message);
        return false;
    }

    ExtractJob job(*context.m_packFile, *context.m_codec, *context.m_sink,
                   from == From::Tree ? FolderWalk::kTreeMakeDir : FolderWalk::kListMakeDir,
                   context.m_window);
    if (context.m_progressHook)
        job.setProgressHook(context.m_progressHook);
    const ExtractResult result = job.run(dirfd.get(), selection);
    if (pResult)
        *pResult = result;
    if (pFolder)
        *pFolder = QDir(strFolder).absolutePath();
    return true;
}

} // namespace vorpex
