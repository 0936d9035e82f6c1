// The Web Pager dialog: the user names a page and a background texture
// picture and builds a list of framed items (an embedded texture with a
// frame size, a border and a text with its font, colour and alignment).
// Save writes the launcher page and the texture page (media/WebPages.h);
// Preview writes them and opens the page in the desktop's browser.  Browse
// offers the name of the frame's active document.
//
// Every edit of an item's field applies to the current item ("Cur. Frame",
// 0-based) and only when that is one of the items.
//
// The path fields hold file names as platform/FileName.h keeps them: a
// byte that is not UTF-8 reaches the files written and the pages as it was.
#pragma once

#include <QString>

#include <filesystem>
#include <set>
#include <vector>

#include "media/WebPages.h"
#include "platform/DataExchange.h"
#include "platform/Dialog.h"

class UiDialogs;
class QComboBox;
class QFont;

constexpr int IDD_WEB_PAGER = 174;
constexpr int IDC_BROWSE_PAGE = 3;
constexpr int IDC_BROWSE_BACKGROUND = 4;
constexpr int IDC_BROWSE_FRAME_TEXTURE = 5;
constexpr int IDC_FONTS = 6;
constexpr int IDC_COLOR = 7;
constexpr int IDC_ADD_FRAME = 8;
constexpr int IDC_PREVIEW = 10;
constexpr int IDC_SAVE_PAGES = 11;
constexpr int IDC_DELETE_FRAME = 1035;
constexpr int IDC_PAGE_URL = 1066;
constexpr int IDC_BACKGROUND = 1067;
constexpr int IDC_FRAME_TEXTURE = 1068;
constexpr int IDC_FRAME_TEXT = 1069;
constexpr int IDC_TEXT_ALIGN = 1070;   // Left; 1071 Center, 1072 Right
constexpr int IDC_FRAME_ALIGN = 1073;  // Left; 1080 Center, 1081 Right
constexpr int IDC_FRAME_COUNT = 1074;
constexpr int IDC_CURRENT_FRAME = 1075;
constexpr int IDC_BORDER_SIZE = 1076;
constexpr int IDC_FRAME_WIDTH = 1077;
constexpr int IDC_FRAME_HEIGHT = 1078;
constexpr int IDC_BORDER_TYPE = 1079;
constexpr int kMaxFrameText = 4095;

class CWebPager : public CDialog {
    Q_OBJECT
public:
    // `documentTitle` names the active document (the texture file's name
    // offered first).
    explicit CWebPager(UiDialogs& ui, QWidget* parent = nullptr, const QString& documentTitle = QString());

    QString m_pagePath;        // as typed or browsed
    QString m_backgroundPath;
    int32_t m_itemCount = 0;
    std::vector<morvane::WebPagerItem> m_items;
    QComboBox* m_borderTypeCombo = nullptr;
    int32_t m_currentItem = 0;
    int32_t m_borderSize = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    QString m_frameTexture;
    QString m_frameText;
    int32_t m_frameCount = 0;
    QString m_pageUrl;
    QString m_background;
    int32_t m_textAlign = 0;
    int32_t m_frameAlign = 0;

    // The page as it would be written now.
    morvane::WebPage Page() const;

    void OnAdd();
    void OnDelete();
    void OnBrowse(int button);
    void OnFonts();
    void OnColor();
    bool OnSave();
    void OnPreview();
    void OnOK() override;

    // The font the page names for a font of the font dialog, and back.
    morvane::WebFont FontRecord(const QFont& font) const;
    QFont FontOf(const morvane::WebFont& record) const;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    QWidget* CreateControl(const ControlSpec& spec, QWidget* parent) override;

private:
    // The current item, or null when "Cur. Frame" names none.
    morvane::WebPagerItem* CurrentItem();
    // The fields show the current item.
    void ShowCurrentItem();
    void ConnectHandlers();

    QString m_documentTitle;
    std::set<std::filesystem::path> m_written;  // pages this dialog wrote
    bool m_showing = false;                     // the fields are being filled
};

// Writes the pages (morvane::write_pages), its problems and its question
// shown in message boxes of `ui` over `parent`.  False when nothing or
// not everything was written.
bool SavePages(UiDialogs& ui, QWidget* parent, const morvane::WebPage& page, std::set<std::filesystem::path>* written);
