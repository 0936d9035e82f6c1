// Dialog templates: the controls of a dialog or panel as a table of
// {id, kind, rectangle in dialog units, style, text}, made into plain Qt
// widgets at their absolute positions (no layouts: the positions are part
// of the design).
//
//   const ControlSpec kControls[] = {
//       {1040, ControlKind::CheckBox, {120, 297, 8, 8}},
//       {564, ControlKind::ComboBox, {40, 74, 106, 240}, kVScroll},
//       {1, ControlKind::DefPushButton, {4, 92, 32, 14}, 0, "OK"},
//   };
//
// The tables can be constexpr.  Kinds and what they make:
//   PushButton, DefPushButton  QPushButton (the second is the default button)
//   CheckBox                   QCheckBox
//   RadioButton                QRadioButton; a run of radio buttons is one
//                              exclusive group, kGroup starts a new one
//   GroupBox                   QGroupBox (a frame with a title, no children)
//   Static                     QLabel
//   Edit                       QLineEdit (kReadOnly)
//   ComboBox                   QComboBox, a drop-down list: it keeps the
//                              height of its size hint; the template's
//                              height is the height of the dropped list;
//                              the wheel never changes it while it is
//                              closed (the step goes to its parents)
//   ProgressBar                QProgressBar, range 0..100, no text
//   UpDown                     CSpinButtonCtrl; with kAutoBuddy its buddy
//                              is the edit made just before it
// A factory may make a control itself (a texture-faced button for an
// owner-drawn button); the template still places it.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>
#include <span>
#include <utility>
#include <vector>

class QButtonGroup;

enum class ControlKind { PushButton, DefPushButton, CheckBox, RadioButton, GroupBox, Static, Edit, ComboBox, ProgressBar, UpDown };

enum ControlStyle : unsigned {
    kGroup = 0x1,       // starts a new radio group
    kReadOnly = 0x2,    // an edit the user cannot change
    kVScroll = 0x4,     // a list with a vertical scroll bar
    kHidden = 0x8,      // made invisible
    kDisabled = 0x10,   // made disabled
    kOwnerDraw = 0x20,  // a button the program draws (the factory makes it)
    kAutoBuddy = 0x40,  // an up-down bound to the edit before it
};

struct ControlSpec {
    int id = 0;
    ControlKind kind = ControlKind::Static;
    QRect dlu;           // left, top, width, height in dialog units
    unsigned style = 0;  // ControlStyle flags
    const char* text = "";  // UTF-8
};

struct DialogTemplate {
    QString caption;
    QSize size;  // dialog units
    std::span<const ControlSpec> controls;
};

// Makes the control of a spec (or returns null to let the template make
// its plain widget).
using ControlFactory = std::function<QWidget*(const ControlSpec& spec, QWidget* parent)>;

// The controls of one dialog or panel, by id, in template order.
class ControlTable {
public:
    // Makes every control of `controls` as a child of `parent`.
    void Create(QWidget* parent, std::span<const ControlSpec> controls, const ControlFactory& factory = {});
    // Adds a control made elsewhere.
    void Add(int id, QWidget* widget, ControlKind kind);

    QWidget* Item(int id) const;
    template <class T>
    T* Item(int id) const
    {
        return qobject_cast<T*>(Item(id));
    }
    // The radio buttons of the group that starts at `firstId`, in order.
    std::vector<QWidget*> RadioGroup(int firstId) const;

private:
    struct Entry {
        int id;
        QWidget* widget;
        ControlKind kind;
        bool groupStart;
    };
    std::vector<Entry> m_entries;
};
