// The main window's layout: every control with its name, text, place and
// size (pixels at 96 dpi, client area 587 x 347) and anchors, the main menu,
// the toolbar and the status bar. The controller finds the controls through
// this struct; each also carries its name as objectName.
#pragma once

#include <QFont>

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QMenuBar;
class QPushButton;
class QStatusBar;
class QToolBar;
class QToolButton;

// The commands the layout's menus, toolbar and buttons trigger; the window's
// controller owns them.
struct TFormMainCommands {
    QAction *ActionTessivar = nullptr;
    QAction *FileOpenSourceMdb = nullptr;
    QAction *FileOpenTargetMdb = nullptr;
    QAction *ActionFileNew = nullptr;
    QAction *ActionFileOpen = nullptr;
    QAction *ActionFileSaveAs = nullptr;
    QAction *ActionFileCreateBat = nullptr;
    QAction *ActionHelpVersion = nullptr;
    QAction *ActionHelpShow = nullptr;
};

struct TFormMainControls {
    QToolBar *ActionToolBar1 = nullptr;
    QLineEdit *EditSourceMdbPath = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QLineEdit *EditSourceMdbPassword = nullptr;
    QLineEdit *EditTargetMdbPath = nullptr;
    QToolButton *SpeedButton2 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *EditTargetMdbPassword = nullptr;
    QComboBox *ComboBoxEngineType = nullptr;  // "4(Jet 3.X形式)", "5(Jet 4.X形式)"
    QGroupBox *GroupBox1 = nullptr;
    QCheckBox *CheckBoxOptionAutoExit = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QMenuBar *MainMenu1 = nullptr;
    QMenu *F1 = nullptr;     // ファイル(&F)
    QMenu *MDBM1 = nullptr;  // MDBファイル(&M)
    QMenu *MDB1 = nullptr;   // 最適化するMDBファイル
    QMenu *MDB2 = nullptr;   // 最適化したMDBファイル
    QMenu *H1 = nullptr;     // ヘルプ(&H)
};

// The client area the positions refer to, below the menu bar.
inline constexpr int kFormMainClientWidth = 587;
inline constexpr int kFormMainClientHeight = 347;

// Builds everything into `window`, sizes it and centres it on its screen.
// Menu items, toolbar buttons and push buttons trigger the given commands.
TFormMainControls CreateFormMainLayout(QMainWindow *window, const TFormMainCommands &commands);

// The window's font: Tahoma 8 points (11 pixels at 96 dpi), or the nearest
// sans-serif face where Tahoma is missing; Japanese falls back per glyph.
QFont FormMainFont();

// The system's font for the menu bar, tooltips and the about box, unless its
// Latin letters are all of one width (under ja_JP.UTF-8 fontconfig answers
// the system's "Sans Serif" with such a face): then the form's face at the
// system's size, which shows Latin and Japanese text as the form does.
QFont ProportionalSystemFont(const QFont &systemFont);
