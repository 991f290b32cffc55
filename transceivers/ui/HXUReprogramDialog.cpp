#include "transceivers/ui/HXUReprogramDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CHXUReprogramDialog::CHXUReprogramDialog(const std::string& transceiverName, const std::string& unitVersion,
                                         const std::string& fileVersion, QWidget* parent)
    : QDialog(parent)
{
    setObjectName("CHXUReprogramDialog");
    setWindowTitle("HXU Transceiver Software Mismatch");
    auto* layout = new QVBoxLayout(this);
    auto label = [&](const QString& text, const char* name = nullptr) {
        auto* l = new QLabel(text, this);
        l->setWordWrap(true);
        if (name)
            l->setObjectName(name);
        layout->addWidget(l);
    };
    label(QString::fromStdString(transceiverName), "transceiverName");
    label("New HXU software has recently been installed from CD ROM.  The old version number is");
    label(QString::fromStdString(unitVersion), "unitVersion");
    label("The new version number is");
    label(QString::fromStdString(fileVersion), "fileVersion");
    label("This software must be downloaded into the transceiver.  Downloading takes approximately 15 "
          "seconds.\n\nDo you want to download now?");
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* yes = buttons->addButton("Yes", QDialogButtonBox::AcceptRole);
    yes->setObjectName("yes");
    yes->setDefault(true);
    buttons->addButton("No", QDialogButtonBox::RejectRole)->setObjectName("no");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}
