#include "tools/converter/ui/AboutDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

namespace zv::converter {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QString("dialog_%1").arg(kDialogId));
    setWindowTitle("About Trovadel");
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_DriveHDIcon).pixmap(32, 32));
    row->addWidget(icon);
    auto* name = new QLabel("Trovadel Version 1.0\nConverts out files for post-processing", this);
    name->setObjectName("version");
    row->addWidget(name);
    row->addStretch();
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace zv::converter
