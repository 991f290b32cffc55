#include "app/ui/FactorySettingsDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

CFactorySettingsDialog::CFactorySettingsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName("dialog_154");
    setWindowTitle("Factory Settings");
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel("The sounder stops, every setting of the current user returns to its factory value,\n"
                            "and the sounder starts again with them.\n\n"
                            "Restore the factory settings?",
                            this);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    // A slip of the Enter key must not undo a survey's settings.
    buttons->button(QDialogButtonBox::Cancel)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

}  // namespace app
