#include "forms/FormMainLayout.h"

#include "forms/AnchorLayout.h"
#include "forms/ImageLists.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolTip>
#include <QToolBar>
#include <QToolButton>

#include <limits>

namespace {

// Height of the toolbar docked above the central area; positions in the
// client area are taken down by it.
constexpr int kToolBarHeight = 26;
constexpr int kStatusBarHeight = 19;
constexpr QSize kCentralDesignSize(kFormMainClientWidth, kFormMainClientHeight - kToolBarHeight - kStatusBarHeight);

constexpr TAnchors kStretch = akLeft | akTop | akRight;
constexpr TAnchors kFollowRight = akTop | akRight;

// Client-area rectangle to central-area rectangle.
QRect Client(int left, int top, int width, int height)
{
    return QRect(left, top - kToolBarHeight, width, height);
}

template <typename Widget>
Widget *Named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1StringView(name));
    return widget;
}

// Toolbar buttons with 4 pixels less padding than the style gives them, so
// that all seven items fit into the window's width at 8 points.
class TCompactToolButtonStyle : public QProxyStyle {
public:
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override
    {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_ToolButton)
            result.rwidth() -= 4;
        return result;
    }
};

QStyle *CompactToolButtonStyle()
{
    // Lives as long as the application, since toolbar buttons may outlive any
    // one window's children in their destruction order.
    static QPointer<QStyle> style;
    if (!style) {
        style = new TCompactToolButtonStyle;
        style->setParent(qApp);
    }
    return style;
}

// A toolbar button that shows a caption of its own instead of its command's.
class TCaptionToolButton : public QToolButton {
public:
    TCaptionToolButton(QAction *action, const QString &caption, QWidget *parent)
        : QToolButton(parent), FCaption(caption)
    {
        setDefaultAction(action);
        setText(FCaption);
    }

protected:
    void actionEvent(QActionEvent *event) override
    {
        QToolButton::actionEvent(event);
        setText(FCaption);
    }

private:
    QString FCaption;
};

QLineEdit *LabelledEdit(TAnchorLayout *layout, const char *name, const QString &label, const QRect &geometry,
                        TAnchors anchors)
{
    auto *edit = Named(new QLineEdit, name);
    // No length limit: Qt's default would cut a text at 32767 characters.
    edit->setMaxLength(std::numeric_limits<int>::max());
    auto *caption = new QLabel(label);
    caption->setObjectName(QLatin1StringView(name) + QLatin1StringView("Label"));
    caption->setBuddy(edit);
    // The label stands above its edit, left-aligned, 3 pixels apart.
    layout->AddWidget(caption, QRect(geometry.left(), geometry.top() - 16, caption->sizeHint().width(), 13));
    layout->AddWidget(edit, geometry, anchors);
    return edit;
}

QToolButton *BrowseButton(TAnchorLayout *layout, const char *name, QAction *action, const QRect &geometry)
{
    auto *button = Named(new QToolButton, name);
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setFocusPolicy(Qt::NoFocus);
    layout->AddWidget(button, geometry, kFollowRight);
    return button;
}

// A push button that triggers its command and shows the command's hints.
QPushButton *CommandButton(TAnchorLayout *layout, const char *name, QAction *action, const QRect &geometry)
{
    auto *button = Named(new QPushButton(action->text()), name);
    button->setAutoDefault(false);
    const auto follow = [button, action] {
        button->setToolTip(action->toolTip());
        button->setStatusTip(action->statusTip());
        button->setEnabled(action->isEnabled());
    };
    follow();
    QObject::connect(action, &QAction::changed, button, follow);
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    layout->AddWidget(button, geometry, kFollowRight);
    return button;
}

