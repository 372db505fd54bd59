#include "app/ActionManager.h"

#include "forms/ImageLists.h"

#include <QWidget>

namespace {

constexpr TFileDialogOptions kMustExist{true, false, false};
constexpr TFileDialogOptions kAskOverwrite{false, true, false};
constexpr TFileDialogOptions kAskOverwriteAndCreate{false, true, true};

constexpr const char16_t *kMdbFilter = u"MDBファイル(*.MDB;*.ACCDB)|*.MDB;*.ACCDB|すべてのファイル(*.*)|*.*";
constexpr const char16_t *kIniFilter = u"設定ファイル(*.INI)|*.INI|すべてのファイル(*.*)|*.*";
constexpr const char16_t *kBatFilter = u"バッチファイル(*.BAT)|*.BAT|すべてのファイル(*.*)|*.*";

constexpr QKeyCombination kNoShortcut{};

using enum TCommandKind;

const TCommandDefinition kCommands[] = {
    {"ActionTessivar", Plain, u"最適化", u"最適化処理", u"MDBファイルを最適化します", QKeyCombination(Qt::Key_F5),
     GlyphPlayButton, {}},
    {"FileOpenSourceMdb", OpenDialog, u"最適化元MDBファイル", u"参照", u"最適化するMDBファイルを選択します。",
     QKeyCombination(Qt::CTRL, Qt::Key_P), GlyphOpenFolder, {".MDB", kMdbFilter, kMustExist}},
    {"FileOpenTargetMdb", SaveDialog, u"最適化先MDBファイル", u"参照",
     u"最適化したMDBファイルのファイル名を選択します。", QKeyCombination(Qt::CTRL, Qt::Key_Q), GlyphOpenFolder,
     {".MDB", kMdbFilter, kAskOverwriteAndCreate}},
    {"ActionFileNew", Plain, u"ファイル", u"新規作成(&N)", u"", QKeyCombination(Qt::CTRL, Qt::Key_N), GlyphBlankPage,
     {}},
    {"ActionFileOpen", OpenDialog, u"ファイル", u"開く(&O)...", u"開く|既存のファイルを開きます",
     QKeyCombination(Qt::CTRL, Qt::Key_O), GlyphOpenFolder, {".INI", kIniFilter, kMustExist}},
    {"ActionFileSaveAs", SaveDialog, u"ファイル", u"名前を付けて保存(&A)...",
     u"名前を付けて保存|アクティブ ファイルを新しい名前で保存します", QKeyCombination(Qt::CTRL, Qt::Key_S),
     GlyphFloppyDisk, {".INI", kIniFilter, kAskOverwrite}},
    {"ActionFileCreateBat", SaveDialog, u"ファイル", u"バッチファイルを作成", u"バッチファイルを作成します。",
     kNoShortcut, GlyphGearWheel, {".BAT", kBatFilter, kAskOverwrite}},
    {"ActionHelpVersion", Plain, u"ヘルプ", u"バージョン情報", u"", kNoShortcut, GlyphNone, {}},
    {"ActionHelpShow", Plain, u"ヘルプ", u"ヘルプ目次", u"", kNoShortcut, GlyphNone, {}},
};

const char *const kHintProperty = "TessivarHint";
const char *const kCategoryProperty = "TessivarCategory";
const char *const kImageIndexProperty = "TessivarImageIndex";

QString Text(const char16_t *text)
{
    return text ? QString::fromUtf16(text) : QString();
}

// Tooltips carry the shortcut text, so they follow it when it changes.
void KeepTooltip(QAction *action)
{
    const auto update = [action] {
        const QString tooltip = TooltipText(GetShortHint(TActionManager::HintOf(action)), action->shortcut());
        if (action->toolTip() != tooltip)
            action->setToolTip(tooltip);
    };
    update();
    QObject::connect(action, &QAction::changed, action, update);
}

TFileDialog *BuildDialog(const TCommandDefinition &definition, QWidget *window)
{
    const auto mode = definition.Kind == OpenDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave;
    auto *dialog = new TFileDialog(window, mode, definition.Dialog.Options);
    dialog->setObjectName(QLatin1StringView(definition.Name) + QLatin1StringView("Dialog"));
    dialog->SetDefaultExt(QLatin1StringView(definition.Dialog.DefaultExt));
    dialog->SetFilter(Text(definition.Dialog.Filter));
    return dialog;
}

}  // namespace

std::span<const TCommandDefinition> CommandDefinitions()
{
    return kCommands;
}

QString GetShortHint(const QString &hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.left(bar);
}

QString GetLongHint(const QString &hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

QString TooltipText(const QString &shortHint, const QKeySequence &shortcut)
{
    if (shortHint.isEmpty() || shortcut.isEmpty())
        return shortHint;
    return QStringLiteral("%1 (%2)").arg(shortHint, shortcut.toString(QKeySequence::PortableText));
}

TFileDialogAction::TFileDialogAction(QObject *owner, TFileDialog *dialog) : QAction(owner), FDialog(dialog)
{
    connect(this, &QAction::triggered, this, &TFileDialogAction::ExecuteTarget);
}

void TFileDialogAction::ExecuteTarget()
{
    FExecuteResult = false;
    if (OnBeforeExecute)
        OnBeforeExecute(this);
    if (!FDialog->Execute())
        return;
    FExecuteResult = true;
    if (OnAccept)
        OnAccept(this);
}

TActionManager::TActionManager(QWidget *window) : QObject(window)
{
    setObjectName(QStringLiteral("ActionManager1"));
    for (const TCommandDefinition &definition : kCommands)
        FActions.append(Build(definition, window));
}

QAction *TActionManager::Build(const TCommandDefinition &definition, QWidget *window)
{
    QAction *action = definition.Kind == Plain ? new QAction(this)
                                               : new TFileDialogAction(this, BuildDialog(definition, window));
    action->setObjectName(QLatin1StringView(definition.Name));
    action->setText(Text(definition.Caption));
    // Qt would drop the "..." and the access key from the toolbar text.
    action->setIconText(Text(definition.Caption));
    action->setIcon(CommandGlyph(definition.ImageIndex));
    if (definition.Shortcut != kNoShortcut)
        action->setShortcut(QKeySequence(definition.Shortcut));
    action->setProperty(kHintProperty, Text(definition.Hint));
    action->setProperty(kCategoryProperty, Text(definition.Category));
    action->setProperty(kImageIndexProperty, definition.ImageIndex);
    action->setStatusTip(GetLongHint(Text(definition.Hint)));
    KeepTooltip(action);
    window->addAction(action);
    return action;
}

QAction *TActionManager::Action(const char *name) const
{
    for (QAction *action : FActions)
        if (action->objectName() == QLatin1StringView(name))
            return action;
    return nullptr;
}

TFileDialogAction *TActionManager::DialogAction(const char *name) const
{
    return qobject_cast<TFileDialogAction *>(Action(name));
}

QString TActionManager::HintOf(const QAction *action)
{
    return action->property(kHintProperty).toString();
}

QString TActionManager::CategoryOf(const QAction *action)
{
    return action->property(kCategoryProperty).toString();
}

int TActionManager::ImageIndexOf(const QAction *action)
{
    return action->property(kImageIndexProperty).toInt();
}
