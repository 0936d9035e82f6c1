// Dialog templates, data exchange and the dialog and panel bases.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include "platform/DataExchange.h"
#include "platform/Dialog.h"
#include "platform/DialogUnits.h"
#include "platform/Panel.h"
#include "platform/SpinButton.h"
#include "platform/StringTable.h"
#include "platform/UiDialogs.h"
#include "support/QtTestApp.h"
#include "support/ScriptedDialogs.h"

using morvane::test::DrainEvents;
using morvane::test::EnsureQtApp;

namespace {

constexpr ControlSpec kControls[] = {
    {1, ControlKind::DefPushButton, {4, 92, 32, 14}, 0, "OK"},
    {2, ControlKind::PushButton, {37, 92, 32, 14}, 0, "Cancel"},
    {209, ControlKind::Edit, {50, 10, 40, 12}},
    {210, ControlKind::Edit, {50, 26, 40, 12}},
    {1040, ControlKind::CheckBox, {120, 30, 8, 8}},
    {566, ControlKind::ComboBox, {85, 57, 60, 128}, kVScroll},
    {1043, ControlKind::RadioButton, {8, 17, 29, 10}, kGroup, "PAL"},
    {1044, ControlKind::RadioButton, {8, 28, 35, 10}, 0, "NTSC"},
    {1070, ControlKind::RadioButton, {8, 50, 35, 10}, kGroup, "Left"},
    {1071, ControlKind::RadioButton, {8, 61, 35, 10}, 0, "Right"},
    {1038, ControlKind::Edit, {150, 0, 34, 12}},
    {1036, ControlKind::UpDown, {171, 0, 11, 12}, kAutoBuddy},
};

class SizeDlg : public CDialog {
public:
    explicit SizeDlg(UiDialogs& ui, QWidget* parent = nullptr)
        : CDialog(ui, {"Free Format", QSize(190, 110), kControls}, parent)
    {
    }
    int width = 640;
    float seconds = 2.5f;
    int check = 1;
    int blend = 2;
    int video = -1;
    int align = 1;
    int initialised = 0;

protected:
    bool OnInitDialog() override
    {
        ++initialised;
        auto* blendList = GetDlgItem<QComboBox>(566);
        for (const char* s : {"Transparency", "Additive", "Substractive"}) blendList->addItem(s);
        return CDialog::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Text(pDX, 209, width);
        DDV_MinMaxInt(pDX, width, 1, 65500);
        DDX_Text(pDX, 210, seconds);
        DDV_MinMaxFloat(pDX, seconds, 0.0f, 1000.0f);
        DDX_Check(pDX, 1040, check);
        DDX_CBIndex(pDX, 566, blend);
        DDX_Radio(pDX, 1043, video);
        DDX_Radio(pDX, 1070, align);
    }
};

}  // namespace

TEST(ControlTemplate, ControlsSitAtTheirDialogUnitRectangles)
{
    EnsureQtApp();
    SetDialogBaseUnits({6, 13});
    ScriptedDialogs ui;
    SizeDlg dlg(ui);
    dlg.Create();
    EXPECT_EQ(dlg.size(), QSize(285, 179));
    EXPECT_EQ(dlg.windowTitle(), "Free Format");
    EXPECT_EQ(dlg.GetDlgItem(1040)->geometry(), MapDialogRect(QRect(120, 30, 8, 8)));
    EXPECT_EQ(dlg.GetDlgItem(1040)->objectName(), "control1040");
    EXPECT_TRUE(dlg.GetDlgItem<QPushButton>(1)->isDefault());
    // A drop-down list keeps its own height; the template's is the list's.
    auto* list = dlg.GetDlgItem<QComboBox>(566);
    EXPECT_EQ(list->geometry().topLeft(), MapDialogRect(QRect(85, 57, 60, 128)).topLeft());
    EXPECT_EQ(list->height(), list->sizeHint().height());
    EXPECT_GE(list->maxVisibleItems(), 5);
    EXPECT_EQ(dlg.GetDlgItem(9999), nullptr);
    // Two radio groups, each exclusive on its own.
    auto* pal = dlg.GetDlgItem<QRadioButton>(1043);
    auto* left = dlg.GetDlgItem<QRadioButton>(1070);
    ASSERT_TRUE(pal->group() && left->group());
    EXPECT_NE(pal->group(), left->group());
    EXPECT_EQ(pal->group()->buttons().size(), 2);
    // A click beside a short label, still inside the rectangle, counts.
    auto* ntsc = dlg.GetDlgItem<QRadioButton>(1044);
    QTest::mouseClick(ntsc, Qt::LeftButton, {}, QPoint(ntsc->width() - 2, ntsc->height() / 2));
    EXPECT_TRUE(ntsc->isChecked());
    // The templates' font is no wider than the one they were laid out for:
    // six pixels a letter on average.
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    EXPECT_LE(QFontMetrics(dlg.font()).horizontalAdvance(letters), 6 * 52);
    SetDialogBaseUnits({0, 0});
}

