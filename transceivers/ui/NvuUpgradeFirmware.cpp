#include "transceivers/ui/NvuUpgradeFirmware.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CNvuUpgradeFirmware::CNvuUpgradeFirmware(const std::string& unitFirmware, const std::string& newFile, QWidget* parent)
    : QDialog(parent)
{
    setObjectName("CNvuUpgradeFirmware");
    setWindowTitle("NVU firmware upgrade");
    auto* layout = new QVBoxLayout(this);
    auto label = [&](const QString& text, int id = 0) {
        auto* l = new QLabel(text, this);
        if (id != 0)
            l->setObjectName(QString::number(id));
        layout->addWidget(l);
    };
    label("New firmware file found.");
    label("Do you want to repalce this firmware:");
    label(QString::fromStdString(unitFirmware), IDC_CURRENT);
    label("With");
    label(QString::fromStdString(newFile), IDC_NEW);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* yes = buttons->addButton("Yes", QDialogButtonBox::AcceptRole);
    yes->setObjectName("yes");
    yes->setDefault(true);
    buttons->addButton("No", QDialogButtonBox::RejectRole)->setObjectName("no");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}
