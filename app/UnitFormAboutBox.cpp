#include "app/UnitFormAboutBox.h"

#include "app/MessageBoxes.h"
#include "util/VersionInfoValue.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

enum VersionKey : std::uint8_t { KeyComments = 0, KeyFileVersion = 3, KeyLegalCopyright = 5, KeyProductName = 9 };

void AppendValue(QLabel *label, std::uint8_t key)
{
    const QString caption = label->text();
    label->setText(QStringLiteral("%1 %2").arg(caption, GetVersionInfoValue(key)));
}

}  // namespace

TFormAboutBox::TFormAboutBox(QWidget *owner) : QDialog(owner)
{
    const TFormAboutBoxControls controls = CreateFormAboutBoxLayout(this);
    Panel1 = controls.Panel1;
    ProgramIcon = controls.ProgramIcon;
    ProductName = controls.ProductName;
    Version = controls.Version;
    Copyright = controls.Copyright;
    Comments = controls.Comments;
    OKButton = controls.OKButton;
    OKButton->setFocus();
    CentreOverOwner();
    try {
        FormCreate();
    } catch (...) {
        ErrorBox(owner, MessageOfCurrentException());
    }
}

void TFormAboutBox::FormCreate()
{
    AppendValue(ProductName, KeyProductName);
    AppendValue(Version, KeyFileVersion);
    AppendValue(Copyright, KeyLegalCopyright);
    Comments->setText(GetVersionInfoValue(KeyComments));
}

void TFormAboutBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormAboutBox::CentreOverOwner()
{
    const QWidget *owner = parentWidget();
    if (!owner)
        return;
    const QRect main = owner->frameGeometry();
    const QScreen *screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect desktop = screen ? screen->availableVirtualGeometry() : QRect();
    const int left = std::max(main.left() + (main.width() - width()) / 2, desktop.left());
    const int top = std::max(main.top() + (main.height() - height()) / 2, desktop.top());
    move(left, top);
}
