#include "platform/DataExchange.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <cfloat>
#include <cmath>

#include "platform/UiDialogs.h"

// ---------------------------------------------------------------------------
// Data exchange

CDataExchange::CDataExchange(ControlTable& controls, bool saveAndValidate, UiDialogs& ui)
    : m_bSaveAndValidate(saveAndValidate), m_controls(controls), m_ui(ui)
{
}

QWidget* CDataExchange::PrepareCtrl(int id)
{
    QWidget* w = m_controls.Item(id);
    if (w) m_last = w;
    return w;
}

void CDataExchange::Fail(const QString& message)
{
    if (m_failed) return;
    m_failed = true;
    m_ui.Message(message, MB_OK | MB_ICONEXCLAMATION);
    if (m_last) {
        m_last->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(m_last)) edit->selectAll();
    }
}

namespace {

QString ControlText(QWidget* w)
{
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    return w ? w->windowTitle() : QString();
}

void SetControlText(QWidget* w, const QString& text)
{
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        // Shown from its first character: a value longer than the field
        // is cut at its end, never at its start.
        e->setText(text);
        e->setCursorPosition(0);
    } else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(text);
}

QString FloatText(double v) { return QString::asprintf("%.*g", FLT_DIG, v); }

}  // namespace

void DDX_Check(CDataExchange* pDX, int id, int& value)
{
    if (pDX->Failed()) return;
    auto* box = qobject_cast<QCheckBox*>(pDX->PrepareCtrl(id));
    if (!box) return;
    if (pDX->m_bSaveAndValidate)
        value = box->checkState() == Qt::Checked ? 1 : box->checkState() == Qt::PartiallyChecked ? 2 : 0;
    else
        box->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

void DDX_CBIndex(CDataExchange* pDX, int id, int& index)
{
    if (pDX->Failed()) return;
    auto* combo = qobject_cast<QComboBox*>(pDX->PrepareCtrl(id));
    if (!combo) return;
    if (pDX->m_bSaveAndValidate)
        index = combo->currentIndex();
    else
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void DDX_Radio(CDataExchange* pDX, int firstId, int& index)
{
    if (pDX->Failed()) return;
    pDX->PrepareCtrl(firstId);
    const std::vector<QWidget*> group = pDX->RadioGroup(firstId);
    if (pDX->m_bSaveAndValidate) {
        index = -1;
        for (size_t i = 0; i < group.size(); ++i) {
            if (auto* b = qobject_cast<QAbstractButton*>(group[i]); b && b->isChecked()) index = static_cast<int>(i);
        }
        return;
    }
    for (size_t i = 0; i < group.size(); ++i) {
        if (auto* b = qobject_cast<QAbstractButton*>(group[i])) {
            // An exclusive group cannot uncheck its last button itself.
            QButtonGroup* g = b->group();
            const bool exclusive = g && g->exclusive();
            if (g) g->setExclusive(false);
            b->setChecked(static_cast<int>(i) == index);
            if (g) g->setExclusive(exclusive);
        }
    }
}

void DDX_Text(CDataExchange* pDX, int id, QString& value)
{
    if (pDX->Failed()) return;
    QWidget* w = pDX->PrepareCtrl(id);
    if (!w) return;
    if (pDX->m_bSaveAndValidate)
        value = ControlText(w);
    else
        SetControlText(w, value);
}

void DDX_Text(CDataExchange* pDX, int id, int& value)
{
    if (pDX->Failed()) return;
    QWidget* w = pDX->PrepareCtrl(id);
    if (!w) return;
    if (!pDX->m_bSaveAndValidate) {
        SetControlText(w, QString::number(value));
        return;
    }
    bool ok = false;
    const int parsed = ControlText(w).trimmed().toInt(&ok, 10);
    if (!ok) {
        pDX->Fail(QStringLiteral("Please enter an integer."));
        return;
    }
    value = parsed;
}

void DDX_Text(CDataExchange* pDX, int id, float& value)
{
    if (pDX->Failed()) return;
    QWidget* w = pDX->PrepareCtrl(id);
    if (!w) return;
    if (!pDX->m_bSaveAndValidate) {
        SetControlText(w, FloatText(value));
        return;
    }
    bool ok = false;
    const double parsed = ControlText(w).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(parsed) || std::fabs(parsed) > FLT_MAX) {
        pDX->Fail(QStringLiteral("Please enter a number."));
        return;
    }
    value = static_cast<float>(parsed);
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal)
{
    if (pDX->Failed() || !pDX->m_bSaveAndValidate) return;
    if (value < minVal || value > maxVal)
        pDX->Fail(QStringLiteral("Please enter an integer between %1 and %2.").arg(minVal).arg(maxVal));
}

void DDV_MinMaxFloat(CDataExchange* pDX, float value, float minVal, float maxVal)
{
    if (pDX->Failed() || !pDX->m_bSaveAndValidate) return;
    if (!(value >= minVal && value <= maxVal))
        pDX->Fail(QStringLiteral("Please enter a number between %1 and %2.").arg(FloatText(minVal), FloatText(maxVal)));
}

bool ShowsSameFloat(float a, float b) { return FloatText(a) == FloatText(b); }

// ---------------------------------------------------------------------------
// What dialogs and panels share

bool DialogData::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(m_controls, saveAndValidate, m_ui);
    DoDataExchange(&dx);
    return !dx.Failed();
}

bool DialogData::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void DialogData::CreateControls(QWidget* self, const DialogTemplate& tmpl, const ControlFactory& factory)
{
    m_controls.Create(self, tmpl.controls, factory);
}
