#include "shell/WebPager.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDesktopServices>
#include <QFont>
#include <QIntValidator>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QUrl>

#include <algorithm>
#include <cmath>

#include "engine/FloatInt.h"
#include "engine/Paths.h"
#include "platform/FileName.h"
#include "platform/UiDialogs.h"
#include "platform/StringTable.h"
#include "shell/QuillonDoc.h"

using morvane::WebPagerItem;

namespace {

constexpr int kSaveTextureTitle = 57694;
constexpr int kTextureFilter = 57693;

const ControlSpec kControls[] = {
    {-1, ControlKind::Static, {8, 9, 50, 8}, 0, "Page Url :"},
    {IDC_PAGE_URL, ControlKind::Edit, {62, 7, 188, 12}, kGroup},
    {IDC_BROWSE_PAGE, ControlKind::PushButton, {256, 6, 46, 14}, kGroup, "Browse..."},
    {-1, ControlKind::Static, {8, 25, 50, 8}, 0, "Background :"},
    {IDC_BACKGROUND, ControlKind::Edit, {62, 23, 188, 12}, kGroup},
    {IDC_BROWSE_BACKGROUND, ControlKind::PushButton, {256, 22, 46, 14}, kGroup, "Browse..."},

    {-1, ControlKind::GroupBox, {4, 42, 302, 168}, 0, "Frames"},
    {-1, ControlKind::Static, {10, 56, 40, 8}, 0, "Frame No :"},
    {IDC_FRAME_COUNT, ControlKind::Edit, {52, 54, 24, 12}, kGroup | kReadOnly},
    {-1, ControlKind::Static, {82, 56, 45, 8}, 0, "Cur. Frame :"},
    {IDC_CURRENT_FRAME, ControlKind::Edit, {128, 54, 24, 12}, kGroup},
    {IDC_ADD_FRAME, ControlKind::PushButton, {160, 53, 40, 14}, kGroup, "Add"},
    {IDC_DELETE_FRAME, ControlKind::PushButton, {204, 53, 40, 14}, kGroup, "Delete"},

    {-1, ControlKind::GroupBox, {10, 70, 140, 26}, 0, "Frame Alignment"},
    {IDC_FRAME_ALIGN, ControlKind::RadioButton, {16, 81, 36, 10}, kGroup, "Left"},
    {1080, ControlKind::RadioButton, {56, 81, 40, 10}, 0, "Center"},
    {1081, ControlKind::RadioButton, {100, 81, 36, 10}, 0, "Right"},
    {-1, ControlKind::GroupBox, {156, 70, 144, 26}, 0, "Alignment"},
    {IDC_TEXT_ALIGN, ControlKind::RadioButton, {162, 81, 36, 10}, kGroup, "Left"},
    {1071, ControlKind::RadioButton, {202, 81, 40, 10}, 0, "Center"},
    {1072, ControlKind::RadioButton, {246, 81, 36, 10}, 0, "Right"},

    {-1, ControlKind::Static, {10, 104, 56, 8}, 0, "Frame Texture :"},
    {IDC_FRAME_TEXTURE, ControlKind::Edit, {68, 102, 182, 12}, kGroup},
    {IDC_BROWSE_FRAME_TEXTURE, ControlKind::PushButton, {256, 101, 46, 14}, kGroup, "Browse..."},
    {-1, ControlKind::Static, {10, 120, 56, 8}, 0, "Frame Text :"},
    {IDC_FRAME_TEXT, ControlKind::Edit, {68, 118, 234, 40}, kGroup},
    {-1, ControlKind::Static, {10, 166, 26, 8}, 0, "Width :"},
    {IDC_FRAME_WIDTH, ControlKind::Edit, {38, 164, 30, 12}, kGroup},
    {-1, ControlKind::Static, {74, 166, 30, 8}, 0, "Heigth :"},
    {IDC_FRAME_HEIGHT, ControlKind::Edit, {106, 164, 30, 12}, kGroup},
    {-1, ControlKind::Static, {144, 166, 46, 8}, 0, "Border Size :"},
    {IDC_BORDER_SIZE, ControlKind::Edit, {192, 164, 30, 12}, kGroup},
    {IDC_BORDER_TYPE, ControlKind::ComboBox, {230, 164, 72, 80}, kGroup | kVScroll},
    {IDC_FONTS, ControlKind::PushButton, {68, 184, 50, 14}, kGroup, "Fonts..."},
    {IDC_COLOR, ControlKind::PushButton, {122, 184, 50, 14}, kGroup, "Color..."},

    {IDOK, ControlKind::DefPushButton, {8, 222, 50, 14}, kGroup, "OK"},
    {IDCANCEL, ControlKind::PushButton, {62, 222, 50, 14}, kGroup, "Cancel"},
    {IDC_PREVIEW, ControlKind::PushButton, {198, 222, 50, 14}, kGroup, "Preview"},
    {IDC_SAVE_PAGES, ControlKind::PushButton, {252, 222, 50, 14}, kGroup, "Save..."},
};

const DialogTemplate kTemplate{QStringLiteral("Web Pager"), QSize(310, 244), kControls};

// The number in a field, or `fallback` when it holds none.
int FieldNumber(QWidget* field, int fallback)
{
    auto* edit = qobject_cast<QLineEdit*>(field);
    if (!edit) return fallback;
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    return ok ? value : fallback;
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

// A path of the pages as the fields hold it: the name's bytes, UTF-8 or
// not.
std::string PathBytes(const QString& name) { return LocalFile(name).native(); }

// The URL of a page file; a name that is not UTF-8 keeps its bytes,
// percent-encoded.
QUrl PageUrl(const std::filesystem::path& page)
{
    const QString name = FileNameOf(page);
    if (DisplayName(name) == name) return QUrl::fromLocalFile(name);
    return QUrl::fromEncoded("file://" + QByteArray::fromStdString(page.native()).toPercentEncoding("/"));
}

}  // namespace

bool SavePages(UiDialogs& ui, QWidget* parent, const morvane::WebPage& page, std::set<std::filesystem::path>* written)
{
    return morvane::write_pages(page, written, [&ui, parent](morvane::PageMessage kind, const std::string& text) {
        if (kind == morvane::PageMessage::Question)
            return ui.MessageBox(parent, Text(text), AppCaption(), MB_YESNO | MB_ICONQUESTION) == IDYES;
        ui.MessageBox(parent, Text(text), AppCaption(), MB_OK | MB_ICONEXCLAMATION);
        return false;
    });
}

CWebPager::CWebPager(UiDialogs& ui, QWidget* parent, const QString& documentTitle)
    : CDialog(ui, kTemplate, parent), m_documentTitle(documentTitle)
{
    // Room for one item before the first Add, as a zeroed item.
    m_items.resize(1);
}

QWidget* CWebPager::CreateControl(const ControlSpec& spec, QWidget* parent)
{
    if (spec.id != IDC_FRAME_TEXT) return nullptr;
    auto* text = new QPlainTextEdit(parent);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return text;
}

bool CWebPager::OnInitDialog()
{
    m_borderTypeCombo = GetDlgItem<QComboBox>(IDC_BORDER_TYPE);
    if (m_borderTypeCombo) {
        for (const char* name : morvane::kBorderTypeNames) m_borderTypeCombo->addItem(QString::fromLatin1(name));
    }
    for (int id : {IDC_CURRENT_FRAME, IDC_BORDER_SIZE, IDC_FRAME_WIDTH, IDC_FRAME_HEIGHT}) {
        if (auto* edit = GetDlgItem<QLineEdit>(id)) edit->setValidator(new QIntValidator(0, 999999, edit));
    }
    m_showing = true;
    CDialog::OnInitDialog();
    m_showing = false;
    ConnectHandlers();
    return true;
}

void CWebPager::ConnectHandlers()
{
    auto edited = [this](int id, auto handler) {
        if (auto* edit = GetDlgItem<QLineEdit>(id)) connect(edit, &QLineEdit::textEdited, this, handler);
    };
    edited(IDC_PAGE_URL, [this](const QString& text) { m_pagePath = m_pageUrl = text; });
    edited(IDC_BACKGROUND, [this](const QString& text) { m_backgroundPath = m_background = text; });
    edited(IDC_FRAME_TEXTURE, [this](const QString& text) {
        m_frameTexture = text;
        if (WebPagerItem* item = CurrentItem()) item->texturePath = PathBytes(text);
    });
    edited(IDC_FRAME_WIDTH, [this](const QString&) {
        m_width = FieldNumber(GetDlgItem(IDC_FRAME_WIDTH), m_width);
        if (WebPagerItem* item = CurrentItem()) item->width = m_width;
    });
    edited(IDC_FRAME_HEIGHT, [this](const QString&) {
        m_height = FieldNumber(GetDlgItem(IDC_FRAME_HEIGHT), m_height);
        if (WebPagerItem* item = CurrentItem()) item->height = m_height;
    });
    edited(IDC_BORDER_SIZE, [this](const QString&) {
        m_borderSize = FieldNumber(GetDlgItem(IDC_BORDER_SIZE), m_borderSize);
        if (WebPagerItem* item = CurrentItem()) item->borderSize = m_borderSize;
    });
    edited(IDC_CURRENT_FRAME, [this](const QString& text) {
        // A field being emptied to type another number changes nothing.
        bool ok = false;
        const int index = text.trimmed().toInt(&ok);
        if (!ok) return;
        m_currentItem = index;
        if (CurrentItem()) ShowCurrentItem();
    });
    if (auto* text = GetDlgItem<QPlainTextEdit>(IDC_FRAME_TEXT)) {
        connect(text, &QPlainTextEdit::textChanged, this, [this, text] {
            if (m_showing) return;
            m_frameText = text->toPlainText().left(kMaxFrameText);
            if (WebPagerItem* item = CurrentItem()) item->text = m_frameText.toStdString();
        });
    }
    if (m_borderTypeCombo) {
        connect(m_borderTypeCombo, &QComboBox::activated, this, [this](int index) {
            if (WebPagerItem* item = CurrentItem()) item->borderType = index;
        });
    }
    // The alignments are kept with the current item.
    const int frameRadios[] = {IDC_FRAME_ALIGN, 1080, 1081};
    const int textRadios[] = {IDC_TEXT_ALIGN, 1071, 1072};
    for (int i = 0; i < 3; ++i) {
        if (auto* b = GetDlgItem<QAbstractButton>(frameRadios[i])) {
            connect(b, &QAbstractButton::clicked, this, [this, i] {
                m_frameAlign = i;
                if (WebPagerItem* item = CurrentItem()) item->frameAlign = i;
            });
        }
        if (auto* b = GetDlgItem<QAbstractButton>(textRadios[i])) {
            connect(b, &QAbstractButton::clicked, this, [this, i] {
                m_textAlign = i;
                if (WebPagerItem* item = CurrentItem()) item->textAlign = i;
            });
        }
    }
    auto button = [this](int id, auto handler) {
        if (auto* b = GetDlgItem<QAbstractButton>(id)) connect(b, &QAbstractButton::clicked, this, handler);
    };
    button(IDC_ADD_FRAME, [this] { OnAdd(); });
    button(IDC_DELETE_FRAME, [this] { OnDelete(); });
    button(IDC_BROWSE_PAGE, [this] { OnBrowse(IDC_BROWSE_PAGE); });
    button(IDC_BROWSE_BACKGROUND, [this] { OnBrowse(IDC_BROWSE_BACKGROUND); });
    button(IDC_BROWSE_FRAME_TEXTURE, [this] { OnBrowse(IDC_BROWSE_FRAME_TEXTURE); });
    button(IDC_FONTS, [this] { OnFonts(); });
    button(IDC_COLOR, [this] { OnColor(); });
    button(IDC_SAVE_PAGES, [this] { OnSave(); });
    button(IDC_PREVIEW, [this] { OnPreview(); });
}

void CWebPager::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_PAGE_URL, m_pageUrl);
    DDX_Text(pDX, IDC_BACKGROUND, m_background);
    DDX_Text(pDX, IDC_FRAME_COUNT, m_frameCount);
    DDX_Text(pDX, IDC_CURRENT_FRAME, m_currentItem);
    DDX_Radio(pDX, IDC_FRAME_ALIGN, m_frameAlign);
    DDX_Radio(pDX, IDC_TEXT_ALIGN, m_textAlign);
    DDX_Text(pDX, IDC_FRAME_TEXTURE, m_frameTexture);
    DDX_Text(pDX, IDC_FRAME_WIDTH, m_width);
    DDX_Text(pDX, IDC_FRAME_HEIGHT, m_height);
    DDX_Text(pDX, IDC_BORDER_SIZE, m_borderSize);
    if (m_borderTypeCombo && !pDX->m_bSaveAndValidate) {
        const WebPagerItem* item = CurrentItem();
        const int type = item ? item->borderType : 0;
        m_borderTypeCombo->setCurrentIndex(type >= 0 && type < m_borderTypeCombo->count() ? type : -1);
    }
    // The multi-line text field.
    if (auto* text = GetDlgItem<QPlainTextEdit>(IDC_FRAME_TEXT)) {
        if (pDX->m_bSaveAndValidate)
            m_frameText = text->toPlainText().left(kMaxFrameText);
        else if (text->toPlainText() != m_frameText)
            text->setPlainText(m_frameText);
    }
}

