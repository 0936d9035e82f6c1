// CPanel is the base of the docked panels: a plain widget made from a
// dialog template, with data exchange between its controls and its
// members (platform/DataExchange.h), placed inside its bar, where Enter
// and Escape do nothing.
#pragma once

#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

#include "platform/ControlTemplate.h"
#include "platform/DataExchange.h"

class UiDialogs;

class CPanel : public QWidget, public DialogData {
    Q_OBJECT
public:
    CPanel(UiDialogs& ui, const DialogTemplate& tmpl, QWidget* parent = nullptr);

    // Makes the controls and initialises the panel; the derived class's
    // constructor calls it last.
    void Create();

    // The control that has the focus is left now, as far as its handler
    // is concerned, so that a command that follows (from a shortcut, which
    // leaves the focus where it is) sees the value typed into it.
    void CommitFocusedField();

protected:
    virtual QWidget* CreateControl(const ControlSpec& spec, QWidget* parent);
    // Enter and Escape never close or hide a panel.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // `handler` runs whenever control `id` loses the keyboard focus, for
    // any reason: another control, a menu, another window or a dialog.  It
    // does not run again while it runs (its own message takes the focus).
    // A handler takes the field's value only when it differs from the one
    // the field was given: leaving a field unchanged changes nothing.
    void OnKillFocus(int id, std::function<void()> handler);

private:
    void RunKillFocus(const std::function<void()>& handler);

    DialogTemplate m_template;
    bool m_created = false;
    std::vector<std::pair<QWidget*, std::function<void()>>> m_killFocus;
    bool m_inKillFocus = false;
};
