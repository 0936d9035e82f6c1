#include "platform/SpinButton.h"

#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

CSpinButtonCtrl::CSpinButtonCtrl(QWidget* parent) : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this))
{
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void CSpinButtonCtrl::SetRange(int lower, int upper)
{
    m_lower = lower;
    m_upper = upper;
}

int CSpinButtonCtrl::GetPos() const
{
    if (m_buddy) {
        bool ok = false;
        const int shown = m_buddy->text().trimmed().toInt(&ok);
        if (ok) return shown;
    }
    return m_pos;
}

void CSpinButtonCtrl::SetPos(int pos)
{
    m_pos = std::clamp(pos, std::min(m_lower, m_upper), std::max(m_lower, m_upper));
    if (m_buddy) m_buddy->setText(QString::number(m_pos));
}

void CSpinButtonCtrl::Step(int delta)
{
    const int from = GetPos();
    emit deltaPos(from, delta);
    SetPos(from + (m_upper >= m_lower ? delta : -delta));
}

void CSpinButtonCtrl::resizeEvent(QResizeEvent*)
{
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}