WebPagerItem* CWebPager::CurrentItem()
{
    if (m_currentItem < 0 || m_currentItem >= m_itemCount) return nullptr;
    return &m_items[static_cast<size_t>(m_currentItem)];
}

void CWebPager::ShowCurrentItem()
{
    if (const WebPagerItem* item = CurrentItem()) {
        m_borderSize = item->borderSize;
        m_width = item->width;
        m_height = item->height;
        m_frameTexture = FileNameOf(item->texturePath);
        m_frameText = Text(item->text);
        m_textAlign = item->textAlign;
        m_frameAlign = item->frameAlign;
    }
    m_frameCount = m_itemCount;
    m_showing = true;
    UpdateData(false);
    m_showing = false;
}

morvane::WebPage CWebPager::Page() const
{
    morvane::WebPage page;
    page.pagePath = PathBytes(m_pagePath);
    page.backgroundPath = PathBytes(m_backgroundPath);
    page.items.assign(m_items.begin(), m_items.begin() + m_itemCount);
    return page;
}

void CWebPager::OnAdd()
{
    if (static_cast<size_t>(m_itemCount) < m_items.size())
        m_items[static_cast<size_t>(m_itemCount)] = WebPagerItem();
    else
        m_items.emplace_back();
    m_currentItem = m_itemCount++;
    ShowCurrentItem();
}

