// The about box's controls, where they stand (pixels at 96 dpi) and their
// design texts. The box's own unit fills in the values.
#pragma once

class QDialog;
class QFrame;
class QLabel;
class QPushButton;

struct TFormAboutBoxControls {
    QFrame *Panel1 = nullptr;
    QLabel *ProgramIcon = nullptr;
    QLabel *ProductName = nullptr;  // "製品名: "
    QLabel *Version = nullptr;      // "バージョン"
    QLabel *Copyright = nullptr;    // "Copyright"
    QLabel *Comments = nullptr;     // "コメント", wraps
    QPushButton *OKButton = nullptr;
};

// Builds the controls into `form`, sizes it (client 298 x 213, fixed) and
// titles it.
TFormAboutBoxControls CreateFormAboutBoxLayout(QDialog *form);
