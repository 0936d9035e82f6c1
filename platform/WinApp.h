// The application object's base: it owns the document templates, and
// through them knows every open document.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

#include "platform/DocTemplate.h"

class CDocument;

class CWinApp : public QObject {
    Q_OBJECT
public:
    CWinApp();
    ~CWinApp() override;

    void AddDocTemplate(std::unique_ptr<CDocTemplate> tmpl);
    // Every document of every template, in template order.
    std::vector<CDocument*> AllDocuments() const;
    // The open document of the file `path` names, however it is named (a
    // link, another spelling of the path); null when none.
    CDocument* FindOpenDocument(const QString& path) const;

private:
    std::vector<std::unique_ptr<CDocTemplate>> m_templates;
};
