// The controls of the main window and where they stand. The controller finds
// them through this struct; each also carries its name as objectName.
#pragma once

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMainWindow;
class QStatusBar;
struct TFormMainActions;

struct TFormMainControls {
    QLineEdit *EditSourceMdbPath = nullptr;
    QLineEdit *EditSourceMdbPassword = nullptr;
    QLineEdit *EditTargetMdbPath = nullptr;
    QLineEdit *EditTargetMdbPassword = nullptr;
    QComboBox *ComboBoxEngineType = nullptr;  // "4(Jet 3.X形式)", "5(Jet 4.X形式)"
    QCheckBox *CheckBoxOptionAutoExit = nullptr;
    QStatusBar *StatusBar1 = nullptr;
};

// Builds the window's central area and status bar; the buttons trigger the
// given commands.
TFormMainControls CreateFormMainLayout(QMainWindow *window, const TFormMainActions &actions);