void CWebPager::OnDelete()
{
    if (!CurrentItem()) return;
    m_items.erase(m_items.begin() + m_currentItem);
    if (m_items.empty()) m_items.resize(1);
    --m_itemCount;
    m_currentItem = std::max(0, std::min(m_currentItem, m_itemCount - 1));
    if (!CurrentItem()) {
        m_borderSize = m_width = m_height = m_textAlign = m_frameAlign = 0;
        m_frameTexture.clear();
        m_frameText.clear();
    }
    ShowCurrentItem();
}

void CWebPager::OnBrowse(int button)
{
    FileDialogRequest r;
    r.save = true;
    r.title = LoadString(kSaveTextureTitle);
    r.filter = LoadString(kTextureFilter);
    r.defaultExt = QStringLiteral("zyv");
    r.initialName = BaseTitle(m_documentTitle);
    r.flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    const QStringList chosen = Ui().FileDialog(this, r);
    if (chosen.isEmpty() || chosen.front().isEmpty()) return;
    const QString path = chosen.front();
    switch (button) {
    case IDC_BROWSE_PAGE:
        m_pagePath = m_pageUrl = path;
        break;
    case IDC_BROWSE_BACKGROUND:
        m_backgroundPath = m_background = path;
        break;
    case IDC_BROWSE_FRAME_TEXTURE:
        m_frameTexture = path;
        if (WebPagerItem* item = CurrentItem()) item->texturePath = PathBytes(path);
        break;
    default:
        return;
    }
    m_showing = true;
    UpdateData(false);
    m_showing = false;
}

