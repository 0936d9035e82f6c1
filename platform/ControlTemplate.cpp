#include "platform/ControlTemplate.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWheelEvent>

#include <algorithm>

#include "platform/DialogUnits.h"
#include "platform/SpinButton.h"

namespace {

// A template's check boxes and radio buttons answer a click anywhere in
// their rectangle, not only on the mark and the text: the layouts give a
// short label a wide rectangle, and a click beside the words must count.
class TemplateCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

class TemplateRadioButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// A closed drop-down list never takes the wheel, focused or not: a step
// meant to scroll the panel or dialog around it must not change what it
// chooses (a material, a relief, a blend mode), which would reset data.
// The step goes on to the parents (a scrolling panel scrolls).  An open
// list's pop-up is a window of its own and takes the wheel itself.
class TemplateComboBox : public QComboBox {
public:
    explicit TemplateComboBox(QWidget* parent) : QComboBox(parent) { setFocusPolicy(Qt::StrongFocus); }

protected:
    void wheelEvent(QWheelEvent* event) override { event->ignore(); }
};

QWidget* MakePlain(const ControlSpec& spec, QWidget* parent)
{
    const QString text = QString::fromUtf8(spec.text);
    switch (spec.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* b = new QPushButton(text, parent);
        b->setDefault(spec.kind == ControlKind::DefPushButton);
        b->setAutoDefault(false);
        return b;
    }
    case ControlKind::CheckBox: return new TemplateCheckBox(text, parent);
    case ControlKind::RadioButton: {
        auto* r = new TemplateRadioButton(text, parent);
        r->setAutoExclusive(false);  // the group below makes them exclusive
        return r;
    }
    case ControlKind::GroupBox: return new QGroupBox(text, parent);
    case ControlKind::Static: {
        auto* l = new QLabel(text, parent);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    }
    case ControlKind::Edit: {
        auto* e = new QLineEdit(text, parent);
        e->setReadOnly(spec.style & kReadOnly);
        return e;
    }
    case ControlKind::ComboBox: {
        auto* c = new TemplateComboBox(parent);
        c->setEditable(false);
        if (!(spec.style & kVScroll)) c->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        return c;
    }
    case ControlKind::ProgressBar: {
        auto* p = new QProgressBar(parent);
        p->setTextVisible(false);
        p->setRange(0, 100);
        p->setValue(0);
        return p;
    }
    case ControlKind::UpDown: return new CSpinButtonCtrl(parent);
    }
    return nullptr;
}

}  // namespace

void ControlTable::Create(QWidget* parent, std::span<const ControlSpec> controls, const ControlFactory& factory)
{
    QButtonGroup* radios = nullptr;
    for (const ControlSpec& spec : controls) {
        QWidget* w = factory ? factory(spec, parent) : nullptr;
        if (!w) w = MakePlain(spec, parent);
        if (!w) continue;
        w->setObjectName(QStringLiteral("control%1").arg(spec.id));

        QRect r = MapDialogRect(spec.dlu);
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            // The template gives the dropped height; the box keeps its own.
            const int boxHeight = combo->sizeHint().height();
            const int itemHeight = std::max(1, combo->fontMetrics().height() + 4);
            combo->setMaxVisibleItems(std::max(1, (r.height() - boxHeight) / itemHeight));
            r.setHeight(boxHeight);
        }
        w->setGeometry(r);

        const bool isRadio = spec.kind == ControlKind::RadioButton;
        if (isRadio) {
            if (!radios || (spec.style & kGroup)) {
                radios = new QButtonGroup(parent);
                radios->setExclusive(true);
            }
            if (auto* b = qobject_cast<QAbstractButton*>(w)) radios->addButton(b);
        } else {
            radios = nullptr;
        }
        if (spec.kind == ControlKind::UpDown && (spec.style & kAutoBuddy) && !m_entries.empty()) {
            if (auto* buddy = qobject_cast<QLineEdit*>(m_entries.back().widget))
                static_cast<CSpinButtonCtrl*>(w)->SetBuddy(buddy);
        }
        if (spec.style & kDisabled) w->setEnabled(false);
        w->setVisible(!(spec.style & kHidden));
        m_entries.push_back({spec.id, w, spec.kind, isRadio && ((spec.style & kGroup) || m_entries.empty() ||
                                                              m_entries.back().kind != ControlKind::RadioButton)});
    }
}

void ControlTable::Add(int id, QWidget* widget, ControlKind kind) { m_entries.push_back({id, widget, kind, false}); }

QWidget* ControlTable::Item(int id) const
{
    for (const Entry& e : m_entries) {
        if (e.id == id) return e.widget;
    }
    return nullptr;
}

std::vector<QWidget*> ControlTable::RadioGroup(int firstId) const
{
    std::vector<QWidget*> group;
    auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.id == firstId; });
    for (; it != m_entries.end() && it->kind == ControlKind::RadioButton; ++it) {
        if (!group.empty() && it->groupStart) break;
        group.push_back(it->widget);
    }
    return group;
}
