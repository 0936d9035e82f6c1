#include "platform/Panel.h"

#include <QKeyEvent>

#include "platform/DialogUnits.h"

CPanel::CPanel(UiDialogs& ui, const DialogTemplate& tmpl, QWidget* parent)
    : QWidget(parent), DialogData(ui), m_template(tmpl)
{
    if (!tmpl.size.isEmpty()) resize(MapDialogSize(tmpl.size));
    setFont(DialogFont());
}

void CPanel::Create()
{
    if (m_created) return;
    m_created = true;
    CreateControls(this, m_template, [this](const ControlSpec& spec, QWidget* parent) { return CreateControl(spec, parent); });
    OnInitDialog();
}

QWidget* CPanel::CreateControl(const ControlSpec&, QWidget*) { return nullptr; }

void CPanel::OnKillFocus(int id, std::function<void()> handler)
{
    QWidget* control = GetDlgItem(id);
    if (!control) return;
    control->installEventFilter(this);
    m_killFocus.emplace_back(control, std::move(handler));
}

void CPanel::RunKillFocus(const std::function<void()>& handler)
{
    if (m_inKillFocus) return;
    m_inKillFocus = true;
    handler();
    m_inKillFocus = false;
}

bool CPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        for (const auto& [control, handler] : m_killFocus) {
            if (control == watched) RunKillFocus(handler);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CPanel::CommitFocusedField()
{
    for (const auto& [control, handler] : m_killFocus) {
        if (control->hasFocus()) RunKillFocus(handler);
    }
}

void CPanel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