void BuildCentralArea(QMainWindow *window, const TFormMainCommands &a, TFormMainControls &c)
{
    auto *central = Named(new QWidget(window), "CentralArea");
    auto *layout = new TAnchorLayout(central, kCentralDesignSize);

    c.EditSourceMdbPath = LabelledEdit(layout, "EditSourceMdbPath", QStringLiteral("最適化するMDBファイルの場所"),
                                       Client(8, 56, 505, 21), kStretch);
    c.SpeedButton1 = BrowseButton(layout, "SpeedButton1", a.FileOpenSourceMdb, Client(512, 55, 65, 22));
    c.EditSourceMdbPassword =
        LabelledEdit(layout, "EditSourceMdbPassword", QStringLiteral("最適化するMDBファイルのパスワード(あれば)"),
                     Client(8, 104, 209, 21), kDefaultAnchors);
    c.EditTargetMdbPath = LabelledEdit(layout, "EditTargetMdbPath", QStringLiteral("最適化したMDBファイルの保存場所"),
                                       Client(8, 152, 505, 21), kStretch);
    c.SpeedButton2 = BrowseButton(layout, "SpeedButton2", a.FileOpenTargetMdb, Client(512, 151, 65, 22));
    c.Label1 = Named(new QLabel(QStringLiteral("Jet OLEDB:Engine の種類")), "Label1");
    layout->AddWidget(c.Label1, Client(240, 184, 123, 13));
    c.EditTargetMdbPassword =
        LabelledEdit(layout, "EditTargetMdbPassword", QStringLiteral("最適化したMDBファイルのパスワード(あれば)"),
                     Client(8, 200, 209, 21), kDefaultAnchors);
    c.ComboBoxEngineType = Named(new QComboBox, "ComboBoxEngineType");
    c.ComboBoxEngineType->addItems({QStringLiteral("4(Jet 3.X形式)"), QStringLiteral("5(Jet 4.X形式)")});
    c.ComboBoxEngineType->setCurrentIndex(0);
    c.Label1->setBuddy(c.ComboBoxEngineType);
    layout->AddWidget(c.ComboBoxEngineType, Client(240, 200, 123, 21));

    c.GroupBox1 = Named(new QGroupBox(QStringLiteral("オプション")), "GroupBox1");
    layout->AddWidget(c.GroupBox1, Client(8, 227, 569, 54), kStretch);
    auto *groupLayout = new TAnchorLayout(c.GroupBox1, QSize(569, 54));
    c.CheckBoxOptionAutoExit =
        Named(new QCheckBox(QStringLiteral("最適化が終わったら自動的に終了する")), "CheckBoxOptionAutoExit");
    groupLayout->AddWidget(c.CheckBoxOptionAutoExit, QRect(16, 24, 537, 17));

    c.BitBtn1 = CommandButton(layout, "BitBtn1", a.ActionTessivar, Client(480, 291, 97, 25));
    window->setCentralWidget(central);
}

void SetTabOrder(const TFormMainControls &c)
{
    QWidget *const order[] = {c.EditSourceMdbPath,     c.EditSourceMdbPassword,  c.EditTargetMdbPath,
                              c.EditTargetMdbPassword, c.ComboBoxEngineType,     c.CheckBoxOptionAutoExit,
                              c.BitBtn1};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    c.EditSourceMdbPath->setFocus();
}

QToolBar *BuildToolBar(QMainWindow *window, const TFormMainCommands &a)
{
    auto *bar = Named(new QToolBar(window), "ActionToolBar1");
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setFixedHeight(kToolBarHeight);
    bar->layout()->setSpacing(0);
    bar->layout()->setContentsMargins(0, 0, 0, 0);
    bar->addAction(a.ActionFileNew);
    bar->addAction(a.ActionFileOpen);
    bar->addAction(a.ActionFileSaveAs);
    bar->addSeparator();
    for (const auto &[action, caption] : {std::pair<QAction *, QString>{a.ActionTessivar, QStringLiteral("最適化処理(&Z)")},
                                          {a.ActionFileCreateBat, QStringLiteral("バッチファイルを作成(&Y)")}}) {
        auto *button = new TCaptionToolButton(action, caption, bar);
        button->setObjectName(action->objectName() + QLatin1StringView("ToolButton"));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIconSize(bar->iconSize());
        button->setToolButtonStyle(bar->toolButtonStyle());
        bar->addWidget(button);
        if (action == a.ActionTessivar)
            bar->addSeparator();
    }
    for (QToolButton *button : bar->findChildren<QToolButton *>())
        button->setStyle(CompactToolButtonStyle());
    window->addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}

QMenu *AddMenu(QWidget *parent, const char *name, const QString &title)
{
    auto *menu = Named(new QMenu(title, parent), name);
    if (auto *bar = qobject_cast<QMenuBar *>(parent))
        bar->addMenu(menu);
    else if (auto *owner = qobject_cast<QMenu *>(parent))
        owner->addMenu(menu);
    return menu;
}