morvane::WebFont CWebPager::FontRecord(const QFont& font) const
{
    morvane::WebFont record;
    // A negative height is the height of the characters in pixels.
    if (font.pixelSize() > 0)
        record.height = -font.pixelSize();
    else
        record.height = -morvane::SatTrunc(std::round(font.pointSizeF() * logicalDpiY() / 72.0));
    record.weight = font.weight();
    record.italic = font.italic() ? 1 : 0;
    record.underline = font.underline() ? 1 : 0;
    record.strikeOut = font.strikeOut() ? 1 : 0;
    record.faceName = font.family().toStdString();
    return record;
}

QFont CWebPager::FontOf(const morvane::WebFont& record) const
{
    QFont font = this->font();
    if (record.faceName.empty()) return font;
    font.setFamily(Text(record.faceName));
    if (record.height < 0) font.setPixelSize(-record.height);
    if (record.weight > 0) font.setWeight(static_cast<QFont::Weight>(std::clamp(record.weight, 1, 1000)));
    font.setItalic(record.italic != 0);
    font.setUnderline(record.underline != 0);
    font.setStrikeOut(record.strikeOut != 0);
    return font;
}

void CWebPager::OnFonts()
{
    const WebPagerItem* current = CurrentItem();
    QFont chosen;
    if (!Ui().FontDialog(this, current ? FontOf(current->font) : font(), &chosen)) return;
    if (WebPagerItem* item = CurrentItem()) item->font = FontRecord(chosen);
}

void CWebPager::OnColor()
{
    QColor chosen;
    if (!Ui().ColorDialog(this, Qt::white, &chosen)) return;
    if (WebPagerItem* item = CurrentItem()) {
        item->colour[0] = static_cast<float>(chosen.red()) / 255.0f;
        item->colour[1] = static_cast<float>(chosen.green()) / 255.0f;
        item->colour[2] = static_cast<float>(chosen.blue()) / 255.0f;
    }
}

bool CWebPager::OnSave() { return SavePages(Ui(), this, Page(), &m_written); }

void CWebPager::OnPreview()
{
    if (!OnSave()) return;
    // The desktop's browser opens the page; no command line is built.
    const std::filesystem::path page =
        std::filesystem::absolute(morvane::MapStoredPath(PathBytes(m_pagePath))).lexically_normal();
    if (!QDesktopServices::openUrl(PageUrl(page)))
        Ui().MessageBox(this, QStringLiteral("Unable to open \"%1\" in a browser.").arg(DisplayName(page)),
                        AppCaption(), MB_OK | MB_ICONEXCLAMATION);
}

void CWebPager::OnOK()
{
    // Closing keeps nothing of the fields: the pages are written by Save
    // and Preview.
    EndDialog(IDOK);
}
