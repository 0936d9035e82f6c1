// Command ids, window ids and the fixed texts of the shell.
#pragma once

#include <QString>

#include "platform/StringTable.h"

// Menus and the document type.
constexpr int IDR_MAINFRAME = 128;   // menu without a document, toolbar, accelerators, title
constexpr int IDR_QUILLOTYPE = 129;  // menu with a texture document, document strings

// Standard commands.
constexpr int ID_FILE_NEW = 57600;
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_FILE_CLOSE = 57602;
constexpr int ID_FILE_PRINT_SETUP = 57606;
constexpr int ID_FILE_PRINT = 57607;
constexpr int ID_FILE_PRINT_PREVIEW = 57609;
constexpr int ID_FILE_MRU_FILE1 = 57616;  // .. 57623
constexpr int kRecentFileCount = 8;
constexpr int ID_WINDOW_NEW = 57648;
constexpr int ID_WINDOW_ARRANGE = 57649;
constexpr int ID_WINDOW_CASCADE = 57650;
constexpr int ID_WINDOW_TILE_HORZ = 57651;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_HELP_INDEX = 57666;
constexpr int ID_HELP_FINDER = 57667;
constexpr int ID_CONTEXT_HELP = 57669;
constexpr int ID_HELP = 57670;
constexpr int ID_DEFAULT_HELP = 57671;
constexpr int ID_NEXT_PANE = 57680;
constexpr int ID_PREV_PANE = 57681;
constexpr int ID_VIEW_TOOLBAR = 59392;
constexpr int ID_VIEW_STATUS_BAR = 59393;

// The program's commands.
constexpr int ID_TIP_OF_THE_DAY = 105;
constexpr int ID_FILE_SAVE_TEXTURE = 32773;
constexpr int ID_FILE_SAVE_AS_TEXTURE = 32774;
constexpr int ID_IMAGE_FORMAT = 32775;
constexpr int ID_TOGGLE_LIBRARY = 32776;
constexpr int ID_TOGGLE_PALETTE = 32777;
constexpr int ID_TOGGLE_COMMAND_BAR = 32778;
constexpr int ID_TOGGLE_KEYFRAMES = 32779;
constexpr int ID_WEB_PAGER = 32785;
constexpr int ID_LOAD_INTERFACE_TEXTURE = 32786;

// Docked bars (the id of each bar is its template number).
constexpr int IDD_COMMAND_BAR = 231;   // right
constexpr int IDD_LIBRARY_BAR = 232;   // top
constexpr int IDD_PALETTE_BAR = 233;   // bottom
constexpr int IDD_KEYFRAME_BAR = 303;  // bottom

// Controls.
constexpr int IDC_PROGRESS = 1026;  // the command panel's progress bar

namespace shelltext {

inline const QString kAppTitle = QStringLiteral("Morvane");
inline const QString kDocStrings = QStringLiteral(
    "\nQuillo\nQuillo\nQuillo Files (*.zyv)\n.zyv\n(*.kvo)\n.kvo\nMorvane.Document\nQuillo Document");

// The save question of Exit and of closing windows: 57704 + title + 57705 + 57703.
inline QString SaveQuestion(const QString& title) { return LoadString(57704) + title + LoadString(57705) + LoadString(57703); }

inline QString OpenFilter() { return LoadString(57691); }
inline QString OpenTitle() { return LoadString(57692); }

inline const QString kTipMenu = QStringLiteral("&Tip");
inline const QString kTipCommand = QStringLiteral("Tip of the &Day...");

}  // namespace shelltext