void BuildMainMenu(QMainWindow *window, const TFormMainCommands &a, TFormMainControls &c)
{
    c.MainMenu1 = Named(new QMenuBar(window), "MainMenu1");
    // The menu keeps the system's font, not the window's.
    c.MainMenu1->setFont(ProportionalSystemFont(QApplication::font()));
    c.F1 = AddMenu(c.MainMenu1, "F1", QStringLiteral("ファイル(&F)"));
    c.F1->addAction(a.ActionFileNew);
    c.F1->addAction(a.ActionFileOpen);
    c.F1->addAction(a.ActionFileSaveAs);
    c.F1->addSeparator()->setObjectName(QStringLiteral("N4"));
    c.F1->addAction(a.ActionFileCreateBat);
    c.MDBM1 = AddMenu(c.MainMenu1, "MDBM1", QStringLiteral("MDBファイル(&M)"));
    c.MDB1 = AddMenu(c.MDBM1, "MDB1", QStringLiteral("最適化するMDBファイル"));
    c.MDB1->addAction(a.FileOpenSourceMdb);
    c.MDB2 = AddMenu(c.MDBM1, "MDB2", QStringLiteral("最適化したMDBファイル"));
    c.MDB2->addAction(a.FileOpenTargetMdb);
    c.H1 = AddMenu(c.MainMenu1, "H1", QStringLiteral("ヘルプ(&H)"));
    c.H1->addAction(a.ActionHelpShow);
    c.H1->addAction(a.ActionHelpVersion);
    window->setMenuBar(c.MainMenu1);
}

QStatusBar *BuildStatusBar(QMainWindow *window)
{
    auto *bar = Named(new QStatusBar(window), "StatusBar1");
    bar->setFont(QApplication::font());
    bar->setSizeGripEnabled(true);
    bar->setFixedHeight(kStatusBarHeight);
    window->setStatusBar(bar);
    return bar;
}

// Centred on the screen, but never above or left of the desktop's work area.
void CentreOnScreen(QMainWindow *window)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect whole = screen->geometry();
    const QRect desktop = screen->availableGeometry();
    const QSize size = window->frameGeometry().size();
    const int left = std::max(whole.left() + (whole.width() - size.width()) / 2, desktop.left());
    const int top = std::max(whole.top() + (whole.height() - size.height()) / 2, desktop.top());
    window->move(left, top);
}

}  // namespace

QFont FormMainFont()
{
    // Wine's metric-compatible Tahoma is not registered with fontconfig.
    static const bool registered = [] {
        if (!QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) {
            for (const char *file : {"tahoma.ttf", "tahomabd.ttf"})
                QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/") + QLatin1StringView(file));
        }
        return true;
    }();
    (void)registered;
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

QFont ProportionalSystemFont(const QFont &systemFont)
{
    // fontconfig's Japanese faces call themselves "dual" width, not fixed
    // pitch, so the Latin letters themselves are measured.
    const QFontMetrics metrics(systemFont);
    if (metrics.horizontalAdvance(QLatin1Char('i')) != metrics.horizontalAdvance(QLatin1Char('M')))
        return systemFont;
    QFont font = FormMainFont();
    if (systemFont.pointSizeF() > 0)
        font.setPointSizeF(systemFont.pointSizeF());
    else
        font.setPixelSize(systemFont.pixelSize());
    return font;
}

TFormMainControls CreateFormMainLayout(QMainWindow *window, const TFormMainCommands &commands)
{
    TFormMainControls c;
    window->setFont(FormMainFont());
    QToolTip::setFont(ProportionalSystemFont(QToolTip::font()));
    window->setWindowIcon(ApplicationIcon());
    // No menu to hide the toolbar: it is part of the layout.
    window->setContextMenuPolicy(Qt::PreventContextMenu);
    BuildMainMenu(window, commands, c);
    c.ActionToolBar1 = BuildToolBar(window, commands);
    BuildCentralArea(window, commands, c);
    c.StatusBar1 = BuildStatusBar(window);
    SetTabOrder(c);
    // No minimum size beyond the window system's: the bars' own minimums
    // would otherwise hold the window at their sum.
    window->layout()->setSizeConstraint(QLayout::SetNoConstraint);
    window->resize(kFormMainClientWidth, kFormMainClientHeight + c.MainMenu1->sizeHint().height());
    CentreOnScreen(window);
    return c;
}