TEST(DataExchange, ShowsMembersAndReadsThemBack)
{
    EnsureQtApp();
    ScriptedDialogs ui;
    SizeDlg dlg(ui);
    dlg.Create();
    EXPECT_EQ(dlg.initialised, 1);
    dlg.Create();  // once only
    EXPECT_EQ(dlg.initialised, 1);
    // OnInitDialog showed the members.
    EXPECT_EQ(dlg.GetDlgItem<QLineEdit>(209)->text(), "640");
    EXPECT_EQ(dlg.GetDlgItem<QLineEdit>(210)->text(), "2.5");
    EXPECT_TRUE(dlg.GetDlgItem<QCheckBox>(1040)->isChecked());
    EXPECT_EQ(dlg.GetDlgItem<QComboBox>(566)->currentIndex(), 2);
    EXPECT_FALSE(dlg.GetDlgItem<QRadioButton>(1043)->isChecked());
    EXPECT_TRUE(dlg.GetDlgItem<QRadioButton>(1071)->isChecked());

    dlg.GetDlgItem<QLineEdit>(209)->setText(" 1024 ");
    dlg.GetDlgItem<QLineEdit>(210)->setText("0.04");
    QTest::mouseClick(dlg.GetDlgItem(1040), Qt::LeftButton);
    dlg.GetDlgItem<QComboBox>(566)->setCurrentIndex(0);
    dlg.GetDlgItem<QRadioButton>(1044)->setChecked(true);
    dlg.GetDlgItem<QRadioButton>(1070)->setChecked(true);
    EXPECT_TRUE(dlg.UpdateData(true));
    EXPECT_EQ(dlg.width, 1024);
    EXPECT_FLOAT_EQ(dlg.seconds, 0.04f);
    EXPECT_EQ(dlg.check, 0);
    EXPECT_EQ(dlg.blend, 0);
    EXPECT_EQ(dlg.video, 1);
    EXPECT_EQ(dlg.align, 0);
    EXPECT_FALSE(dlg.GetDlgItem<QRadioButton>(1071)->isChecked());
}

