#include "app/FileDialog.h"

#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QTreeView>

namespace {

constexpr QSize kReadableSize(760, 460);
constexpr int kNameColumnWidth = 340;

bool AskCreate(QWidget *parent, const QString &fileName)
{
    const QString text = QStringLiteral("%1\nこのファイルは存在しません。\nファイルを作成しますか?")
                             .arg(QDir::toNativeSeparators(fileName));
    return QMessageBox::question(parent, parent ? parent->windowTitle() : QString(), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

TFileDialog::CreateQuestion &CreateQuestionHook()
{
    static TFileDialog::CreateQuestion question = &AskCreate;
    return question;
}

QString QtPatterns(const QString &patterns)
{
    QStringList list;
    for (const QString &pattern : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        list.append(trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
    }
    return list.join(QLatin1Char(' '));
}

}  // namespace

QStringList QtNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append(QStringLiteral("%1 (%2)").arg(parts[i], QtPatterns(parts[i + 1])));
    return filters;
}

TFileDialog::TFileDialog(QWidget *owner, AcceptMode mode, const TFileDialogOptions &options)
    : QFileDialog(owner), FOptions(options)
{
    setOption(DontUseNativeDialog);
    setOption(HideNameFilterDetails);
    setAcceptMode(mode);
    if (mode == AcceptOpen)
        setFileMode(options.FileMustExist ? ExistingFile : AnyFile);
    else
        setFileMode(AnyFile);
    setOption(DontConfirmOverwrite, !options.OverwritePrompt);
    setSizeGripEnabled(true);
}

// Once, when the dialog's own widgets exist: Qt's size leaves the detail
// view's name column a few letters wide, and its completion popup is a popup
// window, so the click that closes it would not reach the button or list it
// was meant for. Completing in the edit itself offers the same names.
void TFileDialog::MakeWidgetsUsable()
{
    if (FWidgetsMadeUsable)
        return;
    auto *view = findChild<QTreeView *>(QStringLiteral("treeView"));
    auto *edit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (!view || !edit)
        return;
    FWidgetsMadeUsable = true;
    resize(size().expandedTo(kReadableSize));
    view->header()->resizeSection(0, kNameColumnWidth);
    if (edit->completer())
        edit->completer()->setCompletionMode(QCompleter::InlineCompletion);
}

void TFileDialog::SetFilter(const QString &filter)
{
    FFilter = filter;
    setNameFilters(QtNameFilters(filter));
}

void TFileDialog::SetDefaultExt(const QString &extension)
{
    FDefaultExt = extension;
    setDefaultSuffix(extension.startsWith(QLatin1Char('.')) ? extension.mid(1) : extension);
}

// The filter goes first: in a save dialog Qt gives the name the extension
// of a newly chosen filter, which would change a preset "job.ini" into
// "job.INI", another file on Linux.
void TFileDialog::ApplySettings()
{
    MakeWidgetsUsable();
    const QFileInfo name(FFileName);
    if (!FFileName.isEmpty() && name.isAbsolute())
        setDirectory(name.absolutePath());
    else
        setDirectory(FInitialDir.isEmpty() ? QDir::currentPath() : FInitialDir);
    const QStringList filters = nameFilters();
    if (FFilterIndex >= 1 && FFilterIndex <= filters.size())
        selectNameFilter(filters[FFilterIndex - 1]);
    else if (!filters.isEmpty())
        selectNameFilter(filters.first());
    selectFile(FFileName.isEmpty() ? QString() : name.fileName());
}

// Qt reports the selected filter with or without its pattern part,
// depending on whether the dialog's widgets exist yet.
int TFileDialog::SelectedFilterIndex() const
{
    const QString selected = selectedNameFilter();
    const QStringList filters = nameFilters();
    for (qsizetype i = 0; i < filters.size(); ++i)
        if (filters[i] == selected || filters[i].startsWith(selected + QLatin1StringView(" (")))
            return int(i) + 1;
    return 0;
}

bool TFileDialog::Execute()
{
    ApplySettings();
    const bool accepted = FRunner ? FRunner(this) : exec() == QDialog::Accepted;
    if (!accepted)
        return false;
    FFileName = selectedFiles().value(0);
    if (const int filter = SelectedFilterIndex(); filter > 0)
        FFilterIndex = filter;
    return true;
}

void TFileDialog::SetCreateQuestion(CreateQuestion question)
{
    CreateQuestionHook() = question ? std::move(question) : CreateQuestion(&AskCreate);
}

void TFileDialog::accept()
{
    if (FOptions.CreatePrompt) {
        const QString chosen = selectedFiles().value(0);
        const QFileInfo info(chosen);
        if (!chosen.isEmpty() && !info.exists() && !CreateQuestionHook()(this, chosen))
            return;
    }
    QFileDialog::accept();
}
