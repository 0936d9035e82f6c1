#include "platform/Dialog.h"

#include <QAbstractButton>

#include "platform/DialogUnits.h"
#include "platform/UiDialogs.h"

CDialog::CDialog(UiDialogs& ui, const DialogTemplate& tmpl, QWidget* parent)
    : QDialog(parent), DialogData(ui), m_template(tmpl)
{
    setWindowTitle(tmpl.caption);
    if (!tmpl.size.isEmpty()) setFixedSize(MapDialogSize(tmpl.size));
    setFont(DialogFont());
}

void CDialog::Create()
{
    if (m_created) return;
    m_created = true;
    CreateControls(this, m_template, [this](const ControlSpec& spec, QWidget* parent) { return CreateControl(spec, parent); });
    if (auto* ok = GetDlgItem<QAbstractButton>(IDOK)) connect(ok, &QAbstractButton::clicked, this, [this] { OnOK(); });
    if (auto* cancel = GetDlgItem<QAbstractButton>(IDCANCEL))
        connect(cancel, &QAbstractButton::clicked, this, [this] { OnCancel(); });
    OnInitDialog();
}

QWidget* CDialog::CreateControl(const ControlSpec&, QWidget*) { return nullptr; }

int CDialog::DoModal()
{
    m_ended = false;
    m_result = 0;
    Create();
    if (!m_ended) Ui().RunModal(*this);
    return m_ended ? m_result : IDCANCEL;
}

void CDialog::EndDialog(int result)
{
    m_ended = true;
    m_result = result;
    QDialog::done(result);
}

void CDialog::OnOK()
{
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }
