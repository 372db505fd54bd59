#include "forms/FormMainLayout.h"

#include "app/FormMainActions.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLineEdit *makeEdit(QWidget *parent, const char *name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QToolButton *makeBrowseButton(QWidget *parent, const char *name, QAction *action)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setDefaultAction(action);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void addLabelledRow(QGridLayout *grid, int row, const QString &label, QWidget *field, QWidget *button = nullptr)
{
    grid->addWidget(new QLabel(label), row, 0, 1, 2);
    grid->addWidget(field, row + 1, 0, 1, button ? 1 : 2);
    if (button)
        grid->addWidget(button, row + 1, 1);
}

}  // namespace

TFormMainControls CreateFormMainLayout(QMainWindow *window, const TFormMainActions &actions)
{
    TFormMainControls c;
    auto *central = new QWidget(window);
    auto *grid = new QGridLayout(central);
    grid->setColumnStretch(0, 1);

    c.EditSourceMdbPath = makeEdit(central, "EditSourceMdbPath");
    c.EditSourceMdbPassword = makeEdit(central, "EditSourceMdbPassword");
    c.EditTargetMdbPath = makeEdit(central, "EditTargetMdbPath");
    c.EditTargetMdbPassword = makeEdit(central, "EditTargetMdbPassword");
    addLabelledRow(grid, 0, QStringLiteral("最適化するMDBファイルの場所"), c.EditSourceMdbPath,
                   makeBrowseButton(central, "SpeedButton1", actions.FileOpenSourceMdb));
    addLabelledRow(grid, 2, QStringLiteral("最適化するMDBファイルのパスワード(あれば)"), c.EditSourceMdbPassword);
    addLabelledRow(grid, 4, QStringLiteral("最適化したMDBファイルの保存場所"), c.EditTargetMdbPath,
                   makeBrowseButton(central, "SpeedButton2", actions.FileOpenTargetMdb));
    addLabelledRow(grid, 6, QStringLiteral("最適化したMDBファイルのパスワード(あれば)"), c.EditTargetMdbPassword);

    c.ComboBoxEngineType = new QComboBox(central);
    c.ComboBoxEngineType->setObjectName(QStringLiteral("ComboBoxEngineType"));
    c.ComboBoxEngineType->addItems({QStringLiteral("4(Jet 3.X形式)"), QStringLiteral("5(Jet 4.X形式)")});
    addLabelledRow(grid, 8, QStringLiteral("Jet OLEDB:Engine の種類"), c.ComboBoxEngineType);

    auto *group = new QGroupBox(QStringLiteral("オプション"), central);
    group->setObjectName(QStringLiteral("GroupBox1"));
    c.CheckBoxOptionAutoExit = new QCheckBox(QStringLiteral("最適化が終わったら自動的に終了する"), group);
    c.CheckBoxOptionAutoExit->setObjectName(QStringLiteral("CheckBoxOptionAutoExit"));
    (new QVBoxLayout(group))->addWidget(c.CheckBoxOptionAutoExit);
    grid->addWidget(group, 10, 0, 1, 2);

    auto *run = new QPushButton(actions.ActionTessivar->text(), central);
    run->setObjectName(QStringLiteral("BitBtn1"));
    QObject::connect(run, &QPushButton::clicked, actions.ActionTessivar, &QAction::trigger);
    grid->addWidget(run, 11, 1);
    grid->setRowStretch(12, 1);

    window->setCentralWidget(central);
    c.StatusBar1 = window->statusBar();
    c.StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    window->resize(587, 347);
    return c;
}
