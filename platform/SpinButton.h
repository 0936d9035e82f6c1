// An up-down control: two arrow buttons that step an integer position in a
// range, optionally writing it into a buddy edit.  Before each step it
// announces the position and the step (deltaPos), as the edit's owner
// reads the value the edit showed.
#pragma once

#include <QPointer>
#include <QWidget>

#include <QLineEdit>
class QToolButton;

class CSpinButtonCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CSpinButtonCtrl(QWidget* parent = nullptr);

    void SetRange(int lower, int upper);
    // The position: the buddy's number when it holds one, else the last set.
    int GetPos() const;
    void SetPos(int pos);
    void SetBuddy(QLineEdit* buddy) { m_buddy = buddy; }
    QLineEdit* GetBuddy() const { return m_buddy; }

    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

signals:
    // The position is about to change from `pos` by `delta`.
    void deltaPos(int pos, int delta);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Step(int delta);

    QToolButton* m_up;
    QToolButton* m_down;
    QPointer<QLineEdit> m_buddy;
    int m_lower = 0;
    int m_upper = 100;
    int m_pos = 0;
};
