#include "platform/WinApp.h"

#include <filesystem>
#include <system_error>

#include "platform/Document.h"
#include "platform/FileName.h"

CWinApp::CWinApp() = default;

CWinApp::~CWinApp() = default;

void CWinApp::AddDocTemplate(std::unique_ptr<CDocTemplate> tmpl) { m_templates.push_back(std::move(tmpl)); }

std::vector<CDocument*> CWinApp::AllDocuments() const
{
    std::vector<CDocument*> docs;
    for (const auto& t : m_templates) {
        const std::vector<CDocument*> own = t->Documents();
        docs.insert(docs.end(), own.begin(), own.end());
    }
    return docs;
}

CDocument* CWinApp::FindOpenDocument(const QString& path) const
{
    // The same file is the same device and inode.
    const std::filesystem::path file = LocalFile(path);
    for (CDocument* doc : AllDocuments()) {
        if (doc->GetPathName().isEmpty()) continue;
        std::error_code error;
        if (std::filesystem::equivalent(file, LocalFile(doc->GetPathName()), error)) return doc;
    }
    return nullptr;
}
