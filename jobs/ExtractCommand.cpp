#include "jobs/ExtractCommand.h"

#include <QDir>
#include <QFile>

#include "dialogs/ExtractDlg.h"
#include "jobs/ExtractJob.h"
#include "platform/MessageSink.h"

bool CExtractCommand::Run(EFrom from, const CContext& context, const std::function<CSelection()>& select,
                          CExtractResult* pResult, QString* pFolder) {
    if (!context.m_pPackFile || !context.m_pSink || !context.m_pCodec)
        return false;

    CExtractDlg dlg(context.m_strExtractDir, context.m_pWindow);
    if (dlg.DoModal() != QDialog::Accepted)
        return false;
    const QString strFolder = dlg.m_strFolder;
    const CSelection selection = select();

    const CFileDescriptor dirfd = CFolderWalk::OpenDestination(QFile::encodeName(strFolder).toStdString());
    if (!dirfd.IsOpen()) {
        CMessage message;
        message.m_strText = from == EFrom::Tree ? CFolderWalk::kChangeDir : CFolderWalk::kListMakeDir;
        message.m_strName = strFolder.toStdString();
        context.m_pSink->Report(message);
        return false;
    }

    CExtractJob job(*context.m_pPackFile, *context.m_pCodec, *context.m_pSink,
                    from == EFrom::Tree ? CFolderWalk::kTreeMakeDir : CFolderWalk::kListMakeDir,
                    context.m_pWindow);
    if (context.m_fnProgressHook)
        job.SetProgressHook(context.m_fnProgressHook);
    const CExtractResult result = job.Run(dirfd.Get(), selection);
    if (pResult)
        *pResult = result;
    if (pFolder)
        *pFolder = QDir(strFolder).absolutePath();
    return true;
}
