#include "forms/FormAboutBoxLayout.h"

#include "forms/FormMainLayout.h"
#include "forms/ImageLists.h"

#include <QApplication>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {

// A label of fixed size: it does not grow with its text, and what does not
// fit is cut off.
QLabel *FixedLabel(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1StringView(name));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

TFormAboutBoxControls CreateFormAboutBoxLayout(QDialog *form)
{
    TFormAboutBoxControls c;
    form->setObjectName(QStringLiteral("FormAboutBox"));
    form->setWindowTitle(QStringLiteral("バージョン情報"));
    form->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    form->setFixedSize(298, 213);
    QFont font = ProportionalSystemFont(QApplication::font());
    font.setPointSize(8);
    form->setFont(font);

    c.Panel1 = new QFrame(form);
    c.Panel1->setObjectName(QStringLiteral("Panel1"));
    // Lowered outside, raised inside: the etched double bevel.
    c.Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    c.Panel1->setGeometry(8, 8, 281, 161);

    c.ProgramIcon = new QLabel(c.Panel1);
    c.ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    c.ProgramIcon->setGeometry(8, 8, 65, 57);
    c.ProgramIcon->setScaledContents(true);
    c.ProgramIcon->setPixmap(AboutBoxPicture());

    c.ProductName = FixedLabel(c.Panel1, "ProductName", QStringLiteral("製品名: "), QRect(88, 16, 185, 13));
    c.Version = FixedLabel(c.Panel1, "Version", QStringLiteral("バージョン"), QRect(88, 40, 185, 13));
    c.Copyright = FixedLabel(c.Panel1, "Copyright", QStringLiteral("Copyright"), QRect(8, 80, 265, 13));
    c.Comments = FixedLabel(c.Panel1, "Comments", QStringLiteral("コメント"), QRect(8, 104, 265, 49));
    c.Comments->setWordWrap(true);

    c.OKButton = new QPushButton(QStringLiteral("OK"), form);
    c.OKButton->setObjectName(QStringLiteral("OKButton"));
    c.OKButton->setGeometry(111, 180, 75, 25);
    c.OKButton->setDefault(true);
    QObject::connect(c.OKButton, &QPushButton::clicked, form, &QDialog::accept);
    return c;
}