TEST(DataExchange, RefusesWithTheStandardMessagesAndKeepsTheDialogOpen)
{
    EnsureQtApp();
    ScriptedDialogs ui;
    struct Case {
        const char* width;
        const char* seconds;
        const char* message;
    } cases[] = {
        {"0", "1", "Please enter an integer between 1 and 65500."},
        {"65501", "1", "Please enter an integer between 1 and 65500."},
        {"12x", "1", "Please enter an integer."},
        {"", "1", "Please enter an integer."},
        {"10", "abc", "Please enter a number."},
        {"10", "1e39", "Please enter a number."},
        {"10", "1000.5", "Please enter a number between 0 and 1000."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        ui.messages.clear();
        SizeDlg dlg(ui);
        ui.modal.push_back([&](CDialog& d) {
            d.GetDlgItem<QLineEdit>(209)->setText(c.width);
            d.GetDlgItem<QLineEdit>(210)->setText(c.seconds);
            QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
            EXPECT_FALSE(d.HasEnded());  // stays open on a refused value
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        ASSERT_EQ(ui.messages.size(), 1u);  // one message, for the first refusal
        EXPECT_EQ(ui.messages[0].text, c.message);
        EXPECT_EQ(ui.messages[0].style, unsigned(MB_OK | MB_ICONEXCLAMATION));
    }
    // The edge values are taken.
    SizeDlg dlg(ui);
    ui.modal.push_back([](CDialog& d) {
        d.GetDlgItem<QLineEdit>(209)->setText("65500");
        d.GetDlgItem<QLineEdit>(210)->setText("1000");
        QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.width, 65500);
    EXPECT_FLOAT_EQ(dlg.seconds, 1000.0f);
    EXPECT_EQ(ui.modalCaptions.back(), "Free Format");
}

TEST(DataExchange, EscapeCancelsADialogAndNeverClosesAPanel)
{
    EnsureQtApp();
    ScriptedDialogs ui;
    SizeDlg dlg(ui);
    ui.modal.push_back([](CDialog& d) {
        d.GetDlgItem<QLineEdit>(209)->setText("77");
        QTest::keyClick(d.GetDlgItem(209), Qt::Key_Escape);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.width, 640);

    QWidget bar;
    CPanel panel(ui, {QString(), QSize(100, 60), kControls}, &bar);
    panel.Create();
    bar.show();
    QTest::keyClick(panel.GetDlgItem(209), Qt::Key_Return);
    QTest::keyClick(panel.GetDlgItem(209), Qt::Key_Escape);
    QTest::keyClick(&panel, Qt::Key_Escape);
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.size(), MapDialogSize(QSize(100, 60)));
}

TEST(SpinButton, AnnouncesTheStepThenWritesItsBuddy)
{
    EnsureQtApp();
    ScriptedDialogs ui;
    SizeDlg dlg(ui);
    dlg.Create();
    dlg.show();
    auto* spin = dlg.GetDlgItem<CSpinButtonCtrl>(1036);
    ASSERT_NE(spin, nullptr);
    auto* edit = dlg.GetDlgItem<QLineEdit>(1038);
    EXPECT_EQ(spin->GetBuddy(), edit);
    spin->SetRange(0, 1000);
    std::vector<std::pair<int, int>> deltas;
    QObject::connect(spin, &CSpinButtonCtrl::deltaPos, [&](int pos, int delta) {
        deltas.emplace_back(pos, delta);
        EXPECT_EQ(edit->text(), QString::number(pos));  // not changed yet
    });
    edit->setText("4");
    QTest::mouseClick(spin->UpButton(), Qt::LeftButton);
    EXPECT_EQ(edit->text(), "5");
    spin->SetPos(0);
    QTest::mouseClick(spin->DownButton(), Qt::LeftButton);
    EXPECT_EQ(edit->text(), "0");  // held at the bottom of the range
    EXPECT_EQ(deltas, (std::vector<std::pair<int, int>>{{4, 1}, {0, -1}}));
}

TEST(StringTable, TextsAreExact)
{
    EXPECT_EQ(LoadString(57694), "Save a Texture");
    EXPECT_EQ(LoadString(57705), " has been modified !!\n");
    EXPECT_EQ(LoadString(57721),
              "Truevision Targa Files *.tga | *.tga|MPEG-1 Movie Files *.mpg | *.mpg| MPEG-2 Movie Files *.m2v | "
              "*.m2v| AVI Movie Files *.avi | *.avi| FLI Movie Files *.fli | *.fli||");
    EXPECT_EQ(LoadString(57678), "Number of Iterations at the time of Fractalization.");
    EXPECT_TRUE(LoadString(57680).isEmpty());
}
