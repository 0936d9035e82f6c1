#include "platform/CommandLineInfo.h"

void CCommandLineInfo::ParseParam(const QString& param, bool isFlag, bool isLast)
{
    (void)isLast;
    if (isFlag) {
        if (param.compare("pt", Qt::CaseInsensitive) == 0) {
            m_nShellCommand = FilePrintTo;
            m_pendingPrintTo = 0;
            m_bShowSplash = false;
        } else if (param.compare("p", Qt::CaseInsensitive) == 0) {
            m_nShellCommand = FilePrint;
            m_bShowSplash = false;
        } else if (param.compare("dde", Qt::CaseInsensitive) == 0) {
            m_nShellCommand = FileDDE;
            m_bShowSplash = false;
        } else if (param.compare("Automation", Qt::CaseInsensitive) == 0 ||
                   param.compare("Embedding", Qt::CaseInsensitive) == 0) {
            m_bShowSplash = false;
        }
        return;
    }
    if (m_strFileName.isEmpty()) {
        m_strFileName = param;
        m_fileNames << param;
        if (m_nShellCommand == FileNew) m_nShellCommand = FileOpen;
        return;
    }
    if (m_nShellCommand == FileOpen) {
        m_fileNames << param;
        return;
    }
    if (m_nShellCommand == FilePrintTo) {
        switch (m_pendingPrintTo++) {
        case 0: m_strPrinterName = param; break;
        case 1: m_strDriverName = param; break;
        case 2: m_strPortName = param; break;
        default: break;
        }
    }
}

CCommandLineInfo CCommandLineInfo::Parse(const QStringList& arguments)
{
    CCommandLineInfo info;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        // Only the known option words are options: an absolute path on this
        // machine starts with "/" too.
        bool letters = false;
        if (a.size() > 1 && (a.startsWith('/') || a.startsWith('-'))) {
            const QString word = a.mid(1);
            for (const char* known : {"p", "pt", "dde", "Automation", "Embedding"})
                letters = letters || word.compare(QLatin1String(known), Qt::CaseInsensitive) == 0;
        }
        if (letters)
            info.ParseParam(a.mid(1), true, i + 1 == arguments.size());
        else
            info.ParseParam(a, false, i + 1 == arguments.size());
    }
    return info;
}
