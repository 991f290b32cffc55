#include "transceivers/ui/HXUNoContactDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CHXUNoContactDialog::CHXUNoContactDialog(const std::string& transceiverName, QWidget* parent) : QDialog(parent)
{
    setObjectName("CHXUNoContactDialog");
    setWindowTitle("HXU Transceiver Not Found");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("No contact is made with the HXU transceiver", this));
    auto* name = new QLabel(QString::fromStdString(transceiverName), this);
    name->setObjectName("transceiverName");
    layout->addWidget(name);
    auto* advice = new QLabel("Please check the network connection and that the transceiver is turned on.", this);
    advice->setWordWrap(true);
    layout->addWidget(advice);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* retry = buttons->addButton("Retry", QDialogButtonBox::AcceptRole);
    retry->setObjectName("retry");
    retry->setDefault(true);
    buttons->addButton("Cancel", QDialogButtonBox::RejectRole)->setObjectName("cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}
